// Sessions as a front end with several routers drives them: two routers on
// two threads at once, each ending in its own state with its own run log,
// and a running procedure stopped from another thread.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <string>
#include <thread>

#include "multi_pc.h"
#include "port_mappings.h"
#include "procedure_table.h"
#include "simulator_session.h"

namespace cofralin {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using testing::SimulatorSession;
namespace fs = std::filesystem;

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A run log of its own for `session`, in a fresh temporary folder.
fs::path OwnLog(SimulatorSession& session, const std::string& name) {
    const fs::path path = fs::temp_directory_path() /
                          ("cofralin-" + std::to_string(::getpid()) + "-" + name + ".log");
    fs::remove(path);
    session.routerSession.runLog.setPath(path);
    return path;
}

TEST(Sessions, TwoRoutersOnTwoThreadsEachEndInTheirOwnStateWithTheirOwnLog) {
    SimulatorOptions single;
    SimulatorOptions multi;
    multi.mode = StartMode::MultiPc;
    SimulatorSession switching(single);
    SimulatorSession mapping(multi);
    ASSERT_TRUE(switching.start("COM1:"));
    ASSERT_TRUE(mapping.start("COM2:"));
    const fs::path switchingLog = OwnLog(switching, "switch");
    const fs::path mappingLog = OwnLog(mapping, "mapping");

    PortMappingTexts texts;
    texts.PublicPortText = "5061";
    texts.PrivateAddressText = "192.168.1.11";
    auto switched = std::async(std::launch::async, [&] {
        return RunMultiPcSwitch(switching.routerSession, switching.frontend, {});
    });
    auto added = std::async(std::launch::async, [&] {
        return AddMapping(mapping.routerSession, mapping.frontend, TrafficType::Udp, texts);
    });
    EXPECT_EQ(switched.get().ending, Ending::Done);
    EXPECT_EQ(added.get().ending, Ending::Done);

    const RouterState switchedRouter = switching.simulator.snapshot();
    EXPECT_EQ(switchedRouter.saved.dhcp.mode, DhcpMode::Disabled);
    EXPECT_EQ(switchedRouter.saved.atm1InputFilter, "filtro");
    EXPECT_FALSE(testing::HasUdpMapping(switchedRouter, 5061));
    const RouterState mappedRouter = mapping.simulator.snapshot();
    EXPECT_TRUE(testing::HasUdpMapping(mappedRouter, 5061));
    EXPECT_EQ(mappedRouter.saveCount, 1);

    // Each log holds what its router said, and nothing of the other's.
    const std::string switchLines = readFile(switchingLog);
    const std::string mappingLines = readFile(mappingLog);
    EXPECT_NE(switchLines.find("IP Router:"), std::string::npos);
    EXPECT_EQ(switchLines.find("192.168.001.011"), std::string::npos);
    EXPECT_NE(mappingLines.find("192.168.001.011"), std::string::npos);
    EXPECT_EQ(mappingLines.find("IP Router:"), std::string::npos);
    // Each router's session saw only its own port.
    EXPECT_TRUE(switching.frontend.messages.empty());
    EXPECT_TRUE(mapping.frontend.messages.size() == 1u &&
                mapping.frontend.messages[0].caption == "Añadir Puertos");
    fs::remove(switchingLog);
    fs::remove(mappingLog);
}

// A stop asked from another thread while the procedure waits: how it ended,
// how long it took to notice, and what the router got afterwards.
struct Stopped {
    Outcome outcome;
    Clock::duration noticedIn{};
    std::string receivedAtStop;
};

// Runs `run` on its own thread and asks its session to stop once the router
// has received `stopAfter`.
Stopped StopWhile(SimulatorSession& session, std::string_view stopAfter,
                  const std::function<Outcome()>& run) {
    auto running = std::async(std::launch::async, run);
    EXPECT_TRUE(session.simulator.waitForReceived(stopAfter, 10s));
    Stopped stopped;
    stopped.receivedAtStop = session.simulator.received();
    const auto asked = Clock::now();
    session.routerSession.RequestStop();
    stopped.outcome = running.get();
    stopped.noticedIn = Clock::now() - asked;
    return stopped;
}

TEST(Sessions, AStopFromAnotherThreadEndsTheWaitWithinHalfASecondAndSendsNothingMore) {
    const struct Case {
        const char* what;
        SimulatorOptions router;
        std::string stopAfter;  // what the router has received when the stop is asked
        Ending ending;
        std::string told;
    } cases[] = {
        {"a silent router during the log-in",
         [] {
             SimulatorOptions options;
             options.silent = true;
             return options;
         }(),
         "\r\r", Ending::Stopped, std::string(kStoppedText)},
        {"a paced router after the first configuration lines",
         [] {
             SimulatorOptions options;
             options.pace = true;
             return options;
         }(),
         "disable ip network lan", Ending::HalfConfigured,
         std::string(kStoppedText) + "\n" + std::string(kHalfConfiguredText)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SimulatorSession session(c.router);
        ASSERT_TRUE(session.start());
        const Stopped stopped = StopWhile(session, c.stopAfter, [&] {
            return RunMultiPcSwitch(session.routerSession, session.frontend, {});
        });
        EXPECT_EQ(stopped.outcome.ending, c.ending);
        EXPECT_LT(stopped.noticedIn, 500ms)
            << std::chrono::duration_cast<std::chrono::milliseconds>(stopped.noticedIn).count()
            << " ms";
        EXPECT_EQ(stopped.outcome.message, c.told);
        EXPECT_EQ(session.frontend.busyDepth, 0);
        // Nothing more than what was on its way when the stop was asked: the
        // log-in's nudges, or the rest of the batch of lines written at once
        // (the next batch, the filter's, never goes out).
        const std::string after = session.receivedThrough("never", 300ms);
        EXPECT_EQ(after.find("exit"), std::string::npos) << after;
        EXPECT_EQ(after.find("save all"), std::string::npos) << after;
        EXPECT_EQ(after.find("input_filter"), std::string::npos) << after;
        if (c.ending == Ending::Stopped) {
            EXPECT_LE(after.size(), stopped.receivedAtStop.size() + 200);
        }
    }
}

TEST(Sessions, AStopAskedBeforeTheProcedureStartsSendsNothingUntilItIsCleared) {
    SimulatorSession session;
    ASSERT_TRUE(session.start());
    session.routerSession.RequestStop();
    for (const testing::ProcedureRow& row : testing::Procedures()) {
        SCOPED_TRACE(std::string(row.name));
        EXPECT_EQ(row.run(session.routerSession, session.frontend).ending, Ending::Stopped);
    }
    EXPECT_EQ(session.receivedThrough("never", 200ms), "");
    session.routerSession.ClearStop();
    EXPECT_EQ(RunConnectionProcedure(session.routerSession, session.frontend).ending, Ending::Done);
}

}  // namespace
}  // namespace cofralin
