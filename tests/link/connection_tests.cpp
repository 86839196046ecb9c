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
    ConnectionOutcome run() {
        session.state.KeepTrying = 1;
        session.state.SinglePcActive = 0;
        session.state.MultiPcActive = 0;
        session.state.SentLineCount = 0;
        Exchange exchange(session.state, session.view, kConnectDisplay);
        return RunConnectionProcedure(exchange);
    }
    SimulatorSession session;
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
    EXPECT_EQ(c.run(), ConnectionOutcome::Connected);
    EXPECT_EQ(c.session.receivedThrough("exit\r\n"), "\r" + kDetection);
    EXPECT_EQ(c.session.state.SinglePcActive, 1);
    EXPECT_EQ(c.session.state.MultiPcActive, 0);
    EXPECT_EQ(c.session.view.lastStatus(), kConnectedText);
    EXPECT_TRUE(c.session.view.isEnabled(connect_ids::kOk));
    EXPECT_FALSE(c.session.view.isEnabled(connect_ids::kCancel));
    EXPECT_EQ(c.session.view.passwordPrompts, 0);
    // The bar moves with each line sent, from 0.
    ASSERT_FALSE(c.session.view.progress.empty());
    EXPECT_EQ(c.session.view.progress.front(), 0);
    EXPECT_FALSE(c.session.view.everBusy && c.session.view.busyDepth != 0);
}

TEST(Connection, QuickSetupIsDeclinedAfterAFreshNudge) {
    SimulatorOptions options = atPrompt();
    options.firstStart = true;
    Connection c(options);
    ASSERT_TRUE(c.session.start());
    EXPECT_EQ(c.run(), ConnectionOutcome::Connected);
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
    c.session.view.passwords = {std::string("mala"), std::string("secreto")};
    ASSERT_TRUE(c.session.start());
    EXPECT_EQ(c.run(), ConnectionOutcome::Connected);
    EXPECT_EQ(c.session.receivedThrough("exit\r\n"),
              "\r\rpelnotra\r\rmala\r\n\r\rsecreto\r\n\r" + kDetection);
    EXPECT_EQ(c.session.view.passwordPrompts, 2);
    EXPECT_EQ(c.session.state.UserPassword, "secreto\r\n");
}

TEST(Connection, TheBuiltInPasswordAloneLogsIn) {
    Connection c(SimulatorOptions{});
    ASSERT_TRUE(c.session.start());
    EXPECT_EQ(c.run(), ConnectionOutcome::Connected);
    // The nudge that ends the password line is answered by the bare prompt.
    EXPECT_EQ(c.session.receivedThrough("exit\r\n"), "\r\rpelnotra\r" + kDetection);
    EXPECT_EQ(c.session.view.passwordPrompts, 0);
}

TEST(Connection, ACancelledPasswordPromptEndsWithTheWrongPasswordText) {
    SimulatorOptions options;
    options.password = "secreto";
    Connection c(options);
    c.session.state.UserPassword = "anterior\r\n";
    ASSERT_TRUE(c.session.start());
    EXPECT_EQ(c.run(), ConnectionOutcome::WrongPassword);
    // The cancelled pass sends no password, not even the one held before.
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(c.session.simulator.received(), "\r\rpelnotra\r\r");
    EXPECT_EQ(c.session.state.KeepTrying, 0);
    EXPECT_EQ(c.session.state.UserPassword, "anterior\r\n");
    EXPECT_EQ(c.session.view.lastStatus(), kWrongPasswordText);
    EXPECT_TRUE(c.session.view.isEnabled(connect_ids::kCancel));
    EXPECT_FALSE(c.session.view.isEnabled(connect_ids::kOk));
    EXPECT_EQ(c.session.state.SinglePcActive + c.session.state.MultiPcActive, 0);
}

TEST(Connection, AMissingCircuitIsCreatedOnceInSinglePcFormWithoutTheDhcpQuery) {
    SimulatorOptions options = atPrompt();
    options.noVc = true;
    options.mode = StartMode::MultiPc;
    Connection c(options);
    ASSERT_TRUE(c.session.start());
    EXPECT_EQ(c.run(), ConnectionOutcome::Connected);
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
    EXPECT_EQ(c.session.state.SinglePcActive, 1);
    EXPECT_EQ(c.session.state.MultiPcActive, 0);

    const RouterState router = c.session.simulator.snapshot();
    ASSERT_TRUE(router.saved.vc.has_value());
    EXPECT_EQ(router.saved.dhcp.mode, DhcpMode::Server);
}

TEST(Connection, ASecondConnectionInTheSameRunDetectsTheModeAgain) {
    SimulatorOptions options = atPrompt();
    options.noVc = true;
    Connection c(options);
    ASSERT_TRUE(c.session.start());
    ASSERT_EQ(c.run(), ConnectionOutcome::Connected);
    const std::size_t before = c.session.receivedThrough("exit\r\n\r\rpelnotra").size();
    c.session.receivedThrough("\r\nexit\r\n");
    EXPECT_EQ(c.run(), ConnectionOutcome::Connected);
    const std::string second = c.session.receivedThrough("show dhcp server").substr(before);
    EXPECT_NE(second.find("show dhcp server\r\n"), std::string::npos) << second;
    EXPECT_EQ(c.session.state.SinglePcActive, 1);
}

TEST(Connection, TheDhcpSettingTellsTheMode) {
    for (const StartMode mode : {StartMode::SinglePc, StartMode::MultiPc}) {
        SimulatorOptions options = atPrompt();
        options.mode = mode;
        Connection c(options);
        ASSERT_TRUE(c.session.start());
        EXPECT_EQ(c.run(), ConnectionOutcome::Connected);
        EXPECT_EQ(c.session.state.SinglePcActive, mode == StartMode::SinglePc ? 1 : 0);
        EXPECT_EQ(c.session.state.MultiPcActive, mode == StartMode::MultiPc ? 1 : 0);
    }
}

TEST(Connection, ADhcpListingThatNeverComesIsNoAnswerWithoutAMode) {
    Connection c(atPrompt());
    ASSERT_TRUE(c.session.start());
    c.session.state.PromptWaitLimit = 1s;
    // A catalogue whose DHCP query lists something else: bare prompts come,
    // the DHCP server's labels never do.
    c.session.state.CommandCatalogue[CatalogueKey::SHOW_DHCP_SERVER_SETTING] = "show system";
    EXPECT_EQ(c.run(), ConnectionOutcome::NoAnswer);
    EXPECT_EQ(c.session.state.SinglePcActive, 0);
    EXPECT_EQ(c.session.state.MultiPcActive, 0);
    EXPECT_EQ(c.session.view.lastStatus(), kNoAnswerText);
    // Nothing more is sent: the command line is not left.
    EXPECT_EQ(c.session.simulator.received().find("exit"), std::string::npos);
}

TEST(Connection, ASilentRouterIsGivenUpAfterSixtyQuietPasses) {
    SimulatorOptions options;
    options.silent = true;
    Connection c(options);
    ASSERT_TRUE(c.session.start());
    c.session.state.SinglePcActive = 1;
    const auto start = Clock::now();
    EXPECT_EQ(c.run(), ConnectionOutcome::NoAnswer);
    const auto took = Clock::now() - start;
    EXPECT_GE(took, 6600ms);
    EXPECT_LT(took, 9000ms);
    EXPECT_EQ(c.session.receivedThrough(std::string(60, '\r')), std::string(60, '\r'));
    EXPECT_EQ(c.session.view.lastStatus(), kNoAnswerText);
    EXPECT_TRUE(c.session.view.isEnabled(connect_ids::kCancel));
    EXPECT_FALSE(c.session.view.isEnabled(connect_ids::kOk));
    EXPECT_EQ(c.session.state.SinglePcActive + c.session.state.MultiPcActive, 0);
}

TEST(Connection, AChatteringRouterIsGivenUpAtTheWaitBound) {
    SimulatorOptions options;
    options.chatter = true;
    Connection c(options);
    ASSERT_TRUE(c.session.start());
    c.session.state.PromptWaitLimit = 1500ms;
    const auto start = Clock::now();
    EXPECT_EQ(c.run(), ConnectionOutcome::NoAnswer);
    EXPECT_LT(Clock::now() - start, 5s);
    EXPECT_EQ(c.session.view.lastStatus(), kNoAnswerText);
}

TEST(Connection, ZeroBytesInRepliesDoNotDisturbTheLogin) {
    SimulatorOptions options;
    options.zeroBytes = true;
    options.mode = StartMode::MultiPc;
    Connection c(options);
    ASSERT_TRUE(c.session.start());
    EXPECT_EQ(c.run(), ConnectionOutcome::Connected);
    EXPECT_EQ(c.session.state.MultiPcActive, 1);
}

TEST(EnsureLogin, CollectsThePromptLeftByADrainFirstWait) {
    testing::SimulatorSession session(atPrompt());
    ASSERT_TRUE(session.start());
    session.state.KeepTrying = 1;
    Exchange exchange(session.state, session.view, {});
    exchange.SendLine("show system \r\n");
    ASSERT_TRUE(exchange.AwaitPrompt(AwaitOrder::DrainFirst));
    const std::size_t before = session.receivedThrough("never", 300ms).size();

    EXPECT_EQ(EnsureLogin(exchange, true), LoginOutcome::LoggedIn);
    // One drain collected the waiting prompt; one nudge followed it.
    EXPECT_EQ(session.receivedThrough("never", 300ms).substr(before), "\r");
    EXPECT_EQ(session.view.lastStatus(), "\r\nZarn-DSL>");
}

TEST(EnsureLogin, LogsInAgainAfterTheCommandLineWasLeft) {
    testing::SimulatorSession session(atPrompt());
    ASSERT_TRUE(session.start());
    session.state.KeepTrying = 1;
    Exchange exchange(session.state, session.view, {});
    exchange.SendLine("exit\r\n");
    exchange.DrainReply();
    const std::size_t before = session.receivedThrough("exit\r\n").size();

    EXPECT_EQ(EnsureLogin(exchange, false), LoginOutcome::LoggedIn);
    const std::string sent = session.simulator.received().substr(before);
    EXPECT_EQ(sent.find("\rpelnotra\r"), 0u) << sent;
    EXPECT_TRUE(session.view.statusTexts.empty());
}

TEST(EnsureLogin, ACancelledPromptAbandonsAndAStoppedFlagSendsNothing) {
    SimulatorOptions options;
    options.password = "secreto";
    testing::SimulatorSession session(options);
    ASSERT_TRUE(session.start());
    session.state.KeepTrying = 1;
    Exchange exchange(session.state, session.view, {});
    EXPECT_EQ(EnsureLogin(exchange, false), LoginOutcome::Abandoned);
    EXPECT_EQ(session.state.KeepTrying, 0);
    EXPECT_EQ(session.view.passwordPrompts, 1);

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
    session.state.KeepTrying = 1;
    session.state.LoggingEnabled = 1;
    session.state.RunLogPath = ::testing::TempDir() + "cofralin-echo-" + std::to_string(::getpid());
    std::filesystem::remove(session.state.RunLogPath);
    session.view.passwords = {std::string("secreto")};
    Exchange exchange(session.state, session.view, {});
    EXPECT_EQ(EnsureLogin(exchange, false), LoginOutcome::LoggedIn);

    // The router saw both passwords and echoed them; the log holds asterisks.
    EXPECT_NE(session.simulator.received().find("pelnotra\rsecreto\r\n"), std::string::npos);
    std::ifstream in(session.state.RunLogPath, std::ios::binary);
    const std::string log{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::filesystem::remove(session.state.RunLogPath);
    EXPECT_EQ(log.find("pelnotra"), std::string::npos) << log;
    EXPECT_EQ(log.find("secreto"), std::string::npos) << log;
    EXPECT_NE(log.find("********\r\nLogin incorrect"), std::string::npos) << log;
    EXPECT_NE(log.find("*******\r\nZarn-DSL>"), std::string::npos) << log;
}

TEST(EnsureLogin, ASilentRouterIsGivenUpAtTheWaitBound) {
    SimulatorOptions options;
    options.silent = true;
    testing::SimulatorSession session(options);
    ASSERT_TRUE(session.start());
    session.state.KeepTrying = 1;
    session.state.PromptWaitLimit = 1s;
    Exchange exchange(session.state, session.view, {});
    const auto start = Clock::now();
    EXPECT_EQ(EnsureLogin(exchange, false), LoginOutcome::NoAnswer);
    EXPECT_LT(Clock::now() - start, 2s);
}

}  // namespace
}  // namespace cofralin
