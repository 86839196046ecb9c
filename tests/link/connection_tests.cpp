#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "connection.h"
#include "exchange.h"
#include "login.h"
#include "simulator_session.h"

namespace cofralin {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using testing::SimulatorSession;

std::size_t count(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

struct Connection {
    explicit Connection(SimulatorOptions options) : session(std::move(options)) {}
    Ending run() {
        last = RunConnectionProcedure(session.routerSession, session.frontend);
        return last.ending;
    }
    SimulatorSession session;
    Outcome last;
};

SimulatorOptions atPrompt() {
    SimulatorOptions options;
    options.loggedIn = true;
    return options;
}

const std::string kDetection =
    "set adsl open ansi \r\nshow vc internet \r\n\r\r"
    "show dhcp server\r\n\r\r"
    "exit\r\n";

TEST(Connection, ARouterAtItsPromptNeedsOnePassAndNoPassword) {
    Connection c(atPrompt());
    ASSERT_TRUE(c.session.start());
    EXPECT_EQ(c.run(), Ending::Done);
    EXPECT_EQ(c.session.receivedThrough("exit\r\n"), "\r" + kDetection);
    EXPECT_EQ(c.session.routerSession.SinglePcActive, 1);
    EXPECT_EQ(c.session.routerSession.MultiPcActive, 0);
    EXPECT_EQ(c.last.message, kConnectedText);
    EXPECT_EQ(c.last.read.mode, RouterMode::SinglePc);
    EXPECT_EQ(c.session.frontend.passwordPrompts, 0);
    // The bar moves with each line sent, from 0.
    ASSERT_FALSE(c.session.frontend.progressSteps.empty());
    EXPECT_EQ(c.session.frontend.progressSteps.front(), 0);
    EXPECT_FALSE(c.session.frontend.everBusy && c.session.frontend.busyDepth != 0);
}

TEST(Connection, QuickSetupIsDeclinedAfterAFreshNudge) {
    SimulatorOptions options = atPrompt();
    options.firstStart = true;
    Connection c(options);
    ASSERT_TRUE(c.session.start());
    EXPECT_EQ(c.run(), Ending::Done);
    // The reply that declined still holds the question, so the next pass
    // declines again; the router takes the second "no" as an unknown command.
    const std::string received = c.session.receivedThrough("exit\r\n");
    EXPECT_EQ(received.find("\r\rno\r\n\r"), 0u) << received;
    EXPECT_EQ(received.substr(received.size() - kDetection.size()), kDetection);
}

TEST(Connection, TheBuiltInPasswordGoesFirstWithoutLineEndThenTheTypedOne) {
    SimulatorOptions options;
    options.password = "secreto";
    Connection c(options);
    c.session.frontend.passwords = {std::string("mala"), std::string("secreto")};
    ASSERT_TRUE(c.session.start());
    EXPECT_EQ(c.run(), Ending::Done);
    EXPECT_EQ(c.session.receivedThrough("exit\r\n"),
              "\r\rpelnotra\r\rmala\r\n\rsecreto\r\n\r" + kDetection);
    EXPECT_EQ(c.session.frontend.passwordPrompts, 2);
    EXPECT_EQ(c.session.routerSession.UserPassword, "secreto\r\n");
}

TEST(Connection, TheBuiltInPasswordAloneLogsIn) {
    Connection c(SimulatorOptions{});
    ASSERT_TRUE(c.session.start());
    EXPECT_EQ(c.run(), Ending::Done);
    // The nudge that ends the password line is answered by the bare prompt.
    EXPECT_EQ(c.session.receivedThrough("exit\r\n"), "\r\rpelnotra\r" + kDetection);
    EXPECT_EQ(c.session.frontend.passwordPrompts, 0);
}

TEST(Connection, ACancelledPasswordPromptEndsWithTheWrongPasswordText) {
    SimulatorOptions options;
    options.password = "secreto";
    Connection c(options);
    c.session.routerSession.UserPassword = "anterior\r\n";
    ASSERT_TRUE(c.session.start());
    EXPECT_EQ(c.run(), Ending::LoginFailed);
    // The cancelled pass sends no password, not even the one held before.
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(c.session.simulator.received(), "\r\rpelnotra\r\r");
    EXPECT_EQ(c.session.routerSession.KeepTrying, 0);
    EXPECT_EQ(c.session.routerSession.UserPassword, "anterior\r\n");
    EXPECT_EQ(c.last.message, kWrongPasswordText);
    EXPECT_EQ(c.session.routerSession.SinglePcActive + c.session.routerSession.MultiPcActive, 0);
}

TEST(Connection, AMissingCircuitIsCreatedOnceInSinglePcFormWithoutTheDhcpQuery) {
    SimulatorOptions options = atPrompt();
    options.noVc = true;
    options.mode = StartMode::MultiPc;
    Connection c(options);
    ASSERT_TRUE(c.session.start());
    EXPECT_EQ(c.run(), Ending::Done);
    const std::string received = c.session.receivedThrough("exit\r\n\r\rpelnotra");
    const std::string creation =
        "add vc internet\r\n"
        "add ip network lan address 192.0.2.0/26 enable yes\r\n"
        "set dhcp mode server\r\n"
        "set dhcp server start_address 192.000.002.010 \r\n"
        "set dhcp server router 192.000.002.001 \r\n"
        "set dhcp server dns_address 198.51.100.53 \r\n"
        "set dhcp server wins_address 0.0.0.0 \r\n"
        "set dhcp server lease_time 86400 \r\n"
        "set dhcp mode server\r\n"
        "save all\r\n"
        "exit\r\n";
    EXPECT_EQ(received.find("\rset adsl open ansi \r\nshow vc internet \r\n\r" + creation), 0u)
        << received;
    EXPECT_EQ(count(received, "add vc internet"), 1u);
    EXPECT_EQ(count(received, "exit\r\n"), 2u);
    EXPECT_EQ(count(received, "show dhcp server"), 0u);
    EXPECT_EQ(c.session.routerSession.SinglePcActive, 1);
    EXPECT_EQ(c.session.routerSession.MultiPcActive, 0);

    const RouterState router = c.session.simulator.snapshot();
    ASSERT_TRUE(router.saved.vc.has_value());
    EXPECT_EQ(router.saved.dhcp.mode, DhcpMode::Server);
}

// "not in table" creates the circuit only when it answers the circuit's
// listing, and a creation the router refuses is no connection.
TEST(Connection, TheCircuitIsCreatedOnlyWhenItsListingSaysSoAndARefusalIsTold) {
    const struct Case {
        const char* what;
        bool noVc;
        std::pair<std::string, std::string> answer;
        Ending ending;
        std::string message;
        RouterMode mode;
        bool created;
    } cases[] = {
        {"the line before the listing says not in table",
         false,
         {"set adsl open ansi", "Error: vc internet not in table"},
         Ending::Done,
         std::string(kConnectedText),
         RouterMode::MultiPc,
         false},
        {"the router refuses the creation",
         true,
         {"add vc internet", "Error: no hay memoria"},
         Ending::NotAccepted,
         "El Router no aceptó crear el circuito de Internet (add vc internet).",
         RouterMode::Unknown,
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SimulatorOptions options = atPrompt();
        options.mode = StartMode::MultiPc;
        options.noVc = c.noVc;
        options.answers = {c.answer};
        Connection c2(options);
        ASSERT_TRUE(c2.session.start());
        EXPECT_EQ(c2.run(), c.ending);
        EXPECT_EQ(c2.last.message, c.message);
        EXPECT_EQ(c2.session.routerSession.mode(), c.mode);
        const std::string received = c2.session.receivedThrough("never", 300ms);
        EXPECT_EQ(received.find("add vc internet") != std::string::npos, c.created) << received;
        EXPECT_EQ(c2.session.simulator.snapshot().saveCount, c.created ? 1 : 0);
    }
}

TEST(Connection, ASecondConnectionInTheSameRunDetectsTheModeAgain) {
    SimulatorOptions options = atPrompt();
    options.noVc = true;
    Connection c(options);
    ASSERT_TRUE(c.session.start());
    ASSERT_EQ(c.run(), Ending::Done);
    const std::size_t before = c.session.receivedThrough("exit\r\n\r\rpelnotra").size();
    c.session.receivedThrough("\r\nexit\r\n");
    EXPECT_EQ(c.run(), Ending::Done);
    const std::string second = c.session.receivedThrough("show dhcp server").substr(before);
    EXPECT_NE(second.find("show dhcp server\r\n"), std::string::npos) << second;
    EXPECT_EQ(c.session.routerSession.SinglePcActive, 1);
}

TEST(Connection, TheDhcpSettingTellsTheMode) {
    for (const StartMode mode : {StartMode::SinglePc, StartMode::MultiPc}) {
        SimulatorOptions options = atPrompt();
        options.mode = mode;
        Connection c(options);
        ASSERT_TRUE(c.session.start());
        EXPECT_EQ(c.run(), Ending::Done);
        EXPECT_EQ(c.session.routerSession.SinglePcActive, mode == StartMode::SinglePc ? 1 : 0);
        EXPECT_EQ(c.session.routerSession.MultiPcActive, mode == StartMode::MultiPc ? 1 : 0);
    }
}

TEST(Connection, ADhcpListingThatNeverComesIsNoAnswerWithoutAMode) {
    Connection c(atPrompt());
    ASSERT_TRUE(c.session.start());
    c.session.settings.PromptWaitLimit = 1s;
    // A catalogue whose DHCP query lists something else: bare prompts come,
    // the DHCP server's labels never do.
    c.session.settings.catalogue[CatalogueKey::SHOW_DHCP_SERVER_SETTING] = "show system";
    EXPECT_EQ(c.run(), Ending::NoAnswer);
    EXPECT_EQ(c.session.routerSession.SinglePcActive, 0);
    EXPECT_EQ(c.session.routerSession.MultiPcActive, 0);
    EXPECT_EQ(c.last.message, kRouterSilentText);
    // Nothing more is sent: the command line is not left.
    EXPECT_EQ(c.session.simulator.received().find("exit"), std::string::npos);
}

TEST(Connection, ASilentRouterIsGivenUpAfterSixtyQuietPasses) {
    SimulatorOptions options;
    options.silent = true;
    Connection c(options);
    ASSERT_TRUE(c.session.start());
    c.session.routerSession.SinglePcActive = 1;
    const auto start = Clock::now();
    EXPECT_EQ(c.run(), Ending::NoAnswer);
    const auto took = Clock::now() - start;
    EXPECT_GE(took, 6600ms);
    EXPECT_LT(took, 9000ms);
    EXPECT_EQ(c.session.receivedThrough(std::string(60, '\r')), std::string(60, '\r'));
    EXPECT_EQ(c.last.message, kRouterSilentText);
    EXPECT_EQ(c.last.read.mode, RouterMode::Unknown);
    EXPECT_EQ(c.session.routerSession.SinglePcActive + c.session.routerSession.MultiPcActive, 0);
}

TEST(Connection, AChatteringRouterIsGivenUpAtTheWaitBound) {
    SimulatorOptions options;
    options.chatter = true;
    Connection c(options);
    ASSERT_TRUE(c.session.start());
    c.session.settings.PromptWaitLimit = 1500ms;
    const auto start = Clock::now();
    EXPECT_EQ(c.run(), Ending::NoAnswer);
    EXPECT_LT(Clock::now() - start, 5s);
    EXPECT_EQ(c.last.message, kRouterSilentText);
}

TEST(Connection, ZeroBytesInRepliesDoNotDisturbTheLogin) {
    SimulatorOptions options;
    options.zeroBytes = true;
    options.mode = StartMode::MultiPc;
    Connection c(options);
    ASSERT_TRUE(c.session.start());
    EXPECT_EQ(c.run(), Ending::Done);
    EXPECT_EQ(c.session.routerSession.MultiPcActive, 1);
}

TEST(EnsureLogin, CollectsThePromptLeftByADrainFirstWait) {
    testing::SimulatorSession session(atPrompt());
    ASSERT_TRUE(session.start());
    session.routerSession.KeepTrying = 1;
    Exchange exchange(session.routerSession, session.frontend, {});
    exchange.SendLine("show system \r\n");
    ASSERT_TRUE(exchange.AwaitPrompt(AwaitOrder::DrainFirst));
    const std::size_t before = session.receivedThrough("never", 300ms).size();

    EXPECT_EQ(EnsureLogin(exchange, true), LoginOutcome::LoggedIn);
    // One drain collected the waiting prompt; one nudge followed it.
    EXPECT_EQ(session.receivedThrough("never", 300ms).substr(before), "\r");
    EXPECT_EQ(session.frontend.lastStatus(), "\r\nZarn-DSL>");
}

TEST(EnsureLogin, LogsInAgainAfterTheCommandLineWasLeft) {
    testing::SimulatorSession session(atPrompt());
    ASSERT_TRUE(session.start());
    session.routerSession.KeepTrying = 1;
    Exchange exchange(session.routerSession, session.frontend, {});
    exchange.SendLine("exit\r\n");
    exchange.DrainReply();
    const std::size_t before = session.receivedThrough("exit\r\n").size();

    EXPECT_EQ(EnsureLogin(exchange, false), LoginOutcome::LoggedIn);
    const std::string sent = session.simulator.received().substr(before);
    EXPECT_EQ(sent.find("\rpelnotra\r"), 0u) << sent;
    EXPECT_TRUE(session.frontend.statusTexts.empty());
}

TEST(EnsureLogin, ACancelledPromptAbandonsAndAStoppedFlagSendsNothing) {
    SimulatorOptions options;
    options.password = "secreto";
    testing::SimulatorSession session(options);
    ASSERT_TRUE(session.start());
    session.routerSession.KeepTrying = 1;
    Exchange exchange(session.routerSession, session.frontend, {});
    EXPECT_EQ(EnsureLogin(exchange, false), LoginOutcome::Abandoned);
    EXPECT_EQ(session.routerSession.KeepTrying, 0);
    EXPECT_EQ(session.frontend.passwordPrompts, 1);

    const std::size_t before = session.receivedThrough("never", 300ms).size();
    EXPECT_EQ(EnsureLogin(exchange, false), LoginOutcome::Abandoned);
    EXPECT_EQ(session.receivedThrough("never", 300ms).size(), before);
}

TEST(EnsureLogin, ARouterThatEchoesPasswordsLeavesNoneInTheLog) {
    SimulatorOptions options;
    options.password = "secreto";
    options.echoPassword = true;
    testing::SimulatorSession session(options);
    ASSERT_TRUE(session.start());
    session.routerSession.KeepTrying = 1;
    const std::filesystem::path log =
        ::testing::TempDir() + "cofralin-echo-" + std::to_string(::getpid());
    std::filesystem::remove(log);
    session.routerSession.runLog.setPath(log);
    session.frontend.passwords = {std::string("secreto")};
    Exchange exchange(session.routerSession, session.frontend, {});
    EXPECT_EQ(EnsureLogin(exchange, false), LoginOutcome::LoggedIn);

    // The router saw both passwords and echoed them; the log holds asterisks.
    EXPECT_NE(session.simulator.received().find("pelnotra\rsecreto\r\n"), std::string::npos);
    std::ifstream in(log, std::ios::binary);
    const std::string logged{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::filesystem::remove(log);
    EXPECT_EQ(logged.find("pelnotra"), std::string::npos) << logged;
    EXPECT_EQ(logged.find("secreto"), std::string::npos) << logged;
    EXPECT_NE(logged.find("********\r\nLogin incorrect"), std::string::npos) << logged;
    EXPECT_NE(logged.find("*******\r\nZarn-DSL>"), std::string::npos) << logged;
}

// A router that echoes the password in clear, or answers late, has taken the
// built-in password: the verdict comes from what follows the password, so the
// user is never asked and nothing typed reaches the router.
TEST(Login, AnEchoingOrSlowRouterThatTookTheBuiltInPasswordAsksForNothingMore) {
    for (const bool echo : {false, true}) {
        for (const int slowMs : {0, 200}) {
            SCOPED_TRACE(::testing::Message() << "echo " << echo << ", slow " << slowMs);
            SimulatorOptions options;
            options.echoPassword = echo;
            options.slowMs = slowMs;
            Connection c(options);
            ASSERT_TRUE(c.session.start());
            EXPECT_EQ(c.run(), Ending::Done) << c.last.message;
            EXPECT_EQ(c.session.frontend.passwordPrompts, 0);

            testing::SimulatorSession session(options);
            ASSERT_TRUE(session.start());
            session.routerSession.KeepTrying = 1;
            Exchange exchange(session.routerSession, session.frontend, {});
            EXPECT_EQ(EnsureLogin(exchange, false), LoginOutcome::LoggedIn);
            EXPECT_EQ(session.frontend.passwordPrompts, 0);
            const std::string sent = session.receivedThrough("never", 300ms);
            EXPECT_EQ(sent.find_first_not_of("\r", sent.find("pelnotra") + 8), std::string::npos)
                << sent;
        }
    }
}

// A password the router's code page cannot carry is refused and asked again;
// nothing of it reaches the router as "?".
TEST(Login, APasswordTheCodePageCannotCarryIsAskedAgainAndNeverSent) {
    SimulatorOptions options;
    options.password = "secreto";
    Connection c(options);
    c.session.frontend.passwords = {std::string("пароль"), std::string("secreto")};
    ASSERT_TRUE(c.session.start());
    EXPECT_EQ(c.run(), Ending::Done);
    EXPECT_EQ(c.session.frontend.passwordPrompts, 2);
    ASSERT_EQ(c.session.frontend.messages.size(), 1u);
    EXPECT_EQ(c.session.frontend.messages[0].text, kPasswordNotCarriedText);
    const std::string received = c.session.receivedThrough("exit\r\n");
    EXPECT_EQ(received.find('?'), std::string::npos) << received;
    EXPECT_EQ(received.find("\xD0"), std::string::npos);
}

TEST(EnsureLogin, ASilentRouterIsGivenUpAtTheWaitBound) {
    SimulatorOptions options;
    options.silent = true;
    testing::SimulatorSession session(options);
    ASSERT_TRUE(session.start());
    session.routerSession.KeepTrying = 1;
    session.settings.PromptWaitLimit = 1s;
    Exchange exchange(session.routerSession, session.frontend, {});
    const auto start = Clock::now();
    EXPECT_EQ(EnsureLogin(exchange, false), LoginOutcome::NoAnswer);
    EXPECT_LT(Clock::now() - start, 2s);
}

}  // namespace
}  // namespace cofralin
