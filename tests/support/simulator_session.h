#pragma once
// A procedure test's world: the router simulator on a pseudo-terminal, its
// device opened as the session's RouterPort under a port name, the
// repository's CONFIG.TXT in the settings and a scripted front end. Tests
// assert the bytes the router received and its state afterwards.

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <utility>

#include "command_catalogue.h"
#include "q73_simulator.h"
#include "router_session.h"
#include "scripted_frontend.h"
#include "serial_line.h"

namespace cofralin::testing {

// Loads the shipped catalogue into `settings`.
inline ::testing::AssertionResult LoadShippedCatalogue(Settings& settings) {
    const CatalogueLoadResult loaded =
        LoadCommandCatalogue(settings.catalogue, COFRALIN_SOURCE_DIR);
    if (loaded.status != CatalogueLoadResult::Status::Loaded) {
        return ::testing::AssertionFailure() << "CONFIG.TXT was not loaded";
    }
    return ::testing::AssertionSuccess();
}

// Opens `device` as the session's port.
inline ::testing::AssertionResult OpenSessionPort(RouterSession& session,
                                                  const std::string& device) {
    auto line = std::make_unique<TermiosSerialLine>();
    if (!line->open(device).opened) {
        return ::testing::AssertionFailure() << "cannot open " << device;
    }
    session.RouterPort = std::move(line);
    session.PortDevice = device;
    return ::testing::AssertionSuccess();
}

class SimulatorSession {
public:
    explicit SimulatorSession(SimulatorOptions options = {}) : simulator(std::move(options)) {}

    // Starts the simulator, loads the shipped catalogue and opens the
    // simulator's device as `portName`.
    ::testing::AssertionResult start(const std::string& portName = "COM1:") {
        if (!simulator.start()) {
            return ::testing::AssertionFailure() << "simulator: " << simulator.error();
        }
        if (auto loaded = LoadShippedCatalogue(settings); !loaded) return loaded;
        const ::testing::AssertionResult opened =
            OpenSessionPort(routerSession, simulator.slavePath());
        if (opened) routerSession.PortName = portName;
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
    // Tests may shorten the bounds before the procedure runs.
    Settings settings;
    RouterSession routerSession{settings};
    ScriptedFrontend frontend;
};

}  // namespace cofralin::testing
