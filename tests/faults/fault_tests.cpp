// Each procedure against a router that misbehaves: silent, chattering without
// end, answering with garbage or zero bytes, hanging up in the middle of a
// reply, answering slowly, slow to start its listings or never listing.
// Whatever the router does, a procedure must come
// back within a few wait limits, tell the user in Spanish, send nothing more
// once it has given up, never report a switch that did not happen, and leave
// the program able to connect again once the fault is gone. A hang-up takes
// the device away: the procedure must stop within a second of it, say that
// the connection with the port was lost, and neither write nor keep reading. Zero bytes and
// answers a little slower than usual are no fault for the program at all, nor
// is a listing that starts after the quiet time: the procedures must then work
// as with a sound router.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <thread>

#include "procedure_table.h"
#include "simulator_session.h"

namespace cofralin {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using testing::ProcedureRow;
using testing::ScriptedFrontend;
using testing::SimulatorSession;

constexpr std::chrono::milliseconds kWaitLimit{1500};
// A procedure that gives up has spent at most a wait limit on the wait that
// failed and a little on what went well before it.
constexpr auto kReturnBound = 4 * kWaitLimit;

enum class Fault {
    Silent,
    Chatter,
    Garbage,
    ZeroBytes,
    Hangup,
    Slow,
    SlowerThanQuiet,
    SlowListing,
    NoListing
};

std::string FaultName(Fault fault) {
    switch (fault) {
        case Fault::Silent:
            return "Silent";
        case Fault::Chatter:
            return "Chatter";
        case Fault::Garbage:
            return "Garbage";
        case Fault::ZeroBytes:
            return "ZeroBytes";
        case Fault::Hangup:
            return "Hangup";
        case Fault::Slow:
            return "Slow";
        case Fault::SlowerThanQuiet:
            return "SlowerThanQuiet";
        case Fault::SlowListing:
            return "SlowListing";
        case Fault::NoListing:
            return "NoListing";
    }
    return "?";
}

// Readable case names in test listings.
void PrintTo(Fault fault, std::ostream* out) { *out << FaultName(fault); }

enum class Expectation {
    // Zero bytes are dropped by every drain, and an answer that comes well
    // within the quiet time is still part of the same drain: the procedure works.
    Works,
    // The router never shows a bare prompt, or goes away: the procedure gives up.
    GivesUp,
    // An answer that starts later than the quiet time falls into a later drain,
    // where a late prompt can pass for the answer to a command: the procedure
    // may work or fail, but what it reports must be true of the router.
    StaysTruthful,
    // The device is gone: the procedure stops at once and says so.
    LosesLine,
};

bool IsLogInStep(const ProcedureRow& procedure) { return procedure.name == "EnsureLogin"; }

Expectation ExpectationFor(Fault fault, const ProcedureRow& procedure) {
    switch (fault) {
        case Fault::ZeroBytes:
        case Fault::Slow:
        case Fault::SlowListing:
            return Expectation::Works;
        case Fault::NoListing:
            // A listing that never comes is no answer, never empty lists; the
            // log-in alone reads no listing.
            return IsLogInStep(procedure) ? Expectation::Works : Expectation::GivesUp;
        case Fault::SlowerThanQuiet:
            return Expectation::StaysTruthful;
        case Fault::Hangup:
            return Expectation::LosesLine;
        default:
            return Expectation::GivesUp;
    }
}

// A logged-out router in the mode the procedure starts from, with a UDP
// mapping for the delete, and the fault, if any.
SimulatorOptions RouterFor(const ProcedureRow& procedure, std::optional<Fault> fault) {
    SimulatorOptions options = testing::SampleRouter(procedure);
    if (!fault) return options;
    switch (*fault) {
        case Fault::Silent:
            options.silent = true;
            break;
        case Fault::Chatter:
            // Faster than the quiet time: the line never falls quiet.
            options.chatter = true;
            options.chatterIntervalMs = 40;
            break;
        case Fault::Garbage:
            options.garbage = true;
            break;
        case Fault::ZeroBytes:
            options.zeroBytes = true;
            break;
        case Fault::Hangup:
            // The login takes three replies (a refused nudge, the prompt after
            // the password, the prompt after a nudge): a login alone is cut in
            // its second, a procedure in its fifth, among its own commands.
            options.hangupAfter = IsLogInStep(procedure) ? 2 : 5;
            break;
        case Fault::Slow:
            options.slowMs = 60;
            break;
        case Fault::SlowerThanQuiet:
            options.slowMs = 300;
            break;
        case Fault::SlowListing:
            // Later than the quiet time: the first drain after the listing
            // command holds only the prompt that answered the last nudge.
            options.slowListingMs = 300;
            break;
        case Fault::NoListing:
            // Far beyond the wait limit.
            options.slowListingMs = 60000;
            break;
    }
    return options;
}

// What a run of a procedure came to, in the terms the checks need.
struct RunResult {
    Outcome outcome;
    bool succeeded = false;   // the procedure's own success
    bool switched = false;    // a change reported as done
    bool toldSilent = false;  // the user was told that the router does not answer
    bool toldLost = false;    // the user was told that the connection was lost
    Clock::duration elapsed{};
    Clock::time_point ended{};
};

// The real line, with a count of what was asked of it after it told that its
// device is gone.
class WatchedLine final : public SerialLine {
public:
    explicit WatchedLine(std::unique_ptr<SerialLine> inner) : inner_(std::move(inner)) {}

    bool isOpen() const override { return inner_->isOpen(); }
    bool write(std::string_view bytes) override {
        if (inner_->lost()) ++writesAfterLoss;
        return inner_->write(bytes);
    }
    std::size_t readSome(std::span<char> buffer, Clock::time_point quietEnd) override {
        if (inner_->lost()) ++readsAfterLoss;
        return inner_->readSome(buffer, quietEnd);
    }
    bool lost() const override { return inner_->lost(); }

    int writesAfterLoss = 0;
    int readsAfterLoss = 0;

private:
    std::unique_ptr<SerialLine> inner_;
};

const std::string kLostText = LineLostText("COM1:");

// The user was told `why` (the router's silence, the lost line): the log-in
// step tells nothing itself, the connection tells it as its outcome, the
// others in a message, with the half-configured note once a change went out.
bool Told(const ProcedureRow& procedure, const RunResult& run, const ScriptedFrontend& frontend,
          std::string_view why, Ending ending) {
    if (run.outcome.ending != ending && run.outcome.ending != Ending::HalfConfigured) return false;
    if (IsLogInStep(procedure)) return run.outcome.ending == ending;
    if (procedure.name == "Connection") return run.outcome.message == why;
    return frontend.told(why) ||
           frontend.told(std::string(why) + "\n" + std::string(kHalfConfiguredText));
}

RunResult RunProcedure(const ProcedureRow& procedure, SimulatorSession& session,
                       ScriptedFrontend& frontend) {
    RunResult run;
    const auto start = Clock::now();
    run.outcome = procedure.run(session.routerSession, frontend);
    run.ended = Clock::now();
    run.elapsed = run.ended - start;
    run.succeeded = run.outcome.done();
    run.switched = run.succeeded && !IsLogInStep(procedure);
    run.toldSilent = Told(procedure, run, frontend, kRouterSilentText, Ending::NoAnswer);
    run.toldLost = Told(procedure, run, frontend, kLostText, Ending::LineLost);
    return run;
}

// What the router must hold after a procedure that worked.
void ExpectRouterAfterSuccess(const ProcedureRow& procedure, const RunResult& run,
                              const SimulatorSession& session) {
    EXPECT_TRUE(procedure.worked(session.simulator.snapshot(), run.outcome)) << procedure.name;
}

// A change reported as done really happened, a detected mode is the router's,
// and a procedure that failed told the user why.
void ExpectTruthful(const ProcedureRow& procedure, const RunResult& run,
                    const SimulatorSession& session, const ScriptedFrontend& frontend) {
    const RouterState router = session.simulator.snapshot();
    if (run.switched) ExpectRouterAfterSuccess(procedure, run, session);
    if (session.routerSession.SinglePcActive == 1) {
        EXPECT_EQ(router.running.dhcp.mode, DhcpMode::Server);
    }
    if (session.routerSession.MultiPcActive == 1) {
        EXPECT_EQ(router.running.dhcp.mode, DhcpMode::Disabled);
    }
    if (!run.succeeded && !IsLogInStep(procedure)) {
        EXPECT_TRUE(!run.outcome.message.empty() || !frontend.messages.empty())
            << "a failure was not told";
    }
}

// What the router may have received from a program that never saw it answer:
// nudges, and passwords (the built-in one, then typed ones ended by CR LF)
// while a reply still read "Login incorrect".
bool OnlyNudgesAndPasswords(std::string received) {
    received = ReplaceAll(received, kBuiltInPassword, "");
    return received.find_first_not_of("\r\n") == std::string::npos;
}

// Every row of the procedure table, for the parameter lists.
std::vector<const ProcedureRow*> EveryProcedure() {
    std::vector<const ProcedureRow*> rows;
    for (const ProcedureRow& row : testing::Procedures()) rows.push_back(&row);
    return rows;
}

using FaultCase = std::tuple<Fault, const ProcedureRow*>;

class FaultTest : public ::testing::TestWithParam<FaultCase> {};

TEST_P(FaultTest, ProcedureEndsInTimeTellsTheUserAndTheProgramRecovers) {
    const auto [fault, row] = GetParam();
    const ProcedureRow& procedure = *row;
    SimulatorSession session(RouterFor(procedure, fault));
    ASSERT_TRUE(session.start());
    session.settings.PromptWaitLimit = kWaitLimit;
    RouterSession& routerSession = session.routerSession;
    auto watched = std::make_unique<WatchedLine>(std::move(routerSession.RouterPort));
    const WatchedLine& line = *watched;
    routerSession.RouterPort = std::move(watched);
    // Typed passwords keep the login going, so that only the router's fault ends it.
    ScriptedFrontend& frontend = session.frontend;
    for (int i = 0; i < 20; ++i) frontend.passwords.emplace_back(std::string(kBuiltInPassword));

    const RunResult run = RunProcedure(procedure, session, frontend);
    EXPECT_LT(run.elapsed, kReturnBound)
        << std::chrono::duration_cast<std::chrono::milliseconds>(run.elapsed).count() << " ms";
    EXPECT_FALSE(frontend.everBusy && frontend.busyDepth != 0) << "the wait cursor stayed";

    const Expectation expectation = ExpectationFor(fault, procedure);
    const bool connection = procedure.name == "Connection";
    if (expectation == Expectation::Works) {
        EXPECT_TRUE(run.succeeded);
        EXPECT_FALSE(run.toldSilent);
        if (run.succeeded) ExpectRouterAfterSuccess(procedure, run, session);
    } else if (expectation == Expectation::StaysTruthful) {
        ExpectTruthful(procedure, run, session, frontend);
    } else if (expectation == Expectation::LosesLine) {
        EXPECT_FALSE(run.succeeded);
        EXPECT_FALSE(run.switched) << "a switch that did not happen was reported";
        EXPECT_TRUE(run.toldLost) << "the user was not told that the connection was lost";
        EXPECT_FALSE(run.toldSilent);
        const auto hungUpAt = session.simulator.hungUpAt();
        ASSERT_TRUE(hungUpAt.has_value());
        EXPECT_LT(run.ended - *hungUpAt, 1s)
            << std::chrono::duration_cast<std::chrono::milliseconds>(run.ended - *hungUpAt).count()
            << " ms after the hang-up";
        EXPECT_TRUE(line.lost());
        EXPECT_EQ(line.writesAfterLoss, 0);
        // No read loop goes on at once on the gone device.
        EXPECT_LE(line.readsAfterLoss, 1);
        if (connection) {
            EXPECT_EQ(routerSession.mode(), RouterMode::Unknown);
        }
    } else {
        EXPECT_FALSE(run.succeeded);
        EXPECT_FALSE(run.switched) << "a switch that did not happen was reported";
        EXPECT_TRUE(run.toldSilent) << "the user was not told that the router does not answer";
        if (connection) {
            EXPECT_EQ(routerSession.mode(), RouterMode::Unknown);
        }
        // The last nudge may still be on its way to the router.
        const std::string received = session.receivedThrough("never", 150ms);
        if (fault == Fault::NoListing) {
            // After the listing command only nudges went out: no command, no exit.
            const std::size_t listed = received.rfind("show ");
            ASSERT_NE(listed, std::string::npos);
            const std::size_t after = received.find('\n', listed);
            ASSERT_NE(after, std::string::npos);
            EXPECT_EQ(received.find_first_not_of('\r', after + 1), std::string::npos)
                << ::testing::PrintToString(received);
            EXPECT_FALSE(run.outcome.read.mappings.has_value());
        } else {
            // The router never showed a bare prompt: nothing but the attempts
            // to get one may have gone out, no command and no exit.
            EXPECT_TRUE(OnlyNudgesAndPasswords(received)) << ::testing::PrintToString(received);
        }
        // And nothing more goes out once the procedure has returned.
        EXPECT_EQ(session.receivedThrough("never", 150ms), received);
    }

    // The fault gone, the same session connects to a sound router.
    SimulatorSession sound;
    ASSERT_TRUE(sound.start());
    routerSession.RouterPort = std::move(sound.routerSession.RouterPort);
    ScriptedFrontend again;
    EXPECT_EQ(RunConnectionProcedure(routerSession, again).ending, Ending::Done);
    EXPECT_EQ(routerSession.mode(), RouterMode::SinglePc);
}

INSTANTIATE_TEST_SUITE_P(AllFaults, FaultTest,
                         ::testing::Combine(::testing::Values(Fault::Silent, Fault::Chatter,
                                                              Fault::Garbage, Fault::ZeroBytes,
                                                              Fault::Hangup, Fault::Slow,
                                                              Fault::SlowerThanQuiet,
                                                              Fault::SlowListing, Fault::NoListing),
                                            ::testing::ValuesIn(EveryProcedure())),
                         [](const ::testing::TestParamInfo<FaultCase>& info) {
                             return FaultName(std::get<0>(info.param)) + "_" +
                                    std::string(std::get<1>(info.param)->name);
                         });

// A catalogue that lacks a command a procedure needs: the procedure sends
// nothing at all and names the key, whichever of its commands it is.
using MissingCase = std::tuple<const ProcedureRow*, CatalogueKey>;

std::vector<MissingCase> EveryNeededCommand() {
    std::vector<MissingCase> cases;
    for (const ProcedureRow& row : testing::Procedures()) {
        for (const CatalogueKey key : row.needs) cases.emplace_back(&row, key);
    }
    return cases;
}

class MissingCommandTest : public ::testing::TestWithParam<MissingCase> {};

TEST_P(MissingCommandTest, ProcedureSendsNothingAndNamesTheKey) {
    const auto [row, key] = GetParam();
    const ProcedureRow& procedure = *row;
    SimulatorSession session(RouterFor(procedure, std::nullopt));
    ASSERT_TRUE(session.start());
    session.settings.catalogue[key].clear();

    const RunResult run = RunProcedure(procedure, session, session.frontend);
    EXPECT_EQ(run.outcome.ending, Ending::MissingCommand);
    const std::string named = MissingCommandText(key);
    if (procedure.name == "Connection") {
        EXPECT_EQ(run.outcome.message, named);
        EXPECT_EQ(session.routerSession.mode(), RouterMode::Unknown);
    } else {
        EXPECT_TRUE(session.frontend.told(named + "\nNo se ha enviado nada al Router."))
            << (session.frontend.messages.empty() ? "no message"
                                                  : session.frontend.messages.back().text);
    }
    EXPECT_EQ(session.receivedThrough("never", 150ms), "");
    EXPECT_EQ(session.simulator.snapshot().saveCount, 0);
}

INSTANTIATE_TEST_SUITE_P(EachProcedure, MissingCommandTest,
                         ::testing::ValuesIn(EveryNeededCommand()),
                         [](const ::testing::TestParamInfo<MissingCase>& info) {
                             return std::string(std::get<0>(info.param)->name) + "_" +
                                    std::string(CatalogueKeyName(std::get<1>(info.param)));
                         });

}  // namespace
}  // namespace cofralin
