#include "router_port.h"

#include <memory>

#include "messages.h"
#include "serial_line.h"

namespace cofralin {

bool OpenRouterPort(RouterSession& session, std::string_view portName, const std::string& device,
                    Frontend& frontend) {
    session.PortName = std::string(portName.substr(0, 19));
    CloseRouterPort(session);

    auto line = std::make_unique<TermiosSerialLine>();
    const TermiosSerialLine::OpenResult result = line->open(device);
    if (!result.opened) {
        frontend.tell({std::string(kPortClosedText) + " " + session.PortName,
                       std::string(kErrorCaption), MessageSeverity::Failure});
        return false;
    }
    if (result.settingsError) {
        frontend.tell(
            {"SetCommState failed with error " + std::to_string(*result.settingsError) + ".\n",
             std::string(kApplicationTitle), MessageSeverity::Notice});
    }
    session.RouterPort = std::move(line);
    session.PortDevice = device;
    // Its opener names the product and serial number when it knows them.
    session.PortProduct.clear();
    session.PortSerial.clear();
    return true;
}

void CloseRouterPort(RouterSession& session) {
    session.RouterPort.reset();
    session.PortDevice.clear();
    session.PortProduct.clear();
    session.PortSerial.clear();
    session.lineLossTold = false;
}

}  // namespace cofralin
