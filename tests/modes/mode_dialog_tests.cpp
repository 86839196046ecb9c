// The mode dialogs and the main window's mode radio buttons, offscreen, over
// the simulated router; the last test runs the program's windows from port
// selection to a switch to multi-PC mode and back.

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QCursor>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dialog_texts.h"
#include "ip_address_edit.h"
#include "main_dlg.h"
#include "messages.h"
#include "modal_script.h"
#include "multi_pc_dlg.h"
#include "router_copy.h"
#include "simulator_session.h"
#include "single_pc_dlg.h"
#include "temp_folder.h"

namespace cofralin {
namespace {

using namespace std::chrono_literals;
using testing::ModalScript;
using testing::SimulatorSession;

constexpr const char* kSingleDlg = "cofralin::CSinglePcDlg";
constexpr const char* kMultiDlg = "cofralin::CMultiPcDlg";
constexpr const char* kConnectDlg = "cofralin::CConnectDlg";
constexpr const char* kPasswordDlg = "cofralin::CPasswordDlg";

SimulatorOptions routerIn(StartMode mode, std::string password = "pelnotra") {
    SimulatorOptions options;
    options.mode = mode;
    options.password = std::move(password);
    return options;
}

template <typename T>
T* control(QWidget& window, int id) {
    return qobject_cast<T*>(QtFrontend::findControl(window, id));
}

using ModeWindows = ::testing::Test;

// --- The single-PC dialog -------------------------------------------------------

TEST_F(ModeWindows, SinglePcDialogStartsWithDefaultsAndOnlyOkUsable) {
    Settings settings;
    RouterSession state(settings);
    state.KeepTrying = 0;
    state.SentLineCount = 9;
    CSinglePcDlg dialog(state);
    dialog.show();
    EXPECT_EQ(control<IpAddressEdit>(dialog, 1013)->text(), "10.1.1.1");
    EXPECT_EQ(control<IpAddressEdit>(dialog, 1014)->text(), "255.255.255.0");
    EXPECT_EQ(control<QLabel>(dialog, 1016)->text().toStdString(), kSinglePcPromptText);
    EXPECT_EQ(control<QProgressBar>(dialog, 1015)->maximum(), 40);
    EXPECT_TRUE(control<QPushButton>(dialog, 1)->isVisible());
    EXPECT_FALSE(control<QPushButton>(dialog, 2)->isVisible());
    EXPECT_FALSE(control<QPushButton>(dialog, 2)->isEnabled());
    EXPECT_EQ(state.KeepTrying, 1);
    EXPECT_EQ(state.SentLineCount, 0);
    // A fixed frame; its size follows the font (window_fit_tests.cpp).
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
}

TEST_F(ModeWindows, SinglePcDialogIgnoresEscapeAndCloseUntilItsFailedState) {
    SimulatorSession session(routerIn(StartMode::MultiPc, "secreto"));
    ASSERT_TRUE(session.start());
    CSinglePcDlg dialog(session.routerSession);
    dialog.show();
    QTest::keyClick(&dialog, Qt::Key_Escape);
    EXPECT_TRUE(dialog.isVisible());
    dialog.close();
    EXPECT_TRUE(dialog.isVisible());

    // A password prompt given up puts the dialog in its failed state.
    ModalScript script;
    script.then(ModalScript::isA(kPasswordDlg), ModalScript::rejectDialog);
    script.run([&] { control<QPushButton>(dialog, 1)->click(); });
    ASSERT_TRUE(script.finished());
    EXPECT_EQ(dialog.switchResult(), Ending::LoginFailed);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_FALSE(control<QPushButton>(dialog, 1)->isVisible());
    EXPECT_TRUE(control<QPushButton>(dialog, 2)->isVisible());
    EXPECT_EQ(control<QLabel>(dialog, 1016)->text().toStdString(),
              WithPressNote(kSinglePcFailedText, false));

    QTest::keyClick(&dialog, Qt::Key_Escape);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(session.simulator.snapshot().saveCount, 0);
}

TEST_F(ModeWindows, SinglePcDialogSendsTheValuesTypedLast) {
    SimulatorSession session(routerIn(StartMode::MultiPc));
    ASSERT_TRUE(session.start());
    CSinglePcDlg dialog(session.routerSession);
    ModalScript script;
    script.then(ModalScript::canPress(kSingleDlg, 1), [](QWidget* w) {
        // Typed, not set: the field-change path carries the new mask.
        auto* mask = control<IpAddressEdit>(*w, 1014);
        mask->field(3)->selectAll();
        QTest::keyClicks(mask->field(3), "240");
        auto* address = control<IpAddressEdit>(*w, 1013);
        address->setText("192.168.5.77");
        ModalScript::press(w, 1);
    });
    script.run([&] { dialog.exec(); });
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.switchResult(), Ending::Done);
    const std::string received = session.receivedThrough("exit \r\n");
    EXPECT_NE(received.find("remote_ip_address 192.168.5.65/255.255.255.240 \r\n"),
              std::string::npos);
    EXPECT_NE(received.find("local_ip_address 192.168.5.77 \r\n"), std::string::npos);
}

// With copies on, the dialog opens, asks and closes as before, and the
// switch leaves one copy naming the change typed.
TEST_F(ModeWindows, SinglePcDialogKeepsACopyBeforeItsSwitchWithoutAnyNewQuestion) {
    testing::TempFolder folder;
    SimulatorSession session(routerIn(StartMode::MultiPc));
    ASSERT_TRUE(session.start());
    session.settings.CopyFolder = folder.path();
    CSinglePcDlg dialog(session.routerSession);
    ModalScript script;
    script.then(ModalScript::canPress(kSingleDlg, 1), [](QWidget* w) { ModalScript::press(w, 1); });
    script.run([&] { dialog.exec(); });
    EXPECT_EQ(dialog.switchResult(), Ending::Done);
    const std::vector<ListedCopy> copies = ListCopies(folder.path());
    ASSERT_EQ(copies.size(), 1u);
    ASSERT_TRUE(copies[0].copy) << copies[0].error;
    EXPECT_EQ(copies[0].copy->change, "monopuesto " + std::string(kDefaultMgmtAddress) + "/" +
                                          std::string(kDefaultMgmtMask));
    EXPECT_EQ(copies[0].copy->reading.mode, RouterMode::MultiPc);
}

// A bad mask typed into a switch dialog is refused in place: a message naming
// the field, the field marked, OK still usable, nothing sent; the corrected
// mask then switches without reopening the dialog.
TEST_F(ModeWindows, SwitchDialogsRefuseABadMaskAndTakeTheCorrectedOne) {
    struct Dialog {
        StartMode from;
        const char* className;
        std::function<std::unique_ptr<QDialog>(RouterSession&)> make;
        std::function<std::optional<Ending>(QDialog&)> result;
        DhcpMode after;
    };
    const Dialog dialogs[] = {
        {StartMode::MultiPc, kSingleDlg,
         [](RouterSession& s) { return std::make_unique<CSinglePcDlg>(s); },
         [](QDialog& d) { return static_cast<CSinglePcDlg&>(d).switchResult(); }, DhcpMode::Server},
        {StartMode::SinglePc, kMultiDlg,
         [](RouterSession& s) { return std::make_unique<CMultiPcDlg>(s); },
         [](QDialog& d) { return static_cast<CMultiPcDlg&>(d).switchResult(); },
         DhcpMode::Disabled},
    };
    for (const Dialog& d : dialogs) {
        SCOPED_TRACE(d.className);
        SimulatorSession session(routerIn(d.from));
        ASSERT_TRUE(session.start());
        const std::unique_ptr<QDialog> dialog = d.make(session.routerSession);
        std::size_t receivedBeforeOk = 0;
        bool refusedInPlace = false;
        ModalScript script;
        script.then(ModalScript::canPress(d.className, 1), [&](QWidget* w) {
            // The multi-PC opening has logged out by now.
            session.receivedThrough("exit \r\n", 300ms);
            receivedBeforeOk = session.simulator.received().size();
            control<IpAddressEdit>(*w, 1014)->setText("255.255.0.255");
            ModalScript::press(w, 1);
        });
        script.thenAcceptMessage();
        script.then(ModalScript::isA(d.className), [&](QWidget* w) {
            auto* mask = control<IpAddressEdit>(*w, 1014);
            refusedInPlace = IsMarkedRefused(*mask) && w->focusWidget() == mask->field(0) &&
                             control<QPushButton>(*w, 1)->isEnabled() &&
                             control<QPushButton>(*w, 1)->isVisible() && !d.result(*dialog);
            EXPECT_EQ(session.simulator.received().size(), receivedBeforeOk);
            // Typed, as the user corrects it.
            mask->field(2)->selectAll();
            QTest::keyClicks(mask->field(2), "255");
            EXPECT_FALSE(IsMarkedRefused(*mask));
            mask->field(3)->selectAll();
            QTest::keyClicks(mask->field(3), "240");
            ModalScript::press(w, 1);
        });
        script.run([&] { dialog->exec(); });
        ASSERT_TRUE(script.finished());
        ASSERT_EQ(script.messages.size(), 1u);
        EXPECT_NE(script.messages[0].indexOf(QStringLiteral("máscara IP")), -1)
            << script.messages[0].toStdString();
        EXPECT_NE(script.messages[0].indexOf(QStringLiteral("(255.255.0.255)")), -1);
        EXPECT_TRUE(refusedInPlace);
        EXPECT_EQ(d.result(*dialog), Ending::Done);
        EXPECT_EQ(dialog->result(), QDialog::Accepted);
        EXPECT_NE(session.receivedThrough("exit \r\n").find("255.255.255.240"), std::string::npos);
        EXPECT_EQ(session.simulator.snapshot().running.dhcp.mode, d.after);
    }
}

// --- The multi-PC dialog --------------------------------------------------------

TEST_F(ModeWindows, MultiPcDialogOpeningShowsTheManagementAddressReadOnly) {
    SimulatorSession session(routerIn(StartMode::SinglePc));
    ASSERT_TRUE(session.start());
    CMultiPcDlg dialog(session.routerSession);
    dialog.show();
    // The dialog is up at once; OK waits for the opening's read.
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_FALSE(control<QPushButton>(dialog, 1)->isEnabled());
    ASSERT_TRUE(QTest::qWaitFor([&] { return control<QPushButton>(dialog, 1)->isEnabled(); }));
    auto* management = control<IpAddressEdit>(dialog, 1016);
    EXPECT_EQ(management->text(), "10.1.1.1");
    EXPECT_FALSE(management->isEnabled());
    EXPECT_EQ(control<IpAddressEdit>(dialog, 1013)->text(), "172.26.0.1");
    EXPECT_EQ(control<IpAddressEdit>(dialog, 1014)->text(), "255.255.255.240");
    EXPECT_EQ(control<IpAddressEdit>(dialog, 1015)->text(), "0.0.0.0");
    EXPECT_EQ(control<QLabel>(dialog, 1012)->text().toStdString(), kMultiPcPromptText);
    EXPECT_EQ(control<QProgressBar>(dialog, 1011)->maximum(), 53);
    EXPECT_EQ(control<QProgressBar>(dialog, 1011)->value(), 0);
    EXPECT_FALSE(control<QPushButton>(dialog, 2)->isVisible());
    // The opening left the command line.
    session.receivedThrough("exit \r\n");
    EXPECT_EQ(session.simulator.snapshot().cli, CliState::Password);

    // Escape and the close box never end it.
    QTest::keyClick(&dialog, Qt::Key_Escape);
    dialog.close();
    EXPECT_TRUE(dialog.isVisible());
}

TEST_F(ModeWindows, MultiPcDialogEndsWithOkEvenWhenTheSwitchStops) {
    Settings settings;
    RouterSession state(settings);
    CMultiPcDlg dialog(state);
    ModalScript script;
    script.thenAcceptMessage();  // the opening finds no port
    script.then(ModalScript::canPress(kMultiDlg, 1), [](QWidget* w) { ModalScript::press(w, 1); });
    script.thenAcceptMessage();  // and so does OK
    script.run([&] { dialog.exec(); });
    ASSERT_TRUE(script.finished());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.switchResult(), Ending::PortClosed);
    ASSERT_EQ(script.messages.size(), 2u);
    EXPECT_EQ(script.messages[0].toStdString(), kPortClosedText);
}

// --- The main window's mode radio buttons --------------------------------------

class MainWindowModes : public ModeWindows {
protected:
    // A connected main window whose connection found `single` / `multi`.
    void connectWith(CMainDlg& window, int single, int multi) {
        window.session().SinglePcActive = single;
        window.session().MultiPcActive = multi;
        window.applyConnectionResult(QDialog::Accepted);
    }
    // The window takes over the simulated router's open port.
    static void plugInto(CMainDlg& window, SimulatorSession& session) {
        window.session().RouterPort = std::move(session.routerSession.RouterPort);
        window.session().PortName = session.routerSession.PortName;
    }
    static QRadioButton* radio(CMainDlg& window, int id) {
        return control<QRadioButton>(window, id);
    }
    static bool portsEnabled(CMainDlg& window) {
        return control<QPushButton>(window, 1004)->isEnabled();
    }
};

TEST_F(MainWindowModes, ClickOnTheActiveModeDoesNothing) {
    Settings settings;
    CMainDlg window(settings);
    RouterSession& state = window.session();
    connectWith(window, 0, 1);
    ModalScript script;
    script.then([](QWidget*) { return true; },
                [](QWidget*) { ADD_FAILURE() << "a dialog opened"; });
    script.run([&] { radio(window, 1003)->click(); });
    QTest::qWait(60);
    EXPECT_TRUE(radio(window, 1003)->isChecked());
    EXPECT_FALSE(radio(window, 1002)->isChecked());
    EXPECT_EQ(state.MultiPcActive, 1);
    EXPECT_TRUE(portsEnabled(window));
}

TEST_F(MainWindowModes, ClickWhileNoModeIsKnownOnlyMovesTheMark) {
    Settings settings;
    CMainDlg window(settings);
    RouterSession& state = window.session();
    connectWith(window, 0, 0);
    ASSERT_FALSE(radio(window, 1002)->isChecked());
    ASSERT_FALSE(radio(window, 1003)->isChecked());
    ModalScript script;
    script.then([](QWidget*) { return true; },
                [](QWidget*) { ADD_FAILURE() << "a dialog opened"; });
    script.run([&] { radio(window, 1003)->click(); });
    EXPECT_TRUE(radio(window, 1003)->isChecked());
    EXPECT_FALSE(radio(window, 1002)->isChecked());
    EXPECT_FALSE(portsEnabled(window));
    script.run([&] { radio(window, 1002)->click(); });
    EXPECT_TRUE(radio(window, 1002)->isChecked());
    EXPECT_FALSE(radio(window, 1003)->isChecked());
    EXPECT_EQ(state.SinglePcActive, 0);
    EXPECT_EQ(state.MultiPcActive, 0);
}

TEST_F(MainWindowModes, MultiPcSwitchIsEditedUnderTheArrowAndRecordsTheMode) {
    SimulatorSession session(routerIn(StartMode::SinglePc));
    ASSERT_TRUE(session.start());
    CMainDlg window(session.settings);
    plugInto(window, session);
    connectWith(window, 1, 0);
    ASSERT_TRUE(radio(window, 1002)->isChecked());
    bool arrowWhileEditing = false;
    bool portsEnabledBefore = false;
    bool oldModeMarkedMeanwhile = false;
    ModalScript script;
    script.then(ModalScript::canPress(kMultiDlg, 1), [&](QWidget* w) {
        // Nobody holds the wait cursor around the dialog while the user edits it.
        arrowWhileEditing = QApplication::overrideCursor() == nullptr;
        portsEnabledBefore = portsEnabled(window);
        // The mark moves only once the switch has gone through.
        oldModeMarkedMeanwhile =
            radio(window, 1002)->isChecked() && !radio(window, 1003)->isChecked();
        ModalScript::press(w, 1);
    });
    script.run([&] { radio(window, 1003)->click(); });
    ASSERT_TRUE(script.finished());
    EXPECT_TRUE(arrowWhileEditing);
    EXPECT_TRUE(portsEnabledBefore);
    EXPECT_TRUE(oldModeMarkedMeanwhile);
    EXPECT_EQ(window.session().MultiPcActive, 1);
    EXPECT_EQ(window.session().SinglePcActive, 0);
    EXPECT_TRUE(radio(window, 1003)->isChecked());
    EXPECT_FALSE(radio(window, 1002)->isChecked());
    EXPECT_TRUE(portsEnabled(window));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(session.simulator.snapshot().running.dhcp.mode, DhcpMode::Disabled);
}

TEST_F(MainWindowModes, MultiPcSwitchThatFindsNoPortIsNotRecorded) {
    Settings settings;
    CMainDlg window(settings);
    RouterSession& state = window.session();
    connectWith(window, 1, 0);
    // Each message is read under the arrow, the opening's as well as OK's.
    std::vector<bool> arrowAtMessages;
    const auto readMessage = [&](QWidget* w) {
        const QCursor* cursor = QApplication::overrideCursor();
        arrowAtMessages.push_back(!cursor || cursor->shape() == Qt::ArrowCursor);
        ModalScript::acceptMessage(w);
    };
    ModalScript script;
    script.then(ModalScript::isA("QMessageBox"), readMessage);
    script.then(ModalScript::canPress(kMultiDlg, 1), [](QWidget* w) { ModalScript::press(w, 1); });
    script.then(ModalScript::isA("QMessageBox"), readMessage);
    script.run([&] { radio(window, 1003)->click(); });
    ASSERT_TRUE(script.finished());
    EXPECT_EQ(arrowAtMessages, (std::vector<bool>{true, true}));
    EXPECT_EQ(state.SinglePcActive, 1);
    EXPECT_EQ(state.MultiPcActive, 0);
    EXPECT_TRUE(radio(window, 1002)->isChecked());
    EXPECT_FALSE(radio(window, 1003)->isChecked());
    EXPECT_FALSE(portsEnabled(window));  // single-PC is still recorded
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(MainWindowModes, SinglePcSwitchGivenUpAtThePasswordPutsTheMarksBack) {
    SimulatorSession session(routerIn(StartMode::MultiPc, "secreto"));
    ASSERT_TRUE(session.start());
    CMainDlg window(session.settings);
    plugInto(window, session);
    connectWith(window, 0, 1);
    bool cursorUntouched = false;
    ModalScript script;
    script.then(ModalScript::canPress(kSingleDlg, 1), [&](QWidget* w) {
        cursorUntouched = QApplication::overrideCursor() == nullptr;
        ModalScript::press(w, 1);
    });
    script.then(ModalScript::isA(kPasswordDlg), ModalScript::rejectDialog);
    script.then(ModalScript::canPress(kSingleDlg, 2), [](QWidget* w) {
        EXPECT_EQ(control<QLabel>(*w, 1016)->text().toStdString(),
                  WithPressNote(kSinglePcFailedText, false));
        ModalScript::press(w, 2);
    });
    script.run([&] { radio(window, 1002)->click(); });
    ASSERT_TRUE(script.finished());
    EXPECT_TRUE(cursorUntouched);
    EXPECT_EQ(window.session().KeepTrying, 0);
    EXPECT_EQ(window.session().MultiPcActive, 1);
    EXPECT_EQ(window.session().SinglePcActive, 0);
    EXPECT_TRUE(radio(window, 1003)->isChecked());
    EXPECT_FALSE(radio(window, 1002)->isChecked());
    EXPECT_TRUE(portsEnabled(window));  // multi-PC is still recorded
    EXPECT_EQ(session.simulator.snapshot().saveCount, 0);
}

// --- The program's windows from port selection to a switch and back ------------

TEST_F(MainWindowModes, ConnectSwitchToMultiPcReconnectAndSwitchBack) {
    SimulatorSession session(routerIn(StartMode::SinglePc));
    ASSERT_TRUE(session.start());
    // The program opens the port itself, by name, as the user chooses it.
    session.routerSession.RouterPort.reset();
    ASSERT_EQ(::setenv("COFRALIN_COM1", session.simulator.slavePath().c_str(), 1), 0);
    const std::filesystem::path cwd = std::filesystem::current_path();
    std::filesystem::current_path(COFRALIN_SOURCE_DIR);  // where CONFIG.TXT lies

    Settings settings;
    CMainDlg window(settings);
    RouterSession& state = window.session();
    ASSERT_TRUE(window.initialise());
    window.show();
    auto* ports = control<QComboBox>(window, 1001);
    const int com1 = ports->findText("COM1:");
    ASSERT_GE(com1, 0);

    const auto connect = [&] {
        ModalScript script;
        script.then(ModalScript::canPress(kConnectDlg, 1),
                    [](QWidget* w) { ModalScript::press(w, 1); });
        script.run([&] { window.onPortSelected(com1); });
        return script.finished();
    };
    const auto switchWith = [&](int radioId, const char* dialog) {
        ModalScript script;
        script.then(ModalScript::canPress(dialog, 1), [](QWidget* w) { ModalScript::press(w, 1); });
        script.run([&] { radio(window, radioId)->click(); });
        return script.finished();
    };

    ASSERT_TRUE(connect());
    EXPECT_TRUE(radio(window, 1002)->isChecked());
    EXPECT_EQ(state.SinglePcActive, 1);

    ASSERT_TRUE(switchWith(1003, kMultiDlg));
    EXPECT_EQ(state.MultiPcActive, 1);
    ASSERT_TRUE(connect());
    EXPECT_EQ(state.MultiPcActive, 1);
    EXPECT_TRUE(radio(window, 1003)->isChecked());
    EXPECT_TRUE(portsEnabled(window));

    ASSERT_TRUE(switchWith(1002, kSingleDlg));
    EXPECT_EQ(state.SinglePcActive, 1);
    ASSERT_TRUE(connect());
    EXPECT_EQ(state.SinglePcActive, 1);
    EXPECT_EQ(state.MultiPcActive, 0);
    EXPECT_TRUE(radio(window, 1002)->isChecked());

    const RouterState router = session.simulator.snapshot();
    EXPECT_EQ(router.saveCount, 2);
    EXPECT_EQ(router.saved.dhcp.mode, DhcpMode::Server);
    EXPECT_EQ(router.saved.atm1InputFilter, "");

    window.reject();  // "Salir" releases the port
    std::filesystem::current_path(cwd);
    ::unsetenv("COFRALIN_COM1");
}

}  // namespace
}  // namespace cofralin
