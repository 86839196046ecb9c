// The switch to multi-PC mode against the simulated router: the opening that
// reads the management address, the exact bytes of OK, the router's state
// afterwards, and every way the switch stops.

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "mode_test_support.h"
#include "multi_pc.h"
#include "single_pc.h"

namespace cofralin {
namespace {

using namespace std::chrono_literals;
using testing::kLoginBytes;
using testing::Labelled;
using testing::line;
using testing::ScriptedFrontend;
using testing::ScriptedRouter;
using testing::ScriptedSession;
using testing::SimulatorSession;

// The opening: login, listing with its drain-first wait, one more wait, exit.
std::string openingBytes() {
    return std::string(kLoginBytes) + line("show vc internet") + "\r\r" + "\r" + line("exit");
}

std::string listingBytes() {
    return line("set adsl open ansi") + line("show dhcp server") + "\r\r";
}

// The input filter as a captured text file: CR-ended lines and the byte 4.
std::string filterBytes(std::string_view subnet) {
    return std::string("set interface eth:1 input_filter\r\n") + "delete filter filtro\r\n" +
           "capture text_file filtro\r" + "#filter\r" + "IP:\r" +
           "1 ACCEPT src-addr=" + std::string(subnet) + ";\r" + "2 REJECT tcp-dst-port=23;\r" +
           "3 REJECT tcp-dst-port=80;\r" + "\x04" + "\r\r";
}

std::string finishingBytes() {
    return std::string("add filter filtro\r\n") + "set interface atm:1 input_filter filtro\r\n" +
           line("set vc internet option nat enable") + line("enable vc internet") +
           line("set dhcp mode disable") + line("save all") + "\r\r" + testing::ReadBackBytes() +
           line("exit");
}

// The whole OK sequence for a single-PC router of the simulator, whose DHCP
// server has the router 192.0.2.1, the mask of a /26 and the pool start 192.0.2.10.
std::string okBytes(std::string_view stationLine = {},
                    std::string_view subnet = "203.0.113.16/28") {
    return std::string(kLoginBytes) + listingBytes() + line("disable ip network lan") +
           line("delete ip network lan") +
           line("add ip network lan address 172.26.0.1/255.255.255.240 enable yes") +
           line("disable vc internet") +
           line("set vc internet remote_ip_address 192.000.002.2/255.255.255.192") +
           line("set vc internet local_ip_address 192.000.002.010") + std::string(stationLine) +
           "\r\r" + filterBytes(subnet) + finishingBytes();
}

class MultiPcSwitch : public ::testing::Test {
protected:
    explicit MultiPcSwitch(SimulatorOptions options = {}) : session(options) {}

    void SetUp() override { ASSERT_TRUE(session.start()); }

    // The opening: the management address read, empty when none was.
    std::string open() {
        return ReadMgmtAddress(session.routerSession, session.frontend)
            .read.vcLocalAddress.value_or(std::string());
    }

    Ending runOk(MultiPcInput input = {}) {
        return RunMultiPcSwitch(session.routerSession, session.frontend, input).ending;
    }

    void expectRouterUntouched(const RouterState& before) {
        const RouterState after = session.simulator.snapshot();
        EXPECT_EQ(after.running, before.running);
        EXPECT_EQ(after.saveCount, before.saveCount);
    }

    SimulatorSession session;
};

TEST_F(MultiPcSwitch, OpeningReadsTheManagementAddressAndLogsOut) {
    session.routerSession.KeepTrying = 0;
    const std::string address = open();
    EXPECT_EQ(address, "010.001.001.001");
    EXPECT_EQ(session.receivedThrough(openingBytes()), openingBytes());
    EXPECT_EQ(session.simulator.snapshot().cli, CliState::Password);
    EXPECT_EQ(session.routerSession.KeepTrying, 1);
    EXPECT_TRUE(session.frontend.messages.empty());
    EXPECT_EQ(session.frontend.busyDepth, 0);
}

TEST_F(MultiPcSwitch, SwitchesASinglePcRouterAndANewConnectionSeesMultiPc) {
    ASSERT_EQ(open(), "010.001.001.001");
    EXPECT_EQ(runOk(), Ending::Done);

    const std::string expected = openingBytes() + okBytes();
    EXPECT_EQ(session.receivedThrough(expected), expected);

    const RouterState router = session.simulator.snapshot();
    EXPECT_EQ(router.cli, CliState::Password);
    EXPECT_EQ(router.saveCount, 1);
    EXPECT_EQ(router.saved, router.running);
    EXPECT_EQ(router.running.dhcp.mode, DhcpMode::Disabled);
    ASSERT_TRUE(router.running.lan);
    EXPECT_EQ(router.running.lan->network, *parseAddressWithPrefix("172.26.0.1/28"));
    ASSERT_TRUE(router.running.vc);
    EXPECT_TRUE(router.running.vc->enabled);
    EXPECT_TRUE(router.running.vc->natEnabled);
    EXPECT_FALSE(router.running.vc->natDefaultAddress);
    EXPECT_EQ(router.running.vc->remote, *parseAddressWithPrefix("192.0.2.2/26"));
    EXPECT_EQ(router.running.vc->localAddress, *parseIpv4("192.0.2.10"));
    const std::string filter =
        "#filter\rIP:\r1 ACCEPT src-addr=203.0.113.16/28;\r2 REJECT tcp-dst-port=23;\r"
        "3 REJECT tcp-dst-port=80;\r";
    EXPECT_EQ(router.running.filters.at("filtro"), filter);
    EXPECT_EQ(router.running.atm1InputFilter, "filtro");
    EXPECT_EQ(router.running.eth1InputFilter, "");

    EXPECT_EQ(session.routerSession.KeepTrying, 1);
    EXPECT_TRUE(session.frontend.messages.empty());
    EXPECT_EQ(session.frontend.busyDepth, 0);
    // The status shows the replies of OK, never the lines sent.
    for (const std::string& status : session.frontend.statusTexts) {
        EXPECT_NE(status, line("save all"));
    }

    // A real round trip: the next connection reads the DHCP server as DISABLED.
    ScriptedFrontend connectView;
    EXPECT_EQ(RunConnectionProcedure(session.routerSession, connectView).ending, Ending::Done);
    EXPECT_EQ(session.routerSession.MultiPcActive, 1);
    EXPECT_EQ(session.routerSession.SinglePcActive, 0);

    // And back: single-PC restores a router that the next connection sees as single-PC.
    ScriptedFrontend singleView;
    EXPECT_EQ(RunSinglePcSwitch(session.routerSession, singleView, {}).ending, Ending::Done);
    const RouterState back = session.simulator.snapshot();
    EXPECT_EQ(back.running.dhcp.mode, DhcpMode::Server);
    EXPECT_EQ(back.running.lan->network, *parseAddressWithPrefix("192.0.2.1/26"));
    EXPECT_EQ(back.running.vc->localAddress, *parseIpv4("10.1.1.1"));
    EXPECT_EQ(back.running.atm1InputFilter, "");
    EXPECT_EQ(RunConnectionProcedure(session.routerSession, connectView).ending, Ending::Done);
    EXPECT_EQ(session.routerSession.SinglePcActive, 1);
}

TEST_F(MultiPcSwitch, DefaultStationOtherThanNoneIsSent) {
    EXPECT_EQ(runOk({"172.26.0.1", "255.255.255.240", "0.0.0.1"}), Ending::Done);
    const std::string expected = okBytes(line("set vc internet nat default_address 0.0.0.1"));
    EXPECT_EQ(session.receivedThrough(expected), expected);
    const RouterState router = session.simulator.snapshot();
    ASSERT_TRUE(router.running.vc->natDefaultAddress);
    EXPECT_EQ(*router.running.vc->natDefaultAddress, *parseIpv4("0.0.0.1"));
}

TEST_F(MultiPcSwitch, ManagementSubnetDefaultsWhenTheCatalogueNamesNone) {
    session.settings.catalogue[CatalogueKey::FILTER_MANAGEMENT_SUBNET].clear();
    EXPECT_EQ(runOk(), Ending::Done);
    const std::string expected = okBytes({}, kDefaultFilterManagementSubnet);
    EXPECT_EQ(session.receivedThrough(expected), expected);
    EXPECT_NE(session.simulator.snapshot().running.filters.at("filtro").find(
                  "1 ACCEPT src-addr=198.51.100.16/28;\r"),
              std::string::npos);
}

TEST_F(MultiPcSwitch, ClosedPortIsReportedAtOpeningAndAtOk) {
    session.routerSession.RouterPort.reset();
    EXPECT_EQ(open(), "");
    EXPECT_EQ(runOk(), Ending::PortClosed);
    ASSERT_EQ(session.frontend.messages.size(), 2u);
    for (const auto& message : session.frontend.messages) {
        EXPECT_EQ(message.text, kPortClosedText);
        EXPECT_EQ(message.caption, "Error");
    }
    EXPECT_EQ(session.routerSession.KeepTrying, 1);
    EXPECT_EQ(session.receivedThrough("\r", 200ms), "");
}

class MultiPcSwitchWithPassword : public MultiPcSwitch {
protected:
    MultiPcSwitchWithPassword()
        : MultiPcSwitch([] {
              SimulatorOptions options;
              options.password = "secreto";
              return options;
          }()) {}
};

TEST_F(MultiPcSwitchWithPassword, CancelledPasswordSkipsAllConfiguration) {
    const RouterState before = session.simulator.snapshot();
    EXPECT_EQ(runOk(), Ending::LoginFailed);
    EXPECT_EQ(session.routerSession.KeepTrying, 0);
    EXPECT_EQ(session.frontend.passwordPrompts, 1);
    EXPECT_TRUE(session.frontend.messages.empty());
    EXPECT_EQ(session.receivedThrough("\rpelnotra\r\r"), "\rpelnotra\r\r");
    expectRouterUntouched(before);
}

TEST_F(MultiPcSwitchWithPassword, TypedPasswordLogsIn) {
    session.frontend.passwords.push_back("secreto");
    EXPECT_EQ(runOk(), Ending::Done);
    EXPECT_EQ(session.simulator.snapshot().running.dhcp.mode, DhcpMode::Disabled);
    EXPECT_NE(session.receivedThrough("exit \r\n").find("secreto\r\n"), std::string::npos);
}

class MultiPcSwitchSilent : public MultiPcSwitch {
protected:
    MultiPcSwitchSilent()
        : MultiPcSwitch([] {
              SimulatorOptions options;
              options.silent = true;
              return options;
          }()) {}
};

TEST_F(MultiPcSwitchSilent, OpeningAndOkGiveUpWithAMessage) {
    session.settings.PromptWaitLimit = 1s;
    EXPECT_EQ(open(), "");
    EXPECT_EQ(session.routerSession.KeepTrying, 1);
    EXPECT_EQ(runOk(), Ending::NoAnswer);
    ASSERT_EQ(session.frontend.messages.size(), 2u);
    for (const auto& message : session.frontend.messages) {
        EXPECT_EQ(message.text, kRouterSilentText);
        EXPECT_EQ(message.caption, "Error");
    }
    const std::string received = session.simulator.received();
    EXPECT_EQ(received.find_first_not_of('\r'), std::string::npos);
    EXPECT_EQ(session.frontend.busyDepth, 0);
}

class MultiPcSwitchHangUp : public MultiPcSwitch {
protected:
    // Replies: the refused empty password, the accepted one, two nudges, the
    // "set adsl" answer, then the DHCP listing, cut off in its middle.
    MultiPcSwitchHangUp()
        : MultiPcSwitch([] {
              SimulatorOptions options;
              options.hangupAfter = 6;
              return options;
          }()) {}
};

TEST_F(MultiPcSwitchHangUp, LineLostDuringTheListingStopsBeforeConfiguring) {
    session.settings.PromptWaitLimit = 1s;
    const RouterState before = session.simulator.snapshot();
    EXPECT_EQ(runOk(), Ending::LineLost);
    EXPECT_TRUE(session.simulator.hungUp());
    const std::string received = session.simulator.received();
    EXPECT_EQ(
        received.rfind(
            std::string(kLoginBytes) + line("set adsl open ansi") + line("show dhcp server"), 0),
        0u)
        << received;
    EXPECT_EQ(received.find("disable"), std::string::npos);
    ASSERT_EQ(session.frontend.messages.size(), 1u);
    EXPECT_EQ(session.frontend.messages[0].text, LineLostText("COM1:"));
    expectRouterUntouched(before);
}

// Listings the simulator never prints, from a scripted router that is logged in.
std::string dhcpListing(bool withStart, bool disabled = false) {
    std::string text = disabled ? "DHCP Server: DISABLED\r\n" : "DHCP Server: ENABLED\r\n";
    text += Labelled("IP Router:", 19, "10.0.0.9");
    text += Labelled("IP Mask:", 19, "255.255.255.248");
    if (withStart) text += Labelled("Start IP Address:", 19, "10.0.0.12");
    return text;
}

// A scripted router that takes every line of a switch: its DHCP server is
// listed by `dhcp`, told whether it was disabled, and its circuit with the
// addresses last set (short, as some routers print them).
ScriptedRouter::Listing takingRouter(std::function<std::string(bool disabled)> dhcp) {
    struct Circuit {
        bool disabled = false;
        std::string local;
        std::string remote;
    };
    auto circuit = std::make_shared<Circuit>();
    return [circuit, dhcp](const std::string& sent) {
        const auto valueOf = [&](std::string_view command) -> std::optional<std::string> {
            if (!sent.starts_with(command)) return std::nullopt;
            return sent.substr(command.size());
        };
        if (sent == "set dhcp mode disable") circuit->disabled = true;
        if (auto local = valueOf("set vc internet local_ip_address ")) circuit->local = *local;
        if (auto remote = valueOf("set vc internet remote_ip_address ")) circuit->remote = *remote;
        if (sent == "show dhcp server") return dhcp(circuit->disabled);
        if (sent == "show vc internet") {
            return Labelled("Local IP Address:", 43, circuit->local) +
                   Labelled("Remote IP Address:", 43, circuit->remote);
        }
        return std::string();
    };
}

TEST(MultiPcSwitchListing, ShortAddressesAreCutAtTheLineEnd) {
    ScriptedRouter router(takingRouter([](bool disabled) { return dhcpListing(true, disabled); }));
    ScriptedSession scripted(router);
    ScriptedFrontend& view = scripted.frontend;
    EXPECT_EQ(RunMultiPcSwitch(scripted.session, view, {}).ending, Ending::Done);

    // The router's CR LF after each short address stays out of the lines sent.
    const std::string received = router.receivedThrough(line("exit"));
    EXPECT_NE(received.find(line("set vc internet remote_ip_address 10.0.0.10/255.255.255.248")),
              std::string::npos)
        << received;
    EXPECT_NE(received.find(line("set vc internet local_ip_address 10.0.0.12")), std::string::npos);
    EXPECT_EQ(received.find("\r\n \r\n"), std::string::npos);
}

TEST(MultiPcSwitchListing, MissingLabelStopsBeforeConfiguringAndLeavesTheCommandLine) {
    ScriptedRouter router([](const std::string& sent) {
        return sent == "show dhcp server" ? dhcpListing(false) : std::string();
    });
    ScriptedSession scripted(router);
    ScriptedFrontend& view = scripted.frontend;
    EXPECT_EQ(RunMultiPcSwitch(scripted.session, view, {}).ending, Ending::ListingIncomplete);

    // Already logged in: one drain and one nudge, the listing, then only the exit.
    EXPECT_EQ(router.receivedThrough(line("exit")), "\r\r" + listingBytes() + line("exit"));
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].text, MissingLabelText("Start IP Address:"));
    EXPECT_EQ(view.messages[0].caption, "Error");
    EXPECT_EQ(view.busyDepth, 0);
}

TEST(MultiPcSwitchListing, ValuesOfAnEarlierRunAreNotReused) {
    // Only the first listing, and the read-back after it, show the start.
    int listings = 0;
    ScriptedRouter router(takingRouter(
        [&listings](bool disabled) { return dhcpListing(++listings <= 2, disabled); }));
    ScriptedSession scripted(router);
    ScriptedFrontend& view = scripted.frontend;
    EXPECT_EQ(RunMultiPcSwitch(scripted.session, view, {}).ending, Ending::Done);
    EXPECT_EQ(RunMultiPcSwitch(scripted.session, view, {}).ending, Ending::ListingIncomplete);
}

}  // namespace
}  // namespace cofralin
