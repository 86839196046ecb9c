#pragma once
// A procedure test's world: the router simulator on a pseudo-terminal, its
// device opened as RouterPort under a port name, the repository's CONFIG.TXT
// in the catalogue and a scripted view. Tests assert the bytes the router
// received and its state afterwards.

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <utility>

#include "command_catalogue.h"
#include "login.h"
#include "q73_simulator.h"
#include "scripted_view.h"
#include "serial_line.h"
#include "session_state.h"

namespace cofralin::testing {

// Loads the shipped catalogue and opens `device` as the session's port.
inline ::testing::AssertionResult OpenSessionPort(SessionState& state, const std::string& device) {
    const CatalogueLoadResult loaded =
        LoadCommandCatalogue(state.CommandCatalogue, COFRALIN_SOURCE_DIR);
    if (loaded.status != CatalogueLoadResult::Status::Loaded) {
        return ::testing::AssertionFailure() << "CONFIG.TXT was not loaded";
    }
    auto line = std::make_unique<TermiosSerialLine>();
    if (!line->open(device).opened) {
        return ::testing::AssertionFailure() << "cannot open " << device;
    }
    state.RouterPort = std::move(line);
    return ::testing::AssertionSuccess();
}

class SimulatorSession {
public:
    explicit SimulatorSession(SimulatorOptions options = {}) : simulator(std::move(options)) {
        state.DefaultPassword = std::string(kBuiltInPassword);
    }

    // Starts the simulator, opens its device as `portName` and loads the
    // shipped catalogue.
    ::testing::AssertionResult start(const std::string& portName = "COM1:") {
        if (!simulator.start()) {
            return ::testing::AssertionFailure() << "simulator: " << simulator.error();
        }
        const ::testing::AssertionResult opened = OpenSessionPort(state, simulator.slavePath());
        if (opened) state.PortName = portName;
        return opened;
    }

    // Everything the router received, once `last` has arrived (or after the
    // wait when it never does).
    std::string receivedThrough(std::string_view last,
                                std::chrono::milliseconds wait = std::chrono::seconds(2)) {
        simulator.waitForReceived(last, wait);
        return simulator.received();
    }

    Q73Simulator simulator;
    SessionState state;
    ScriptedView view;
};

}  // namespace cofralin::testing
