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
using testing::ChunkedLine;
using testing::ReadRecord;
using testing::ScriptedView;
using testing::SimulatorSession;
using testing::TempDir;
using testing::WriteRecorder;
using Strings = std::vector<std::string>;

// Also notes what the main window looked like whenever a message box was up.
class MainWindowView : public ScriptedView {
public:
    struct Seen {
        bool updateEnabled;
        bool busy;
    };
    std::vector<Seen> duringMessages;
    std::vector<bool> updateButton;  // every change of 1005, in order

    MessageAnswer showMessage(const std::string& text, const std::string& caption,
                              MessageButtons buttons, MessageSeverity severity) override {
        duringMessages.push_back({isEnabled(kUpdateButtonId), busyDepth > 0});
        return ScriptedView::showMessage(text, caption, buttons, severity);
    }
    void enableControl(int id, bool on) override {
        if (id == kUpdateButtonId) updateButton.push_back(on);
        ScriptedView::enableControl(id, on);
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
    // Runs the procedure once on `session` with the main window's view.
    UpdateOutcome run(SimulatorSession& session,
                      const ProgramSearch& search = {"/nonexistent", ""}) {
        return UpdateRouterSoftware(session.state, view, search);
    }
    // The run left 1005 disabled while it worked and enabled at the end.
    void expectButtonCycle() {
        ASSERT_FALSE(view.updateButton.empty());
        EXPECT_FALSE(view.updateButton.front());
        EXPECT_TRUE(view.updateButton.back());
        for (const MainWindowView::Seen& seen : view.duringMessages) {
            EXPECT_FALSE(seen.updateEnabled);
            EXPECT_TRUE(seen.busy);
        }
        EXPECT_EQ(view.busyDepth, 0);
    }

    MainWindowView view;
};

TEST_F(SoftwareUpdate, RouterNewerSaysItCannotBeUpdatedAndLeavesTheCommandLine) {
    SimulatorSession session(routerWithVersion("1.6.01"));
    ASSERT_TRUE(session.start());
    EXPECT_EQ(run(session), UpdateOutcome::Returned);

    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].text,
              "La versión actual del software (1.6.00)\nes más antigua que la que tiene instalada "
              "el Router Q73 (1.6.01).\nNo se puede Actualizar.");
    EXPECT_EQ(view.messages[0].caption, "Actualización");
    EXPECT_EQ(view.messages[0].buttons, MessageButtons::Ok);
    EXPECT_EQ(session.receivedThrough("exit \r\n"), kLogin + kListing + kAfterListing + kLeave);
    const RouterState router = session.simulator.snapshot();
    EXPECT_EQ(router.cli, CliState::Password);
    EXPECT_EQ(router.running.adslStandard, "ansi");
    expectButtonCycle();
}

TEST_F(SoftwareUpdate, SameVersionSaysNoUpdateIsNeeded) {
    SimulatorSession session(routerWithVersion("1.6.00"));
    ASSERT_TRUE(session.start());
    EXPECT_EQ(run(session), UpdateOutcome::Returned);

    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].text,
              "La versión actual del software (1.6.00)\nes la misma que la que tiene instalada el "
              "Router Q73 (1.6.00).\nNo es necesaria la actualización.");
    EXPECT_EQ(view.messages[0].caption, "Actualización");
    EXPECT_EQ(view.messages[0].buttons, MessageButtons::Ok);
    EXPECT_EQ(session.receivedThrough("exit \r\n"), kLogin + kListing + kAfterListing + kLeave);
    expectButtonCycle();
}

TEST_F(SoftwareUpdate, ShippedNewerCancelledLeavesTheCommandLineAndStartsNothing) {
    SimulatorSession session(routerWithVersion("1.5.09"));
    ASSERT_TRUE(session.start());
    view.messageAnswers = {MessageAnswer::Cancel};
    EXPECT_EQ(run(session), UpdateOutcome::Returned);

    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].text,
              "La versión actual del software (1.6.00)\nes más nueva que la que tiene instalada el "
              "Router Q73 (1.5.09).\nResponda ACEPTAR y apague y vuelva a encender el Router para "
              "que se produzca la actualización.");
    EXPECT_EQ(view.messages[0].caption, "Actualización");
    EXPECT_EQ(view.messages[0].buttons, MessageButtons::OkCancel);
    EXPECT_EQ(session.receivedThrough("exit \r\n"), kLogin + kListing + kAfterListing + kLeave);
    EXPECT_TRUE(session.state.portOpen());
    EXPECT_EQ(session.simulator.snapshot().cli, CliState::Password);
    expectButtonCycle();
}

TEST_F(SoftwareUpdate, VersionsCompareAsNumbersNotAsText) {
    // As text "1.5.9" would be the larger and an upgrade would be offered.
    SimulatorSession session(routerWithVersion("1.5.10"));
    ASSERT_TRUE(session.start());
    session.state.CommandCatalogue[CatalogueKey::VERSION] = "1.5.9";
    run(session);
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].text, filled(kRouterNewerText, "1.5.9", "1.5.10"));
}

TEST_F(SoftwareUpdate, AListingWithoutTheLabelOffersNothingEvenAfterAnEarlierRun) {
    SimulatorSession session(routerWithVersion("1.5.09"));
    ASSERT_TRUE(session.start());
    view.messageAnswers = {MessageAnswer::Cancel};
    run(session);
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].text, filled(kShippedNewerText, "1.6.00", "1.5.09"));
    const std::string firstRun = session.receivedThrough("exit \r\n");

    // The second press runs the whole exchange again, starting with the login
    // that the first run's exit made necessary.
    // Its listing never shows "System Version:": bare prompts alone are not
    // the listing, so the wait gives up and nothing more is sent.
    session.state.CommandCatalogue[CatalogueKey::SHOW_SYSTEM] = "show dhcp server";
    session.state.PromptWaitLimit = 1s;
    EXPECT_EQ(run(session), UpdateOutcome::Returned);
    ASSERT_EQ(view.messages.size(), 2u);
    EXPECT_EQ(view.messages[1].text, kRouterSilentText);
    EXPECT_EQ(view.messages[1].caption, "Error");
    const std::string second = session.simulator.received().substr(firstRun.size());
    const std::string asked = kLogin +
                              "set adsl open ansi \r\n"
                              "show dhcp server \r\n";
    EXPECT_EQ(second.substr(0, asked.size()), asked);
    EXPECT_EQ(second.find_first_not_of('\r', asked.size()), std::string::npos) << second;
    expectButtonCycle();
}

TEST_F(SoftwareUpdate, CancelledPasswordShowsNothingAndSendsNothingMore) {
    SimulatorOptions options;
    options.password = "secreto";
    SimulatorSession session(options);
    ASSERT_TRUE(session.start());
    EXPECT_EQ(run(session), UpdateOutcome::Returned);

    EXPECT_EQ(view.passwordPrompts, 1);
    EXPECT_TRUE(view.messages.empty());
    EXPECT_EQ(session.state.KeepTrying, 0);
    // The built-in password is refused; the pass that asked for the typed one
    // still sends its (empty) password and the nudge, then the run stops.
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(session.simulator.received(),
              "\r"
              "pelnotra"
              "\r"
              "\r"
              "\r");
    EXPECT_EQ(session.simulator.snapshot().cli, CliState::Password);
    expectButtonCycle();
}

TEST_F(SoftwareUpdate, NoOpenPortIsReportedAndNothingIsSent) {
    SimulatorSession session(routerWithVersion("1.5.09"));
    ASSERT_TRUE(session.start());
    session.state.RouterPort.reset();
    EXPECT_EQ(run(session), UpdateOutcome::Returned);

    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].text, "No pudo abrirse el puerto de comunicaciones");
    EXPECT_EQ(view.messages[0].caption, "Error");
    EXPECT_EQ(view.messages[0].buttons, MessageButtons::Ok);
    EXPECT_EQ(session.simulator.received(), "");
    expectButtonCycle();
}

TEST_F(SoftwareUpdate, ASilentRouterIsReportedAndGetsOnlyNudges) {
    SimulatorOptions options;
    options.silent = true;
    SimulatorSession session(options);
    ASSERT_TRUE(session.start());
    session.state.PromptWaitLimit = 1s;
    EXPECT_EQ(run(session), UpdateOutcome::Returned);

    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].text, "El Router no responde.");
    EXPECT_EQ(view.messages[0].caption, "Error");
    const std::string received = session.simulator.received();
    EXPECT_FALSE(received.empty());
    EXPECT_EQ(received.find_first_not_of('\r'), std::string::npos) << received;
    expectButtonCycle();
}

TEST_F(SoftwareUpdate, ARouterThatHangsUpInTheListingGetsNoExit) {
    SimulatorOptions options;
    options.loggedIn = true;
    // Replies: the two login nudges, the ANSI setting, then the listing.
    options.hangupAfter = 4;
    SimulatorSession session(options);
    ASSERT_TRUE(session.start());
    session.state.PromptWaitLimit = 1s;
    EXPECT_EQ(run(session), UpdateOutcome::Returned);

    EXPECT_TRUE(session.simulator.hungUp());
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].text, "Se perdió la conexión con el puerto COM1:.");
    EXPECT_EQ(view.messages[0].caption, "Error");
    EXPECT_EQ(session.simulator.received(), "\r\r" + kListing);
    expectButtonCycle();
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
    SessionState state;
    ASSERT_EQ(LoadCommandCatalogue(state.CommandCatalogue, COFRALIN_SOURCE_DIR).status,
              CatalogueLoadResult::Status::Loaded);
    state.RouterPort = std::move(line);
    state.PortName = "COM1:";
    view.messageAnswers = {MessageAnswer::Cancel};
    EXPECT_EQ(UpdateRouterSoftware(state, view, {"/nonexistent", ""}), UpdateOutcome::Returned);

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

    EXPECT_EQ(run(session, {dir.path(), ""}), UpdateOutcome::HandedOver);
    EXPECT_EQ(ReadRecord(out), (Strings{"free", "-p2", "--imagen", "q73-1.6.00.img"}));

    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].buttons, MessageButtons::OkCancel);
    EXPECT_FALSE(session.state.portOpen());
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(session.simulator.received(), kLogin + kListing + kAfterListing);
    // The program ends now: the button is not given back.
    ASSERT_FALSE(view.updateButton.empty());
    EXPECT_FALSE(view.updateButton.back());
}

TEST_F(SoftwareUpdate, AnUpgradeProgramThatIsMissingIsReportedAndTheRunEndsAsUsual) {
    SimulatorSession session(routerWithVersion("1.5.09"));
    ASSERT_TRUE(session.start());
    TempDir empty;
    EXPECT_EQ(run(session, {empty.path(), ""}), UpdateOutcome::Returned);

    ASSERT_EQ(view.messages.size(), 2u);
    EXPECT_EQ(view.messages[1].text,
              "No se encuentra el programa de actualización \"q73upgrade\".");
    EXPECT_EQ(view.messages[1].caption, "Error");
    EXPECT_TRUE(session.state.portOpen());
    EXPECT_EQ(session.receivedThrough("exit \r\n"), kLogin + kListing + kAfterListing + kLeave);
    EXPECT_EQ(session.simulator.snapshot().cli, CliState::Password);
    expectButtonCycle();
}

}  // namespace
}  // namespace cofralin
