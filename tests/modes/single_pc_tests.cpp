// The switch to single-PC mode against the simulated router: the exact bytes
// the router receives, its state afterwards, and every way the switch stops.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>

#include "mode_test_support.h"
#include "single_pc.h"

namespace cofralin {
namespace {

using namespace std::chrono_literals;
using testing::ConfigureRouter;
using testing::kLoginBytes;
using testing::line;
using testing::ScriptedFrontend;
using testing::SimulatorSession;

SimulatorOptions multiPcRouter() {
    SimulatorOptions options;
    options.mode = StartMode::MultiPc;
    return options;
}

// The listing request and the two nudges of its drain-first wait.
std::string listingBytes() {
    return line("set adsl open ansi") + line("show vc internet") + "\r\r";
}

// The configuration a multi-PC router of the simulator gets with the default
// management values: its circuit's remote subnet is 192.0.2.2/26 and its
// local address 192.0.2.10, both printed zero-padded.
std::string configurationBytes() {
    return line("disable ip network lan") + line("delete ip network lan") +
           line("add ip network lan address 192.000.002.1/26 enable yes") +
           line("set dhcp mode server") + line("set dhcp server start_address 192.000.002.010") +
           line("set dhcp server router 192.000.002.1") +
           line("set dhcp server dns_address 198.51.100.53") +
           line("set dhcp server wins_address 0.0.0.0") + line("set dhcp server lease_time 86400") +
           line("disable vc internet") +
           line("set vc internet remote_ip_address 10.1.1.1/255.255.255.0") +
           line("set vc internet local_ip_address 10.1.1.1") +
           line("set vc internet option nat disable") + line("delete filter filtro") +
           line("set vc internet option default_route enable") + line("enable vc internet") +
           line("disable ip network lan") + line("enable ip network lan") + line("save all") +
           "\r\r";
}

class SinglePcSwitch : public ::testing::Test {
protected:
    explicit SinglePcSwitch(SimulatorOptions options = multiPcRouter()) : session(options) {}

    void SetUp() override { ASSERT_TRUE(session.start()); }

    Ending run(SinglePcInput input = {}) {
        last = RunSinglePcSwitch(session.routerSession, session.frontend, input);
        return last.ending;
    }

    // A failed switch: the work over, and nothing of it counted as a switch.
    void expectFailed() {
        EXPECT_NE(last.ending, Ending::Done);
        EXPECT_EQ(session.frontend.busyDepth, 0);
    }

    // Nothing on the router changed and nothing was saved.
    void expectRouterUntouched(const RouterState& before) {
        const RouterState after = session.simulator.snapshot();
        EXPECT_EQ(after.running, before.running);
        EXPECT_EQ(after.saveCount, before.saveCount);
    }

    SimulatorSession session;
    Outcome last;
};

TEST_F(SinglePcSwitch, SwitchesAMultiPcRouterAndANewConnectionSeesSinglePc) {
    EXPECT_EQ(run(), Ending::Done);

    const std::string expected = std::string(kLoginBytes) + listingBytes() + configurationBytes() +
                                 testing::ReadBackBytes() + line("exit");
    EXPECT_EQ(session.receivedThrough("exit \r\n"), expected);

    const RouterState router = session.simulator.snapshot();
    EXPECT_EQ(router.cli, CliState::Password);
    EXPECT_EQ(router.saveCount, 1);
    EXPECT_EQ(router.saved, router.running);
    EXPECT_EQ(router.running.dhcp.mode, DhcpMode::Server);
    EXPECT_EQ(router.running.dhcp.start, *parseIpv4("192.0.2.10"));
    EXPECT_EQ(router.running.dhcp.router, *parseIpv4("192.0.2.1"));
    ASSERT_TRUE(router.running.lan);
    EXPECT_EQ(router.running.lan->network, *parseAddressWithPrefix("192.0.2.1/26"));
    EXPECT_TRUE(router.running.lan->enabled);
    ASSERT_TRUE(router.running.vc);
    EXPECT_TRUE(router.running.vc->enabled);
    EXPECT_FALSE(router.running.vc->natEnabled);
    EXPECT_TRUE(router.running.vc->defaultRoute);
    EXPECT_EQ(router.running.vc->localAddress, *parseIpv4("10.1.1.1"));
    EXPECT_EQ(router.running.vc->remote, *parseAddressWithPrefix("10.1.1.1/24"));
    EXPECT_EQ(router.running.filters.count("filtro"), 0u);
    EXPECT_EQ(router.running.atm1InputFilter, "");

    // The status showed each line sent and each reply; the bar moved with each line.
    const auto& statuses = session.frontend.statusTexts;
    EXPECT_NE(std::find(statuses.begin(), statuses.end(), line("save all")), statuses.end());
    EXPECT_NE(std::find_if(statuses.begin(), statuses.end(),
                           [](const std::string& s) {
                               return s.find("Remote IP Address:") != std::string::npos;
                           }),
              statuses.end());
    EXPECT_EQ(session.routerSession.KeepTrying, 1);
    EXPECT_TRUE(session.frontend.everBusy);
    EXPECT_EQ(session.frontend.busyDepth, 0);
    EXPECT_TRUE(session.frontend.messages.empty());

    // A real round trip: the next connection reads the DHCP server as ENABLED.
    ScriptedFrontend connectView;
    EXPECT_EQ(RunConnectionProcedure(session.routerSession, connectView).ending, Ending::Done);
    EXPECT_EQ(session.routerSession.SinglePcActive, 1);
    EXPECT_EQ(session.routerSession.MultiPcActive, 0);
}

TEST_F(SinglePcSwitch, ManagementValuesGoIntoTheCircuit) {
    EXPECT_EQ(run({"192.168.5.77", "255.255.255.240"}), Ending::Done);
    const std::string received = session.receivedThrough("exit \r\n");
    EXPECT_NE(received.find(line("set vc internet remote_ip_address 192.168.5.65/255.255.255.240")),
              std::string::npos);
    EXPECT_NE(received.find(line("set vc internet local_ip_address 192.168.5.77")),
              std::string::npos);
    const RouterState router = session.simulator.snapshot();
    EXPECT_EQ(router.running.vc->remote, *parseAddressWithPrefix("192.168.5.65/28"));
    EXPECT_EQ(router.running.vc->localAddress, *parseIpv4("192.168.5.77"));
}

TEST_F(SinglePcSwitch, CancelledPasswordTakesTheFailurePathAndSendsNothing) {
    // A router whose password is not the built-in one; the user cancels the prompt.
    SimulatorSession other([] {
        SimulatorOptions options = multiPcRouter();
        options.password = "secreto";
        return options;
    }());
    ASSERT_TRUE(other.start());
    const RouterState before = other.simulator.snapshot();
    EXPECT_EQ(RunSinglePcSwitch(other.routerSession, other.frontend, {}).ending,
              Ending::LoginFailed);
    EXPECT_EQ(other.routerSession.KeepTrying, 0);
    EXPECT_EQ(other.frontend.passwordPrompts, 1);
    EXPECT_EQ(other.receivedThrough("\rpelnotra\r\r"), "\rpelnotra\r\r");
    EXPECT_TRUE(other.frontend.messages.empty());
    const RouterState after = other.simulator.snapshot();
    EXPECT_EQ(after.running, before.running);
    EXPECT_EQ(after.saveCount, 0);
}

TEST_F(SinglePcSwitch, PasswordLinesAreShownAsAsterisksAndSentUnchanged) {
    SimulatorSession other([] {
        SimulatorOptions options = multiPcRouter();
        options.password = "clave";
        return options;
    }());
    ASSERT_TRUE(other.start());
    other.frontend.passwords = {std::string("clave")};
    EXPECT_EQ(RunSinglePcSwitch(other.routerSession, other.frontend, {}).ending, Ending::Done);
    EXPECT_EQ(other.receivedThrough("clave\r\n").rfind("\rpelnotra\rclave\r\n", 0), 0u);
    const std::vector<std::string>& shown = other.frontend.statusTexts;
    for (const std::string& text : shown) {
        EXPECT_EQ(text.find("pelnotra"), std::string::npos);
        EXPECT_EQ(text.find("clave"), std::string::npos);
    }
    // One asterisk per character, the line ending left out.
    EXPECT_NE(std::find(shown.begin(), shown.end(), "********"), shown.end());
    EXPECT_NE(std::find(shown.begin(), shown.end(), "*****"), shown.end());
}

TEST_F(SinglePcSwitch, ClosedPortIsReportedAndNotASwitch) {
    session.routerSession.RouterPort.reset();
    EXPECT_EQ(run(), Ending::PortClosed);
    ASSERT_EQ(session.frontend.messages.size(), 1u);
    EXPECT_EQ(session.frontend.messages[0].text, kPortClosedText);
    EXPECT_EQ(session.frontend.messages[0].caption, "Error");
    EXPECT_EQ(session.routerSession.KeepTrying, 1);
    EXPECT_EQ(session.frontend.busyDepth, 0);
    EXPECT_EQ(session.receivedThrough("\r", 200ms), "");
}

TEST_F(SinglePcSwitch, PrefixOutsideTwentyFourToThirtyTwoStopsBeforeConfiguring) {
    const std::size_t start =
        ConfigureRouter(session, {"set vc internet remote_ip_address 192.0.2.2/255.255.240.0"});
    const RouterState before = session.simulator.snapshot();

    EXPECT_EQ(run(), Ending::ListingIncomplete);
    // Logged in, listed, and left the command line: nothing configured.
    const std::string expected = std::string(kLoginBytes) + listingBytes() + line("exit");
    EXPECT_EQ(session.receivedThrough(expected).substr(start), expected);
    ASSERT_EQ(session.frontend.messages.size(), 1u);
    EXPECT_EQ(session.frontend.messages[0].caption, "Error");
    EXPECT_NE(session.frontend.messages[0].text.find("192.000.002.002/20"), std::string::npos);
    EXPECT_NE(session.frontend.messages[0].text.find("No se ha cambiado la configuración."),
              std::string::npos);
    expectFailed();
    expectRouterUntouched(before);
    EXPECT_EQ(session.simulator.snapshot().cli, CliState::Password);
}

TEST_F(SinglePcSwitch, UnusableManagementValuesAreRefusedBeforeAnyContact) {
    EXPECT_EQ(run({"10.1.1.255", "255.255.255.255"}), Ending::InvalidValue);
    EXPECT_EQ(session.receivedThrough("\r", 200ms), "");
    ASSERT_EQ(session.frontend.messages.size(), 1u);
    expectFailed();
}

class SinglePcSwitchWithoutCircuit : public SinglePcSwitch {
protected:
    SinglePcSwitchWithoutCircuit()
        : SinglePcSwitch([] {
              SimulatorOptions options = multiPcRouter();
              options.noVc = true;
              return options;
          }()) {}
};

TEST_F(SinglePcSwitchWithoutCircuit, ListingWithoutAddressesStopsBeforeConfiguring) {
    const RouterState before = session.simulator.snapshot();
    EXPECT_EQ(run(), Ending::ListingIncomplete);
    EXPECT_EQ(session.receivedThrough("exit \r\n"),
              std::string(kLoginBytes) + listingBytes() + line("exit"));
    ASSERT_EQ(session.frontend.messages.size(), 1u);
    EXPECT_EQ(session.frontend.messages[0].text, MissingLabelText("Remote IP Address:"));
    expectFailed();
    expectRouterUntouched(before);
}

class SinglePcSwitchSilent : public SinglePcSwitch {
protected:
    SinglePcSwitchSilent()
        : SinglePcSwitch([] {
              SimulatorOptions options = multiPcRouter();
              options.silent = true;
              return options;
          }()) {}
};

TEST_F(SinglePcSwitchSilent, GivesUpWithinTheWaitLimitAndSendsOnlyNudges) {
    session.settings.PromptWaitLimit = 1s;
    const auto began = std::chrono::steady_clock::now();
    EXPECT_EQ(run(), Ending::NoAnswer);
    EXPECT_LT(std::chrono::steady_clock::now() - began, 3s);
    const std::string received = session.simulator.received();
    EXPECT_FALSE(received.empty());
    EXPECT_EQ(received.find_first_not_of('\r'), std::string::npos);
    ASSERT_EQ(session.frontend.messages.size(), 1u);
    EXPECT_EQ(session.frontend.messages[0].text, kRouterSilentText);
    EXPECT_EQ(session.frontend.messages[0].caption, "Error");
    expectFailed();
}

class SinglePcSwitchHangUp : public SinglePcSwitch {
protected:
    // Replies: the refused empty password, the accepted one, two nudges, the
    // "set adsl" answer, then the listing, cut off in its middle.
    SinglePcSwitchHangUp()
        : SinglePcSwitch([] {
              SimulatorOptions options = multiPcRouter();
              options.hangupAfter = 6;
              return options;
          }()) {}
};

TEST_F(SinglePcSwitchHangUp, LineLostDuringTheListingStopsBeforeConfiguring) {
    session.settings.PromptWaitLimit = 1s;
    const RouterState before = session.simulator.snapshot();
    EXPECT_EQ(run(), Ending::LineLost);
    EXPECT_TRUE(session.simulator.hungUp());
    const std::string received = session.simulator.received();
    const std::string listingRequest = line("set adsl open ansi") + line("show vc internet");
    EXPECT_EQ(received.rfind(std::string(kLoginBytes) + listingRequest, 0), 0u) << received;
    EXPECT_EQ(received.find("disable"), std::string::npos);
    EXPECT_EQ(received.find("exit"), std::string::npos);
    expectFailed();
    expectRouterUntouched(before);
}

}  // namespace
}  // namespace cofralin
