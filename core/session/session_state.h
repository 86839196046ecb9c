#pragma once
// The state shared by the main window and every dialog for the whole run. One
// object is made at start-up and passed by reference; tests build their own.

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "command_catalogue.h"
#include "port_discovery.h"
#include "serial_line.h"

namespace cofralin {

// How long a wait for the bare prompt may go on without seeing it, and how
// much one drain may gather, before the router is taken as not answering.
inline constexpr std::chrono::seconds kPromptWaitLimit{30};
inline constexpr std::size_t kDrainLimit = 1024 * 1024;

struct SessionState {
    // The serial line; a closed line is the "no port open" state.
    std::unique_ptr<SerialLine> RouterPort;
    std::string PortName;  // "COM%d:"
    // What the port selector offers, with the device behind each name, and the
    // device behind PortName while it is open.
    std::vector<SerialPort> OfferedPorts;
    std::string PortDevice;

    // Set once the user has been told that the open port's device is gone.
    bool lineLossTold = false;

    std::string ReplyBuffer;  // never holds a zero byte
    int SentLineCount = 0;

    int KeepTrying = 0;
    int SinglePcActive = 0;
    int MultiPcActive = 0;

    std::string DefaultPassword;
    std::string UserPassword;

    int LoggingEnabled = 0;
    std::filesystem::path RunLogPath = "Router.log";
    // Told, once per run, why the run log could not be written; the main
    // window shows it. The drains go on without the log either way.
    std::function<void(const std::string& message)> runLogFailed;
    bool runLogFailureTold = false;

    ::cofralin::CommandCatalogue CommandCatalogue;

    // Bounds of the waits; tests shorten them.
    std::chrono::milliseconds PromptWaitLimit = kPromptWaitLimit;
    std::size_t DrainLimit = kDrainLimit;

    bool portOpen() const { return RouterPort && RouterPort->isOpen(); }
};

// The mode the two flags record together: at most one of them is 1.
enum class RouterMode { Unknown, SinglePc, MultiPc };

// Records `mode` in SinglePcActive and MultiPcActive.
inline void SetRouterMode(SessionState& state, RouterMode mode) {
    state.SinglePcActive = mode == RouterMode::SinglePc ? 1 : 0;
    state.MultiPcActive = mode == RouterMode::MultiPc ? 1 : 0;
}

}  // namespace cofralin
