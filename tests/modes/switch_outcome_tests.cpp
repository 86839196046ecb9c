// How both switches end when the router refuses a line or goes away in the
// middle of the configuration: the read-back names what was not taken and the
// command line is still left; a switch cut off half-way says so and sends
// nothing more.

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "mode_test_support.h"
#include "multi_pc.h"
#include "single_pc.h"

namespace cofralin {
namespace {

using namespace std::chrono_literals;
using testing::ConfigureRouter;
using testing::line;
using testing::ReadBackBytes;
using testing::SimulatorSession;

enum class Switch { SinglePc, MultiPc };

SimulatorOptions routerFor(Switch which) {
    SimulatorOptions options;
    options.mode = which == Switch::SinglePc ? StartMode::MultiPc : StartMode::SinglePc;
    return options;
}

Ending runSwitch(Switch which, SimulatorSession& session) {
    if (which == Switch::SinglePc) {
        return RunSinglePcSwitch(session.routerSession, session.frontend, {}).ending;
    }
    return RunMultiPcSwitch(session.routerSession, session.frontend, {}).ending;
}

// A router that refuses a line of the switch, whichever: the refusal is
// named, nothing more is configured, the command line is left and the
// switch does not count.
TEST(SwitchRefusals, ALineTheRouterRefusedIsNamedAndNothingMoreIsSent) {
    const std::string singleEnd = line("save all") + "\r\r" + line("exit");
    const std::string multiFirstEnd =
        line("set vc internet local_ip_address 192.000.002.010") + "\r\r" + line("exit");
    const struct Case {
        Switch which;
        // Brings the router into a state where one line of the switch is refused.
        std::initializer_list<std::string_view> setUp;
        // Or has it refuse a line outright.
        std::string answered;
        std::string refusedLine;
        std::string message;
        std::string end;  // the last lines the router gets
    } cases[] = {
        // The circuit's local address, the pool start of single-PC mode, lies
        // outside the LAN that the switch gives the DHCP server.
        {Switch::SinglePc,
         {"set vc internet local_ip_address 192.0.3.10"},
         {},
         line("set dhcp server start_address 192.000.003.010"),
         "El Router no aceptó la dirección inicial del servidor DHCP (192.000.003.010).",
         singleEnd},
        // The pool start, the circuit's local address of multi-PC mode, is the
        // broadcast address of the circuit's remote subnet.
        {Switch::MultiPc,
         {"delete ip network lan", "set dhcp server start_address 192.0.2.63",
          "add ip network lan address 192.0.2.1/26 enable yes"},
         {},
         line("set vc internet local_ip_address 192.000.002.063"),
         "El Router no aceptó la dirección local del circuito (192.000.002.063).",
         line("set vc internet local_ip_address 192.000.002.063") + "\r\r" + line("exit")},
        // Settings no listing shows.
        {Switch::SinglePc,
         {},
         "save all",
         line("save all"),
         "El Router no aceptó guardar la configuración (save all).",
         singleEnd},
        {Switch::SinglePc,
         {},
         "set vc internet option default_route",
         line("set vc internet option default_route enable"),
         "El Router no aceptó la ruta por defecto (set vc internet option default_route "
         "enable).",
         singleEnd},
        {Switch::MultiPc,
         {},
         "set vc internet option nat",
         line("set vc internet option nat enable"),
         "El Router no aceptó la traducción de direcciones (NAT) (set vc internet option nat "
         "enable).",
         singleEnd},
        // The filter not added cannot be attached either: both are named.
        {Switch::MultiPc,
         {},
         "add filter",
         "add filter filtro\r\n",
         "El Router no aceptó el filtro de entrada (add filter filtro).\n"
         "El Router no aceptó el filtro de entrada (set interface atm:1 input_filter filtro).",
         singleEnd},
        {Switch::MultiPc,
         {},
         "add ip network lan",
         line("add ip network lan address 172.26.0.1/255.255.255.240 enable yes"),
         "El Router no aceptó la red local (172.26.0.1/255.255.255.240 enable yes).",
         multiFirstEnd},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.refusedLine);
        SimulatorOptions router = routerFor(c.which);
        if (!c.answered.empty()) router.answers = {{c.answered, "Error: no admitido"}};
        SimulatorSession session(router);
        ASSERT_TRUE(session.start());
        const std::size_t start = ConfigureRouter(session, c.setUp);

        EXPECT_EQ(runSwitch(c.which, session), Ending::NotAccepted);

        // The refused line went out; its batch was answered, the command line
        // left, and nothing went out after that.
        const std::string received = session.receivedThrough(c.end).substr(start);
        EXPECT_NE(received.find(c.refusedLine), std::string::npos) << received;
        EXPECT_TRUE(received.ends_with(c.end)) << received;
        EXPECT_EQ(session.receivedThrough("never", 150ms).substr(start), received);
        EXPECT_EQ(session.simulator.snapshot().cli, CliState::Password);

        ASSERT_EQ(session.frontend.messages.size(), 1u);
        EXPECT_EQ(session.frontend.messages[0].caption, "Error");
        EXPECT_EQ(session.frontend.messages[0].text,
                  c.message + "\n" + std::string(kSwitchNotDoneHalfText));
        EXPECT_EQ(session.frontend.busyDepth, 0);
    }
}

// A value a listing gives goes into a command line only once it has passed
// the checks a typed value passes; otherwise the switch stops before its
// first configuration line and names the listing and the value.
TEST(SwitchListings, AValueNoSettingMayTakeStopsTheSwitchBeforeAnyConfiguration) {
    const struct Case {
        Switch which;
        std::string label;
        std::string value;
        std::string listing;
    } cases[] = {
        {Switch::SinglePc, "Local IP Address:", "999.001.001.001", "show vc internet"},
        {Switch::SinglePc, "Local IP Address:", "\x1b[2J\x15", "show vc internet"},
        {Switch::SinglePc, "Local IP Address:", "192.000.002", "show vc internet"},
        {Switch::SinglePc, "Remote IP Address:", "192.0.2.2\t/26", "show vc internet"},
        {Switch::SinglePc, "Remote IP Address:", "0300.0.2.2/26", "show vc internet"},
        {Switch::MultiPc, "IP Mask:", "255.000.255.000", "show dhcp server"},
        {Switch::MultiPc, "Start IP Address:", "192.0.2.\x1b", "show dhcp server"},
        {Switch::MultiPc, "IP Router:", "192.0.2.256", "show dhcp server"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label + " " + c.value);
        SimulatorOptions router = routerFor(c.which);
        router.listedValues = {{c.label, c.value}};
        SimulatorSession session(router);
        ASSERT_TRUE(session.start());
        const RouterState before = session.simulator.snapshot();

        EXPECT_EQ(runSwitch(c.which, session), Ending::ListingIncomplete);

        // Logged in, listed, and left: not one configuration line.
        const std::string received = session.receivedThrough(line("exit"));
        EXPECT_TRUE(received.ends_with(line(c.listing) + "\r\r" + line("exit"))) << received;
        ASSERT_EQ(session.frontend.messages.size(), 1u);
        EXPECT_EQ(session.frontend.messages[0].text, ListedValueText(c.listing, c.label, c.value));
        const RouterState after = session.simulator.snapshot();
        EXPECT_EQ(after.running, before.running);
        EXPECT_EQ(after.saveCount, 0);
    }
}

TEST(SwitchReadBack, ARouterLostHalfWayLeavesTheModeUnknownAndGetsNothingMore) {
    for (const Switch which : {Switch::SinglePc, Switch::MultiPc}) {
        SCOPED_TRACE(which == Switch::SinglePc ? "single-PC" : "multi-PC");
        SimulatorOptions options = routerFor(which);
        // The line lost in the answer to the second configuration line.
        options.hangupAfter = 10;
        SimulatorSession session(options);
        ASSERT_TRUE(session.start());
        session.settings.PromptWaitLimit = 1s;

        EXPECT_EQ(runSwitch(which, session), Ending::HalfConfigured);

        EXPECT_TRUE(session.simulator.hungUp());
        const std::string received = session.simulator.received();
        EXPECT_NE(received.find(line("delete ip network lan")), std::string::npos) << received;
        EXPECT_EQ(received.find("exit"), std::string::npos) << received;
        ASSERT_EQ(session.frontend.messages.size(), 1u);
        EXPECT_EQ(session.frontend.messages[0].text,
                  LineLostText("COM1:") + "\n" + std::string(kHalfConfiguredText));
        EXPECT_EQ(session.frontend.busyDepth, 0);
    }
}

}  // namespace
}  // namespace cofralin
