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

#include "connection.h"
#include "exchange.h"
#include "login.h"
#include "mode_switch.h"
#include "multi_pc.h"
#include "port_mappings.h"
#include "ports_test_view.h"
#include "simulator_session.h"
#include "single_pc.h"
#include "software_update.h"

namespace cofralin {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using testing::PortsTestView;
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
enum class Procedure { Connection, EnsureLogin, SinglePc, MultiPc, Refresh, Add, Delete, Update };

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

std::string ProcedureName(Procedure procedure) {
    switch (procedure) {
        case Procedure::Connection:
            return "Connection";
        case Procedure::EnsureLogin:
            return "EnsureLogin";
        case Procedure::SinglePc:
            return "SinglePc";
        case Procedure::MultiPc:
            return "MultiPc";
        case Procedure::Refresh:
            return "Refresh";
        case Procedure::Add:
            return "Add";
        case Procedure::Delete:
            return "Delete";
        case Procedure::Update:
            return "Update";
    }
    return "?";
}

// Readable case names in test listings.
void PrintTo(Fault fault, std::ostream* out) { *out << FaultName(fault); }
void PrintTo(Procedure procedure, std::ostream* out) { *out << ProcedureName(procedure); }

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

Expectation ExpectationFor(Fault fault, Procedure procedure) {
    switch (fault) {
        case Fault::ZeroBytes:
        case Fault::Slow:
        case Fault::SlowListing:
            return Expectation::Works;
        case Fault::NoListing:
            // A listing that never comes is no answer, never empty lists; the
            // log-in alone reads no listing.
            return procedure == Procedure::EnsureLogin ? Expectation::Works : Expectation::GivesUp;
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
SimulatorOptions RouterFor(Procedure procedure, std::optional<Fault> fault) {
    SimulatorOptions options;
    if (procedure == Procedure::SinglePc || procedure == Procedure::Refresh ||
        procedure == Procedure::Add || procedure == Procedure::Delete) {
        options.mode = StartMode::MultiPc;
    }
    options.mappings = {{NatProtocol::Udp, 5060, {{192, 168, 1, 10}}, 5060}};
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
            options.hangupAfter = procedure == Procedure::EnsureLogin ? 2 : 5;
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
    bool succeeded = false;   // the procedure's own success
    bool switched = false;    // a mode switch reported as done
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

bool ShowedMessage(const testing::ScriptedView& view, std::string_view text) {
    return std::any_of(view.messages.begin(), view.messages.end(),
                       [&](const auto& message) { return message.text == text; });
}

// A switch that gave up told `why` (the router's silence, the lost line), and,
// once a configuration line had gone out, that it may be half-configured.
bool Told(ModeSwitchResult result, const testing::ScriptedView& view, std::string_view why) {
    if (result == ModeSwitchResult::NoAnswer) return ShowedMessage(view, why);
    return result == ModeSwitchResult::HalfConfigured &&
           ShowedMessage(view, std::string(why) + "\n" + std::string(kHalfConfiguredText));
}

const std::string kUdpEntry = " 5060\t192.168.001.010\t5060";

bool HasUdpMapping(const RouterState& router, unsigned port) {
    if (!router.running.vc) return false;
    const auto& mappings = router.running.vc->mappings;
    return std::any_of(mappings.begin(), mappings.end(), [&](const NatMapping& mapping) {
        return mapping.protocol == NatProtocol::Udp && mapping.publicPort == port;
    });
}

RunResult RunProcedure(Procedure procedure, SimulatorSession& session, PortsTestView& view) {
    SessionState& state = session.state;
    RunResult run;
    const auto start = Clock::now();
    switch (procedure) {
        case Procedure::Connection: {
            state.KeepTrying = 1;
            state.SentLineCount = 0;
            Exchange exchange(state, view, kConnectDisplay);
            const ConnectionOutcome outcome = RunConnectionProcedure(exchange);
            run.succeeded = outcome == ConnectionOutcome::Connected;
            run.toldSilent = outcome == ConnectionOutcome::NoAnswer &&
                             view.lastStatus() == kNoAnswerText &&
                             view.isEnabled(connect_ids::kCancel);
            run.toldLost = outcome == ConnectionOutcome::LineLost &&
                           view.lastStatus() == LineLostStatusText("COM1:") &&
                           view.isEnabled(connect_ids::kCancel);
            break;
        }
        case Procedure::EnsureLogin: {
            state.KeepTrying = 1;
            Exchange exchange(state, view, ExchangeDisplay{});
            const LoginOutcome outcome = EnsureLogin(exchange, false);
            run.succeeded = outcome == LoginOutcome::LoggedIn;
            // The operation that called it tells the user; its outcome is the report.
            run.toldSilent = outcome == LoginOutcome::NoAnswer;
            run.toldLost = outcome == LoginOutcome::LineLost;
            break;
        }
        case Procedure::SinglePc: {
            Exchange exchange(state, view, kSinglePcDisplay);
            StartSinglePcDialog(exchange);
            const ModeSwitchResult result = RunSinglePcSwitch(exchange, SinglePcSettings{});
            run.succeeded = run.switched = result == ModeSwitchResult::Switched;
            run.toldSilent =
                Told(result, view, kRouterSilentText) && view.lastStatus() == kSinglePcFailedText;
            run.toldLost =
                Told(result, view, kLostText) && view.lastStatus() == kSinglePcFailedText;
            break;
        }
        case Procedure::MultiPc: {
            state.KeepTrying = 1;
            state.SentLineCount = 0;
            Exchange exchange(state, view, kMultiPcDisplay);
            const ModeSwitchResult result = RunMultiPcSwitch(exchange, MultiPcSettings{});
            run.succeeded = run.switched = result == ModeSwitchResult::Switched;
            run.toldSilent = Told(result, view, kRouterSilentText);
            run.toldLost = Told(result, view, kLostText);
            break;
        }
        case Procedure::Refresh:
        case Procedure::Add:
        case Procedure::Delete: {
            Exchange exchange(state, view, kPortsDisplay);
            view.chooseUdp();
            PortsOutcome outcome = PortsOutcome::Done;
            if (procedure == Procedure::Refresh) {
                outcome = RefreshMappings(exchange, view);
            } else if (procedure == Procedure::Add) {
                state.KeepTrying = 1;
                PortMappingTexts texts;
                texts.PublicPortText = "5061";
                texts.PrivateAddressText = "192.168.1.11";
                outcome = AddMapping(exchange, view, texts);
            } else {
                view.selections[ports_ids::kUdpList] = kUdpEntry;
                outcome = DeleteMapping(exchange, view);
            }
            run.succeeded = outcome == PortsOutcome::Done;
            run.toldSilent =
                outcome == PortsOutcome::NoAnswer && ShowedMessage(view, kRouterSilentText);
            run.toldLost = outcome == PortsOutcome::NoAnswer && ShowedMessage(view, kLostText);
            break;
        }
        case Procedure::Update: {
            // Declines the upgrade: the hand-over is tested elsewhere.
            view.messageAnswers.push_back(MessageAnswer::Cancel);
            const UpdateOutcome outcome =
                UpdateRouterSoftware(state, view, ProgramSearch{"/nonexistent", ""});
            EXPECT_EQ(outcome, UpdateOutcome::Returned);
            // A version was read and compared: one message, in the update's caption.
            run.succeeded = view.messages.size() == 1 &&
                            view.messages.front().caption == kUpdateCaption &&
                            view.messages.front().text != kVersionUnreadText;
            run.toldSilent = ShowedMessage(view, kRouterSilentText);
            run.toldLost = ShowedMessage(view, kLostText);
            break;
        }
    }
    run.ended = Clock::now();
    run.elapsed = run.ended - start;
    return run;
}

// What the router must hold after a procedure that worked.
void ExpectRouterAfterSuccess(Procedure procedure, const SimulatorSession& session,
                              const PortsTestView& view) {
    const RouterState router = session.simulator.snapshot();
    const SessionState& state = session.state;
    switch (procedure) {
        case Procedure::Connection:
            EXPECT_EQ(state.SinglePcActive, 1);
            EXPECT_EQ(state.MultiPcActive, 0);
            break;
        case Procedure::EnsureLogin:
            EXPECT_EQ(router.cli, CliState::Prompt);
            break;
        case Procedure::SinglePc:
            EXPECT_EQ(router.saved.dhcp.mode, DhcpMode::Server);
            break;
        case Procedure::MultiPc:
            EXPECT_EQ(router.saved.dhcp.mode, DhcpMode::Disabled);
            EXPECT_EQ(router.saved.atm1InputFilter, "filtro");
            break;
        case Procedure::Refresh: {
            const auto found = view.lists.find(ports_ids::kUdpList);
            ASSERT_NE(found, view.lists.end());
            EXPECT_EQ(found->second, std::vector<std::string>{kUdpEntry});
            break;
        }
        case Procedure::Add:
            EXPECT_TRUE(HasUdpMapping(router, 5061));
            break;
        case Procedure::Delete:
            EXPECT_FALSE(HasUdpMapping(router, 5060));
            break;
        case Procedure::Update:
            break;
    }
}

// A switch reported as done really happened, a detected mode is the router's,
// and a procedure that failed told the user why.
void ExpectTruthful(Procedure procedure, const RunResult& run, const SimulatorSession& session,
                    const PortsTestView& view) {
    const RouterState router = session.simulator.snapshot();
    if (run.switched) ExpectRouterAfterSuccess(procedure, session, view);
    if (session.state.SinglePcActive == 1) {
        EXPECT_EQ(router.running.dhcp.mode, DhcpMode::Server);
    }
    if (session.state.MultiPcActive == 1) {
        EXPECT_EQ(router.running.dhcp.mode, DhcpMode::Disabled);
    }
    if (!run.succeeded && procedure != Procedure::EnsureLogin) {
        const bool connectionFailed = procedure == Procedure::Connection &&
                                      view.lastStatus().find("Pulse CANCEL") != std::string::npos;
        EXPECT_TRUE(connectionFailed || !view.messages.empty()) << "a failure was not told";
    }
}

// What the router may have received from a program that never saw it answer:
// nudges, and passwords (the built-in one, then typed ones ended by CR LF)
// while a reply still read "Login incorrect".
bool OnlyNudgesAndPasswords(std::string received) {
    received = ReplaceAll(received, kBuiltInPassword, "");
    return received.find_first_not_of("\r\n") == std::string::npos;
}

using FaultCase = std::tuple<Fault, Procedure>;

class FaultTest : public ::testing::TestWithParam<FaultCase> {};

TEST_P(FaultTest, ProcedureEndsInTimeTellsTheUserAndTheProgramRecovers) {
    const auto [fault, procedure] = GetParam();
    SimulatorSession session(RouterFor(procedure, fault));
    ASSERT_TRUE(session.start());
    session.state.PromptWaitLimit = kWaitLimit;
    auto watched = std::make_unique<WatchedLine>(std::move(session.state.RouterPort));
    const WatchedLine& line = *watched;
    session.state.RouterPort = std::move(watched);
    // Typed passwords keep the login going, so that only the router's fault ends it.
    PortsTestView view;
    for (int i = 0; i < 20; ++i) view.passwords.emplace_back(std::string(kBuiltInPassword));

    const RunResult run = RunProcedure(procedure, session, view);
    EXPECT_LT(run.elapsed, kReturnBound)
        << std::chrono::duration_cast<std::chrono::milliseconds>(run.elapsed).count() << " ms";
    EXPECT_FALSE(view.everBusy && view.busyDepth != 0) << "the wait cursor stayed";

    const Expectation expectation = ExpectationFor(fault, procedure);
    if (expectation == Expectation::Works) {
        EXPECT_TRUE(run.succeeded);
        EXPECT_FALSE(run.toldSilent);
        if (run.succeeded) ExpectRouterAfterSuccess(procedure, session, view);
    } else if (expectation == Expectation::StaysTruthful) {
        ExpectTruthful(procedure, run, session, view);
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
        if (procedure == Procedure::Connection) {
            EXPECT_EQ(session.state.SinglePcActive, 0);
            EXPECT_EQ(session.state.MultiPcActive, 0);
        }
    } else {
        EXPECT_FALSE(run.succeeded);
        EXPECT_FALSE(run.switched) << "a switch that did not happen was reported";
        EXPECT_TRUE(run.toldSilent) << "the user was not told that the router does not answer";
        if (procedure == Procedure::Connection) {
            EXPECT_EQ(session.state.SinglePcActive, 0);
            EXPECT_EQ(session.state.MultiPcActive, 0);
        }
        if (fault == Fault::NoListing) {
            // After the listing command only nudges went out: no command, no exit.
            std::this_thread::sleep_for(150ms);
            const std::string received = session.simulator.received();
            const std::size_t listed = received.rfind("show ");
            ASSERT_NE(listed, std::string::npos);
            const std::size_t after = received.find('\n', listed);
            ASSERT_NE(after, std::string::npos);
            EXPECT_EQ(received.find_first_not_of('\r', after + 1), std::string::npos)
                << ::testing::PrintToString(received);
            if (procedure == Procedure::Refresh) {
                EXPECT_TRUE(view.lists[ports_ids::kUdpList].empty());
            }
        } else {
            // The router never showed a bare prompt: nothing but the attempts
            // to get one may have gone out, no command and no exit. The last
            // nudge may still be on its way to the router.
            std::this_thread::sleep_for(150ms);
            const std::string received = session.simulator.received();
            EXPECT_TRUE(OnlyNudgesAndPasswords(received)) << ::testing::PrintToString(received);
            // And nothing more goes out once the procedure has returned.
            std::this_thread::sleep_for(150ms);
            EXPECT_EQ(session.simulator.received(), received);
        }
    }

    // The fault gone, the same program state connects to a sound router.
    SimulatorSession sound;
    ASSERT_TRUE(sound.start());
    session.state.RouterPort = std::move(sound.state.RouterPort);
    PortsTestView again;
    session.state.KeepTrying = 1;
    session.state.SinglePcActive = 0;
    session.state.MultiPcActive = 0;
    session.state.SentLineCount = 0;
    Exchange exchange(session.state, again, kConnectDisplay);
    EXPECT_EQ(RunConnectionProcedure(exchange), ConnectionOutcome::Connected);
    EXPECT_EQ(session.state.SinglePcActive, 1);
}

INSTANTIATE_TEST_SUITE_P(
    AllFaults, FaultTest,
    ::testing::Combine(::testing::Values(Fault::Silent, Fault::Chatter, Fault::Garbage,
                                         Fault::ZeroBytes, Fault::Hangup, Fault::Slow,
                                         Fault::SlowerThanQuiet, Fault::SlowListing,
                                         Fault::NoListing),
                       ::testing::Values(Procedure::Connection, Procedure::EnsureLogin,
                                         Procedure::SinglePc, Procedure::MultiPc,
                                         Procedure::Refresh, Procedure::Add, Procedure::Delete,
                                         Procedure::Update)),
    [](const ::testing::TestParamInfo<FaultCase>& info) {
        return FaultName(std::get<0>(info.param)) + "_" + ProcedureName(std::get<1>(info.param));
    });

// A catalogue that lacks a command a procedure needs: the procedure sends
// nothing at all and names the key, whichever of its commands it is.
using MissingCase = std::tuple<Procedure, CatalogueKey>;

class MissingCommandTest : public ::testing::TestWithParam<MissingCase> {};

TEST_P(MissingCommandTest, ProcedureSendsNothingAndNamesTheKey) {
    const auto [procedure, key] = GetParam();
    SimulatorSession session(RouterFor(procedure, std::nullopt));
    ASSERT_TRUE(session.start());
    session.state.CommandCatalogue[key].clear();
    PortsTestView view;

    const RunResult run = RunProcedure(procedure, session, view);
    EXPECT_FALSE(run.succeeded);
    EXPECT_FALSE(run.switched);
    const std::string named = MissingCommandText(key);
    if (procedure == Procedure::Connection) {
        EXPECT_EQ(view.lastStatus(), named + "\nPulse CANCEL para continuar.");
        EXPECT_TRUE(view.isEnabled(connect_ids::kCancel));
        EXPECT_EQ(session.state.SinglePcActive + session.state.MultiPcActive, 0);
    } else {
        EXPECT_TRUE(ShowedMessage(view, named + "\nNo se ha enviado nada al Router."))
            << (view.messages.empty() ? "no message" : view.messages.back().text);
    }
    std::this_thread::sleep_for(150ms);
    EXPECT_EQ(session.simulator.received(), "");
    EXPECT_EQ(session.simulator.snapshot().saveCount, 0);
}

INSTANTIATE_TEST_SUITE_P(
    EachProcedure, MissingCommandTest,
    ::testing::Values(MissingCase{Procedure::Connection, CatalogueKey::SHOW_DHCP_SERVER_SETTING},
                      // Sent only when the circuit has to be created.
                      MissingCase{Procedure::Connection, CatalogueKey::SET_DHCP_SERVER_LEASE},
                      MissingCase{Procedure::SinglePc, CatalogueKey::SET_DHCP_SERVER_START},
                      // Sent only by the read-back.
                      MissingCase{Procedure::SinglePc, CatalogueKey::SHOW_DHCP_SERVER_SETTING},
                      MissingCase{Procedure::MultiPc, CatalogueKey::SET_DHCP_MODE_DISABLE},
                      MissingCase{Procedure::MultiPc, CatalogueKey::SHOW_VC_INTERNET},
                      MissingCase{Procedure::Refresh, CatalogueKey::EXIT_CLI},
                      MissingCase{Procedure::Add, CatalogueKey::ADD_NAT_UDP},
                      MissingCase{Procedure::Delete, CatalogueKey::SAVE_ALL},
                      MissingCase{Procedure::Update, CatalogueKey::SHOW_SYSTEM}),
    [](const ::testing::TestParamInfo<MissingCase>& info) {
        return ProcedureName(std::get<0>(info.param)) + "_" +
               std::string(CatalogueKeyName(std::get<1>(info.param)));
    });

}  // namespace
}  // namespace cofralin
