// Refresh, add and delete against the simulated router over a pseudo-terminal:
// the exact bytes the router received, its tables afterwards and the lists.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "mapping_lists.h"
#include "port_mappings.h"
#include "simulator_session.h"

namespace cofralin {
namespace {

using namespace std::chrono_literals;
using testing::Answer;
using testing::Buttons;
using testing::MappingListsFrontend;
using testing::SimulatorSession;
using Entries = std::vector<std::string>;

// What EnsureLogin sends to a logged-out router that takes the built-in
// password: a nudge, the password, and the nudges until a bare prompt.
constexpr std::string_view kLoginBytes = "\rpelnotra\r\r\r";

std::string line(std::string_view text) { return std::string(text) + " \r\n"; }

// A refresh on a logged-out router: login, listing, one nudge after the
// listing's reply and one after the bare prompt, then the exit.
std::string refreshBytes() {
    return std::string(kLoginBytes) + line("show vc internet") + "\r\r" + line("exit");
}

NatMapping mapping(NatProtocol protocol, std::uint16_t publicPort, const char* address,
                   std::uint16_t privatePort) {
    return {protocol, publicPort, *parseIpv4(address), privatePort};
}

SimulatorOptions withMappings() {
    SimulatorOptions options;
    options.mode = StartMode::MultiPc;
    options.mappings = {mapping(NatProtocol::Udp, 5060, "192.168.1.10", 5060),
                        mapping(NatProtocol::Udp, 53, "192.168.1.11", 53),
                        mapping(NatProtocol::Tcp, 80, "192.168.1.20", 8080)};
    return options;
}

std::vector<NatMapping> mappingsOf(const RouterConfig& config) {
    return config.vc ? config.vc->mappings : std::vector<NatMapping>{};
}

class PortMappings : public ::testing::Test {
protected:
    explicit PortMappings(SimulatorOptions options = withMappings()) : session(options) {}

    void SetUp() override { ASSERT_TRUE(session.start()); }

    // The dialog's opening: the typed texts start afresh and the lists are read.
    Ending open() {
        texts = PortMappingTexts{};
        const Ending outcome = view.refresh(session.routerSession);
        opened = session.receivedThrough("exit \r\n");
        initial = session.simulator.snapshot().running;
        return outcome;
    }
    // What the router received after the opening, once `expected` has arrived
    // (or after the wait when it never does).
    std::string sentAfterOpening(const std::string& expected) {
        const std::string all = session.receivedThrough(expected);
        EXPECT_EQ(all.compare(0, opened.size(), opened), 0) << "the opening's bytes changed";
        return all.substr(std::min(opened.size(), all.size()));
    }
    // Nothing more reaches the router after the opening.
    void expectNothingSent() {
        std::this_thread::sleep_for(150ms);
        EXPECT_EQ(session.simulator.received(), opened);
    }

    SimulatorSession session;
    MappingListsFrontend view;
    PortMappingTexts texts;
    std::string opened;
    RouterConfig initial;
};

TEST_F(PortMappings, OpeningListsBothTablesSortedWithTabs) {
    EXPECT_EQ(open(), Ending::Done);
    EXPECT_EQ(opened, refreshBytes());
    // The router prints each field right-aligned after a blank run, so every
    // entry starts with one blank.
    EXPECT_EQ(view.lists[TrafficType::Udp],
              (Entries{" 5060\t192.168.001.010\t5060", " 53\t192.168.001.011\t53"}));
    EXPECT_EQ(view.lists[TrafficType::Tcp], (Entries{" 80\t192.168.001.020\t8080"}));
    EXPECT_EQ(view.listClears, 1);
    EXPECT_EQ(view.lastStatus(), "\r\nZarn-DSL>");
    EXPECT_EQ(session.routerSession.KeepTrying, 1);
    EXPECT_TRUE(view.messages.empty());
}

TEST_F(PortMappings, AddUdpSendsTheMappingWithItsSaveAndRefreshes) {
    ASSERT_EQ(open(), Ending::Done);
    view.chooseUdp();
    texts.PublicPortText = "6000";
    texts.PrivatePortText = "6001";
    texts.PrivateAddressText = "192.168.1.30";

    EXPECT_EQ(view.add(session.routerSession, texts), Ending::Done);

    const std::string expected =
        std::string(kLoginBytes) + line("set adsl open ansi") + line("disable vc internet") +
        line(
            "add nat udp vc internet public_port 6000 private_address 192.168.1.30 "
            "private_port 6001") +
        line("enable vc internet") + line("save all") + "\r\r" + line("exit") + refreshBytes();
    EXPECT_EQ(sentAfterOpening(expected), expected);
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].text,
              "Se dispone a añadir el puerto UDP público 6000\n¿Está seguro?");
    EXPECT_EQ(view.messages[0].caption, "Añadir Puertos");
    EXPECT_EQ(view.messages[0].buttons, Buttons::YesNo);

    const RouterState router = session.simulator.snapshot();
    const NatMapping added = mapping(NatProtocol::Udp, 6000, "192.168.1.30", 6001);
    const std::vector<NatMapping> saved = mappingsOf(router.saved);
    EXPECT_NE(std::find(saved.begin(), saved.end(), added), saved.end());
    ASSERT_TRUE(router.running.vc);
    EXPECT_TRUE(router.running.vc->enabled);
    EXPECT_EQ(view.lists[TrafficType::Udp],
              (Entries{" 5060\t192.168.001.010\t5060", " 53\t192.168.001.011\t53",
                       " 6000\t192.168.001.030\t6001"}));
    EXPECT_EQ(view.busyCalls, (std::vector<bool>{true, false}));
}

TEST_F(PortMappings, AnAddTheRouterRefusesIsToldAndNotDone) {
    ASSERT_EQ(open(), Ending::Done);
    view.chooseUdp();
    // The public port is taken: the router keeps the mapping it has.
    texts.PublicPortText = "5060";
    texts.PrivatePortText = "6001";
    texts.PrivateAddressText = "192.168.1.30";

    EXPECT_EQ(view.add(session.routerSession, texts), Ending::NotAccepted);

    const std::string expected =
        std::string(kLoginBytes) + line("set adsl open ansi") + line("disable vc internet") +
        line(
            "add nat udp vc internet public_port 5060 private_address 192.168.1.30 "
            "private_port 6001") +
        line("enable vc internet") + line("save all") + "\r\r" + line("exit") + refreshBytes();
    EXPECT_EQ(sentAfterOpening(expected), expected);
    ASSERT_EQ(view.messages.size(), 2u);
    EXPECT_EQ(view.messages[1].text, "El Router no aceptó añadir el puerto UDP público 5060.");
    EXPECT_EQ(view.messages[1].caption, "Error");
    EXPECT_EQ(view.lists[TrafficType::Udp],
              (Entries{" 5060\t192.168.001.010\t5060", " 53\t192.168.001.011\t53"}));
    EXPECT_EQ(view.busyCalls, (std::vector<bool>{true, false}));
}

TEST_F(PortMappings, AddTcpUsesTheTcpTemplateAndQuestion) {
    ASSERT_EQ(open(), Ending::Done);
    view.chooseTcp();
    texts.PublicPortText = "443";
    texts.PrivatePortText = "8443";
    texts.PrivateAddressText = "192.168.1.21";

    EXPECT_EQ(view.add(session.routerSession, texts), Ending::Done);

    const std::string expected =
        std::string(kLoginBytes) + line("set adsl open ansi") + line("disable vc internet") +
        line(
            "add nat tcp vc internet public_port 443 private_address 192.168.1.21 "
            "private_port 8443") +
        line("enable vc internet") + line("save all") + "\r\r" + line("exit") + refreshBytes();
    EXPECT_EQ(sentAfterOpening(expected), expected);
    EXPECT_EQ(view.messages.at(0).text,
              "Se dispone a añadir el puerto TCP público 443\n¿Está seguro?");
    const std::vector<NatMapping> saved = mappingsOf(session.simulator.snapshot().saved);
    EXPECT_NE(
        std::find(saved.begin(), saved.end(), mapping(NatProtocol::Tcp, 443, "192.168.1.21", 8443)),
        saved.end());
    EXPECT_EQ(view.lists[TrafficType::Tcp],
              (Entries{" 443\t192.168.001.021\t8443", " 80\t192.168.001.020\t8080"}));
}

TEST_F(PortMappings, EmptyPrivatePortStandsForThePublicPortOfEachAddOnly) {
    ASSERT_EQ(open(), Ending::Done);
    view.chooseUdp();
    texts.PrivateAddressText = "192.168.1.40";
    texts.PublicPortText = "7000";
    ASSERT_EQ(view.add(session.routerSession, texts), Ending::Done);
    // A second add in the same opening: a new public port, the private port
    // still left empty.
    texts.PublicPortText = "7100";
    ASSERT_EQ(view.add(session.routerSession, texts), Ending::Done);

    auto addBytes = [](std::string_view port) {
        return std::string(kLoginBytes) + line("set adsl open ansi") + line("disable vc internet") +
               line("add nat udp vc internet public_port " + std::string(port) +
                    " private_address 192.168.1.40 private_port " + std::string(port)) +
               line("enable vc internet") + line("save all") + "\r\r" + line("exit") +
               refreshBytes();
    };
    const std::string expected = addBytes("7000") + addBytes("7100");
    EXPECT_EQ(sentAfterOpening(expected), expected);
    EXPECT_EQ(texts.PrivatePortText, "");
    const std::vector<NatMapping> saved = mappingsOf(session.simulator.snapshot().saved);
    EXPECT_NE(std::find(saved.begin(), saved.end(),
                        mapping(NatProtocol::Udp, 7100, "192.168.1.40", 7100)),
              saved.end());
}

TEST_F(PortMappings, MissingAddressAndPortAreToldAddressFirstAndNothingIsSent) {
    ASSERT_EQ(open(), Ending::Done);
    view.chooseUdp();

    EXPECT_EQ(view.add(session.routerSession, texts), Ending::InvalidValue);
    ASSERT_EQ(view.messages.size(), 2u);
    EXPECT_EQ(view.messages[0].text, "No se indicó la dirección privada");
    EXPECT_EQ(view.messages[1].text, "No se indicó el puerto público");
    for (const auto& message : view.messages) {
        EXPECT_EQ(message.caption, "Error");
        EXPECT_EQ(message.buttons, Buttons::Ok);
    }

    texts.PublicPortText = "6000";
    EXPECT_EQ(view.add(session.routerSession, texts), Ending::InvalidValue);
    texts.PublicPortText.clear();
    texts.PrivateAddressText = "192.168.1.30";
    EXPECT_EQ(view.add(session.routerSession, texts), Ending::InvalidValue);
    ASSERT_EQ(view.messages.size(), 4u);
    EXPECT_EQ(view.messages[2].text, "No se indicó la dirección privada");
    EXPECT_EQ(view.messages[3].text, "No se indicó el puerto público");

    expectNothingSent();
    EXPECT_FALSE(view.everBusy);
}

TEST_F(PortMappings, NoToEitherQuestionSendsNothingAndKeepsTheLists) {
    ASSERT_EQ(open(), Ending::Done);
    const auto listsBefore = view.lists;
    view.chooseUdp();
    texts.PublicPortText = "6000";
    texts.PrivateAddressText = "192.168.1.30";
    view.answers = {Answer::No, Answer::No};

    EXPECT_EQ(view.add(session.routerSession, texts), Ending::NotConfirmed);
    ASSERT_TRUE(view.select(TrafficType::Udp, " 5060\t192.168.001.010\t5060"));
    EXPECT_EQ(view.remove(session.routerSession), Ending::NotConfirmed);

    expectNothingSent();
    EXPECT_EQ(view.lists, listsBefore);
    EXPECT_EQ(view.messages.size(), 2u);
    EXPECT_FALSE(view.everBusy);
    EXPECT_EQ(session.simulator.snapshot().running, initial);
}

TEST_F(PortMappings, DeleteFromTheUdpListSendsTheBlankFromTheEntryAndABlankLine) {
    ASSERT_EQ(open(), Ending::Done);
    view.chooseUdp();
    ASSERT_TRUE(view.select(TrafficType::Udp, " 5060\t192.168.001.010\t5060"));

    EXPECT_EQ(view.remove(session.routerSession), Ending::Done);

    // The router is still logged in for the refresh: its log-in takes one nudge.
    const std::string expected = std::string(kLoginBytes) + line("disable vc internet") +
                                 "delete nat udp vc internet public_port  5060\r\n \r\n" +
                                 line("enable vc internet") + line("save all") + "\r\r" + "\r" +
                                 line("show vc internet") + "\r\r" + line("exit");
    EXPECT_EQ(sentAfterOpening(expected), expected);
    ASSERT_EQ(view.messages.size(), 1u);
    // The entry's leading blank stays with the port: two blanks before it.
    EXPECT_EQ(view.messages[0].text,
              "Se dispone a eliminar el puerto UDP público  5060\n¿Está seguro?");
    EXPECT_EQ(view.messages[0].caption, "Eliminar Puertos");
    const std::vector<NatMapping> saved = mappingsOf(session.simulator.snapshot().saved);
    EXPECT_EQ(saved,
              (std::vector<NatMapping>{mapping(NatProtocol::Udp, 53, "192.168.1.11", 53),
                                       mapping(NatProtocol::Tcp, 80, "192.168.1.20", 8080)}));
    EXPECT_EQ(view.lists[TrafficType::Udp], (Entries{" 53\t192.168.001.011\t53"}));
    EXPECT_EQ(view.busyCalls, (std::vector<bool>{true, false}));
}

TEST_F(PortMappings, DeleteFromTheTcpList) {
    ASSERT_EQ(open(), Ending::Done);
    view.chooseTcp();
    ASSERT_TRUE(view.select(TrafficType::Tcp, " 80\t192.168.001.020\t8080"));

    EXPECT_EQ(view.remove(session.routerSession), Ending::Done);

    // The router is still logged in for the refresh: its log-in takes one nudge.
    const std::string expected = std::string(kLoginBytes) + line("disable vc internet") +
                                 "delete nat tcp vc internet public_port  80\r\n \r\n" +
                                 line("enable vc internet") + line("save all") + "\r\r" + "\r" +
                                 line("show vc internet") + "\r\r" + line("exit");
    EXPECT_EQ(sentAfterOpening(expected), expected);
    EXPECT_EQ(view.messages.at(0).text,
              "Se dispone a eliminar el puerto TCP público  80\n¿Está seguro?");
    EXPECT_TRUE(view.lists[TrafficType::Tcp].empty());
    const std::vector<NatMapping> saved = mappingsOf(session.simulator.snapshot().saved);
    EXPECT_EQ(std::count_if(saved.begin(), saved.end(),
                            [](const NatMapping& m) { return m.protocol == NatProtocol::Tcp; }),
              0);
}

TEST_F(PortMappings, DeleteWithNothingSelectedSendsNothing) {
    ASSERT_EQ(open(), Ending::Done);
    view.chooseUdp();
    EXPECT_EQ(view.remove(session.routerSession), std::nullopt);
    EXPECT_TRUE(view.messages.empty());
    expectNothingSent();
}

class PortMappingsWrongPassword : public PortMappings {
protected:
    static SimulatorOptions options() {
        SimulatorOptions options = withMappings();
        options.password = "secreto";
        return options;
    }
    PortMappingsWrongPassword() : PortMappings(options()) {}
};

TEST_F(PortMappingsWrongPassword, CancelledPromptLeavesTheListsEmpty) {
    // The built-in password is refused; the prompt is then cancelled.
    EXPECT_EQ(open(), Ending::LoginFailed);
    EXPECT_EQ(view.passwordPrompts, 1);
    EXPECT_EQ(session.routerSession.KeepTrying, 0);
    EXPECT_TRUE(view.lists[TrafficType::Udp].empty());
    EXPECT_TRUE(view.lists[TrafficType::Tcp].empty());
    EXPECT_EQ(session.simulator.received().find("show vc internet"), std::string::npos);
}

TEST_F(PortMappingsWrongPassword, AddAfterACancelledPromptLogsInAfreshAndAdds) {
    texts = PortMappingTexts{};
    session.routerSession.UserPassword = "anterior\r\n";
    ASSERT_EQ(view.refresh(session.routerSession), Ending::LoginFailed);
    // The cancelled pass sent no password, not even the one typed before.
    opened = session.receivedThrough("pelnotra\r\r");
    ASSERT_EQ(session.receivedThrough("never", 150ms), "\rpelnotra\r\r");
    view.chooseUdp();
    texts.PublicPortText = "6000";
    texts.PrivateAddressText = "192.168.1.30";
    // One password for the add's log-in, one for its refresh after the exit.
    view.passwords = {std::string("secreto"), std::string("secreto")};

    EXPECT_EQ(view.add(session.routerSession, texts), Ending::Done);

    const std::string add = line(
        "add nat udp vc internet public_port 6000 private_address 192.168.1.30 private_port 6000");
    const std::string sent = sentAfterOpening("show vc internet \r\n\r\rexit \r\n");
    // The add logs in anew, the built-in password first, then the typed one.
    EXPECT_EQ(sent.rfind("pelnotra\rsecreto\r\n", 0), 0u) << sent;
    EXPECT_NE(sent.find(add), std::string::npos) << sent;
    EXPECT_EQ(view.passwordPrompts, 3);
    const std::vector<NatMapping> saved = mappingsOf(session.simulator.snapshot().saved);
    EXPECT_NE(std::find(saved.begin(), saved.end(),
                        mapping(NatProtocol::Udp, 6000, "192.168.1.30", 6000)),
              saved.end());
    EXPECT_EQ(view.lists[TrafficType::Udp].size(), 3u);
}

TEST_F(PortMappingsWrongPassword, DeleteWithACancelledPromptStopsWithoutRefresh) {
    view.passwords = {std::string("secreto")};
    ASSERT_EQ(open(), Ending::Done);
    view.chooseUdp();
    ASSERT_TRUE(view.select(TrafficType::Udp, " 53\t192.168.001.011\t53"));
    const int clearsBefore = view.listClears;

    EXPECT_EQ(view.remove(session.routerSession), Ending::LoginFailed);

    std::this_thread::sleep_for(150ms);
    const std::string sent = session.simulator.received().substr(opened.size());
    EXPECT_EQ(sent.find("delete nat"), std::string::npos);
    EXPECT_EQ(sent.find("show vc internet"), std::string::npos);
    EXPECT_EQ(view.listClears, clearsBefore);
    EXPECT_EQ(session.routerSession.KeepTrying, 0);
    EXPECT_EQ(view.busyCalls, (std::vector<bool>{true, false}));
}

TEST(PortMappingsClosedPort, RefreshAndAddTellTheUserAndDeleteOnce) {
    Settings settings;
    RouterSession state(settings);
    MappingListsFrontend view;
    EXPECT_EQ(view.refresh(state), Ending::PortClosed);
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].text, "No pudo abrirse el puerto de comunicaciones");
    EXPECT_EQ(view.messages[0].caption, "Error");

    view.chooseTcp();
    PortMappingTexts texts;
    texts.PublicPortText = "80";
    texts.PrivateAddressText = "10.0.0.2";
    view.messages.clear();
    EXPECT_EQ(view.add(state, texts), Ending::PortClosed);
    // The question and the add's own message: no refresh to tell it again.
    ASSERT_EQ(view.messages.size(), 2u);
    EXPECT_EQ(view.messages[1].text, "No pudo abrirse el puerto de comunicaciones");

    view.lists[TrafficType::Tcp] = {"80\t10.0.0.2\t80"};
    ASSERT_TRUE(view.select(TrafficType::Tcp, "80\t10.0.0.2\t80"));
    view.messages.clear();
    const int clearsBefore = view.listClears;
    EXPECT_EQ(view.remove(state), Ending::PortClosed);
    ASSERT_EQ(view.messages.size(), 2u);
    EXPECT_EQ(view.messages[1].text, "No pudo abrirse el puerto de comunicaciones");
    EXPECT_EQ(view.listClears, clearsBefore);
    EXPECT_EQ(view.busyCalls, (std::vector<bool>{true, false, true, false}));
}

TEST(PortMappingsSilentRouter, RefreshGivesUpAndTellsTheUser) {
    SimulatorOptions options = withMappings();
    options.silent = true;
    SimulatorSession session(options);
    ASSERT_TRUE(session.start());
    session.settings.PromptWaitLimit = 1s;
    MappingListsFrontend view;

    EXPECT_EQ(view.refresh(session.routerSession), Ending::NoAnswer);
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].text, "El Router no responde.");
    EXPECT_EQ(view.messages[0].caption, "Error");
    // Only nudges went out: the listing command was never sent.
    const std::string sent = session.simulator.received();
    EXPECT_FALSE(sent.empty());
    EXPECT_EQ(sent.find_first_not_of('\r'), std::string::npos);
}

}  // namespace
}  // namespace cofralin
