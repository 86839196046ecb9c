#include "router_port.h"

#include <memory>

#include "port_discovery.h"
#include "serial_line.h"

namespace cofralin {

bool OpenRouterPort(SessionState& state, std::string_view portName, RouterView& view) {
    state.PortName = std::string(portName.substr(0, 19));
    CloseRouterPort(state);

    // The device the selector showed for that name, not whatever bears it now.
    const std::string device = DevicePathForPort(state.PortName, state.OfferedPorts);
    auto line = std::make_unique<TermiosSerialLine>();
    const TermiosSerialLine::OpenResult result = line->open(device);
    if (!result.opened) {
        view.showMessage(std::string(kPortClosedText) + " " + state.PortName,
                         std::string(kErrorCaption), MessageButtons::Ok, MessageSeverity::Failure);
        return false;
    }
    if (result.settingsError) {
        view.showMessage(
            "SetCommState failed with error " + std::to_string(*result.settingsError) + ".\n",
            std::string(kApplicationTitle), MessageButtons::Ok, MessageSeverity::Notice);
    }
    state.RouterPort = std::move(line);
    state.PortDevice = device;
    return true;
}

void CloseRouterPort(SessionState& state) {
    state.RouterPort.reset();
    state.PortDevice.clear();
    state.lineLossTold = false;
}

}  // namespace cofralin
