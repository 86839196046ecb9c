// "Actualizar Software" against the router simulator: the bytes the router
// received, the messages shown, and the state of button 1005.

#include <gtest/gtest.h>

#include <chrono>
#include <deque>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "chunked_line.h"
#include "login.h"
#include "simulator_session.h"
#include "software_update.h"
#include "stand_in_program.h"

namespace cofralin {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing::Answer;
using testing::Buttons;
using testing::ChunkedLine;
using testing::ReadRecord;
using testing::ScriptedFrontend;
using testing::SimulatorSession;
using testing::TempDir;
using testing::WriteRecorder;
using Strings = std::vector<std::string>;

// Also notes whether the procedure was at work whenever a message was up.
class BusyAtMessages : public ScriptedFrontend {
public:
    std::vector<bool> busyDuringMessages;

    void tell(const Message& message) override {
        busyDuringMessages.push_back(busyDepth > 0);
        ScriptedFrontend::tell(message);
    }
    bool confirm(const Message& question, Answers answers) override {
        busyDuringMessages.push_back(busyDepth > 0);
        return ScriptedFrontend::confirm(question, answers);
    }
};

std::string filled(std::string_view format, const std::string& shipped, const std::string& router) {
    std::string text(format);
    text.replace(text.find("%s"), 2, shipped);
    text.replace(text.find("%s"), 2, router);
    return text;
}

// Logging in from the password state: the nudge, the built-in password, its
// ending nudge, then one more pass to see the bare prompt.
const std::string kLogin =
    "\r"
    "pelnotra"
    "\r"
    "\r"
    "\r";
const std::string kListing =
    "set adsl open ansi \r\n"
    "show system \r\n";
// The drain-first wait for the end of the listing, then leaving the command line.
const std::string kAfterListing = "\r\r";
const std::string kLeave =
    "\r"
    "exit \r\n";

SimulatorOptions routerWithVersion(const std::string& version) {
    SimulatorOptions options;
    options.version = version;
    return options;
}

class SoftwareUpdate : public ::testing::Test {
protected:
    // Runs the procedure once on `session`.
    Ending run(SimulatorSession& session, const ProgramSearch& search = {"/nonexistent", ""}) {
        last = UpdateRouterSoftware(session.routerSession, view, search);
        return last.ending;
    }
    // Every message came while the run worked, and the work is over.
    void expectBusyCycle() {
        for (const bool busy : view.busyDuringMessages) EXPECT_TRUE(busy);
        EXPECT_TRUE(view.everBusy);
        EXPECT_EQ(view.busyDepth, 0);
    }

    BusyAtMessages view;
    Outcome last;
};

TEST_F(SoftwareUpdate, RouterNewerSaysItCannotBeUpdatedAndLeavesTheCommandLine) {
    SimulatorSession session(routerWithVersion("1.6.01"));
    ASSERT_TRUE(session.start());
    EXPECT_EQ(run(session), Ending::Done);

    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].text,
              "La versión actual del software (1.6.00)\nes más antigua que la que tiene instalada "
              "el Router Q73 (1.6.01).\nNo se puede Actualizar.");
    EXPECT_EQ(view.messages[0].caption, "Actualización");
    EXPECT_EQ(view.messages[0].buttons, Buttons::Ok);
    EXPECT_EQ(session.receivedThrough("exit \r\n"), kLogin + kListing + kAfterListing + kLeave);
    const RouterState router = session.simulator.snapshot();
    EXPECT_EQ(router.cli, CliState::Password);
    EXPECT_EQ(router.running.adslStandard, "ansi");
    expectBusyCycle();
}

TEST_F(SoftwareUpdate, SameVersionSaysNoUpdateIsNeeded) {
    SimulatorSession session(routerWithVersion("1.6.00"));
    ASSERT_TRUE(session.start());
    EXPECT_EQ(run(session), Ending::Done);

    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].text,
              "La versión actual del software (1.6.00)\nes la misma que la que tiene instalada el "
              "Router Q73 (1.6.00).\nNo es necesaria la actualización.");
    EXPECT_EQ(view.messages[0].caption, "Actualización");
    EXPECT_EQ(view.messages[0].buttons, Buttons::Ok);
    EXPECT_EQ(session.receivedThrough("exit \r\n"), kLogin + kListing + kAfterListing + kLeave);
    expectBusyCycle();
}

TEST_F(SoftwareUpdate, ShippedNewerCancelledLeavesTheCommandLineAndStartsNothing) {
    SimulatorSession session(routerWithVersion("1.5.09"));
    ASSERT_TRUE(session.start());
    view.answers = {Answer::Cancel};
    EXPECT_EQ(run(session), Ending::Done);

    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].text,
              "La versión actual del software (1.6.00)\nes más nueva que la que tiene instalada el "
              "Router Q73 (1.5.09).\nResponda ACEPTAR y apague y vuelva a encender el Router para "
              "que se produzca la actualización.");
    EXPECT_EQ(view.messages[0].caption, "Actualización");
    EXPECT_EQ(view.messages[0].buttons, Buttons::OkCancel);
    EXPECT_EQ(session.receivedThrough("exit \r\n"), kLogin + kListing + kAfterListing + kLeave);
    EXPECT_TRUE(session.routerSession.portOpen());
    EXPECT_EQ(session.simulator.snapshot().cli, CliState::Password);
    expectBusyCycle();
}

// The version is the router's whole word; a listing without it is told at
// its prompt, not after the wait for the listing's label gives up.
TEST_F(SoftwareUpdate, TheWholeVersionWordIsComparedAndAListingWithoutItIsToldAtOnce) {
    const struct {
        SimulatorOptions router;
        std::string shipped;
        std::string told;
    } cases[] = {
        {routerWithVersion("01.06.00"), "01.06.00",
         filled(kSameVersionText, "01.06.00", "01.06.00")},
        {routerWithVersion("1.6.000000001"), "1.6.0",
         filled(kRouterNewerText, "1.6.0", "1.6.000000001")},
        {[] {
             SimulatorOptions options;
             options.omittedLabels = {"System Version:"};
             return options;
         }(),
         "1.6.00", std::string(kVersionUnreadText)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.told);
        view.messages.clear();
        SimulatorSession session(c.router);
        ASSERT_TRUE(session.start());
        session.settings.catalogue[CatalogueKey::VERSION] = c.shipped;
        const auto start = std::chrono::steady_clock::now();
        run(session);
        EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
        ASSERT_EQ(view.messages.size(), 1u);
        EXPECT_EQ(view.messages[0].text, c.told);
        EXPECT_TRUE(session.receivedThrough("exit \r\n").ends_with(kLeave));
    }
}

TEST_F(SoftwareUpdate, VersionsCompareAsNumbersNotAsText) {
    // As text "1.5.9" would be the larger and an upgrade would be offered.
    SimulatorSession session(routerWithVersion("1.5.10"));
    ASSERT_TRUE(session.start());
    session.settings.catalogue[CatalogueKey::VERSION] = "1.5.9";
    run(session);
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].text, filled(kRouterNewerText, "1.5.9", "1.5.10"));
}

TEST_F(SoftwareUpdate, AListingWithoutTheLabelOffersNothingEvenAfterAnEarlierRun) {
    SimulatorSession session(routerWithVersion("1.5.09"));
    ASSERT_TRUE(session.start());
    view.answers = {Answer::Cancel};
    run(session);
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].text, filled(kShippedNewerText, "1.6.00", "1.5.09"));
    const std::string firstRun = session.receivedThrough("exit \r\n");

    // The second press runs the whole exchange again, starting with the login
    // that the first run's exit made necessary.
    // Its listing never shows "System Version:": the first run's version is
    // not taken for it, the missing version is told at the listing's prompt
    // and the run leaves the console.
    session.settings.catalogue[CatalogueKey::SHOW_SYSTEM] = "show dhcp server";
    EXPECT_EQ(run(session), Ending::ListingIncomplete);
    ASSERT_EQ(view.messages.size(), 2u);
    EXPECT_EQ(view.messages[1].text, kVersionUnreadText);
    const std::string second =
        session.receivedThrough("show dhcp server \r\n\rexit \r\n").substr(firstRun.size());
    const std::string asked = kLogin +
                              "set adsl open ansi \r\n"
                              "show dhcp server \r\n";
    // Between the listing and the exit only the nudges that find the prompt.
    EXPECT_EQ(second.substr(0, asked.size()), asked);
    EXPECT_TRUE(second.ends_with(kLeave)) << second;
    EXPECT_EQ(second.find_first_not_of('\r', asked.size()), second.size() - kLeave.size() + 1)
        << second;
    expectBusyCycle();
}

TEST_F(SoftwareUpdate, CancelledPasswordShowsNothingAndSendsNothingMore) {
    SimulatorOptions options;
    options.password = "secreto";
    SimulatorSession session(options);
    ASSERT_TRUE(session.start());
    EXPECT_EQ(run(session), Ending::LoginFailed);

    EXPECT_EQ(view.passwordPrompts, 1);
    EXPECT_TRUE(view.messages.empty());
    EXPECT_EQ(session.routerSession.KeepTrying, 0);
    // The built-in password is refused at its answer; the pass that asked
    // for the typed one still ends with its nudge, then the run stops.
    EXPECT_EQ(session.receivedThrough("never", 300ms),
              "\r"
              "pelnotra"
              "\r"
              "\r");
    EXPECT_EQ(session.simulator.snapshot().cli, CliState::Password);
    expectBusyCycle();
}

TEST_F(SoftwareUpdate, NoOpenPortIsReportedAndNothingIsSent) {
    SimulatorSession session(routerWithVersion("1.5.09"));
    ASSERT_TRUE(session.start());
    session.routerSession.RouterPort.reset();
    EXPECT_EQ(run(session), Ending::PortClosed);

    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].text, "No pudo abrirse el puerto de comunicaciones");
    EXPECT_EQ(view.messages[0].caption, "Error");
    EXPECT_EQ(view.messages[0].buttons, Buttons::Ok);
    EXPECT_EQ(session.simulator.received(), "");
    expectBusyCycle();
}

TEST_F(SoftwareUpdate, ASilentRouterIsReportedAndGetsOnlyNudges) {
    SimulatorOptions options;
    options.silent = true;
    SimulatorSession session(options);
    ASSERT_TRUE(session.start());
    session.settings.PromptWaitLimit = 1s;
    EXPECT_EQ(run(session), Ending::NoAnswer);

    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].text, "El Router no responde.");
    EXPECT_EQ(view.messages[0].caption, "Error");
    const std::string received = session.simulator.received();
    EXPECT_FALSE(received.empty());
    EXPECT_EQ(received.find_first_not_of('\r'), std::string::npos) << received;
    expectBusyCycle();
}

TEST_F(SoftwareUpdate, ARouterThatHangsUpInTheListingGetsNoExit) {
    SimulatorOptions options;
    options.loggedIn = true;
    // Replies: the two login nudges, the ANSI setting, then the listing.
    options.hangupAfter = 4;
    SimulatorSession session(options);
    ASSERT_TRUE(session.start());
    session.settings.PromptWaitLimit = 1s;
    EXPECT_EQ(run(session), Ending::LineLost);

    EXPECT_TRUE(session.simulator.hungUp());
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].text, "Se perdió la conexión con el puerto COM1:.");
    EXPECT_EQ(view.messages[0].caption, "Error");
    EXPECT_EQ(session.simulator.received(), "\r\r" + kListing);
    expectBusyCycle();
}

TEST_F(SoftwareUpdate, ALabelAndItsVersionInTwoDrainsStillGiveTheWholeVersion) {
    const std::string prompt(kCliPrompt);
    auto line = std::make_unique<ChunkedLine>(std::deque<std::string>{
        prompt,
        "set adsl open ansi \r\n" + prompt + "show system \r\nModel:" + std::string(36, ' ') +
            "Q73 ADSL\r\nSystem Version:" + std::string(10, ' '),
        std::string(17, ' ') + "1.5.09\r\nBoot loader:" + std::string(30, ' ') + "1.0.2\r\n" +
            prompt,
        prompt, prompt});
    ChunkedLine* router = line.get();
    Settings settings;
    ASSERT_TRUE(testing::LoadShippedCatalogue(settings));
    RouterSession state(settings);
    state.RouterPort = std::move(line);
    state.PortName = "COM1:";
    view.answers = {Answer::Cancel};
    const Outcome outcome = UpdateRouterSoftware(state, view, {"/nonexistent", ""});
    EXPECT_EQ(outcome.ending, Ending::Done);
    EXPECT_EQ(outcome.read.routerVersion, "1.5.09");

    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].text, filled(kShippedNewerText, "1.6.00", "1.5.09"));
    EXPECT_EQ(router->written, "\r" + kListing + "\r\r\r" + kLeave);
}

TEST_F(SoftwareUpdate, AcceptedUpgradeHandsTheLineOverAndSendsNothingMore) {
    SimulatorSession session(routerWithVersion("1.5.09"));
    ASSERT_TRUE(session.start("COM2:"));
    TempDir dir;
    const fs::path out = dir.path() / "argv.txt";
    WriteRecorder(dir.path() / "q73upgrade", out, session.simulator.slavePath());

    EXPECT_EQ(run(session, {dir.path(), ""}), Ending::HandedOver);
    EXPECT_EQ(ReadRecord(out), (Strings{"free", "-p2", "--imagen", "q73-1.6.00.img"}));

    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].buttons, Buttons::OkCancel);
    EXPECT_FALSE(session.routerSession.portOpen());
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(session.simulator.received(), kLogin + kListing + kAfterListing);
    // The program ends now: the button is not given back.
}

TEST_F(SoftwareUpdate, AnUpgradeProgramThatIsMissingIsReportedAndTheRunEndsAsUsual) {
    SimulatorSession session(routerWithVersion("1.5.09"));
    ASSERT_TRUE(session.start());
    TempDir empty;
    EXPECT_EQ(run(session, {empty.path(), ""}), Ending::MissingCommand);

    ASSERT_EQ(view.messages.size(), 2u);
    EXPECT_EQ(view.messages[1].text,
              "No se encuentra el programa de actualización \"q73upgrade\".");
    EXPECT_EQ(view.messages[1].caption, "Error");
    EXPECT_TRUE(session.routerSession.portOpen());
    EXPECT_EQ(session.receivedThrough("exit \r\n"), kLogin + kListing + kAfterListing + kLeave);
    EXPECT_EQ(session.simulator.snapshot().cli, CliState::Password);
    expectBusyCycle();
}

}  // namespace
}  // namespace cofralin
