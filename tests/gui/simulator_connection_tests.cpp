// The whole way from choosing a port in the main window to the connected
// state, against the simulated router on a pseudo-terminal.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <cstdlib>

#include "connect_dlg.h"
#include "gui_test_support.h"
#include "main_dlg.h"
#include "q73_simulator.h"

namespace cofralin {
namespace {

using testing::buttonOf;
using testing::whenModal;

struct Connection {
    int lamp = 0;
    bool singleChecked = false;
    bool multiChecked = false;
    bool portsEnabled = false;
    bool updateEnabled = false;
    bool portOpen = false;
    int chosenIndex = -1;
    int messageBoxes = 0;
    QString status;
};

// Chooses the selector's first entry and presses the one button the connection
// dialog enables; what the main window shows afterwards.
Connection chooseFirstPort(CMainDlg& window) {
    auto* ports = window.findChild<QComboBox*>(QStringLiteral("idc_1001"));
    EXPECT_EQ(ports->count(), 1);
    EXPECT_EQ(ports->itemText(0), QStringLiteral("COM1:"));

    Connection seen;
    const auto answering1 = whenModal(
        [&](QWidget* modal) {
            if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                ++seen.messageBoxes;
                box->buttons().front()->click();
                return false;
            }
            auto* dialog = qobject_cast<CConnectDlg*>(modal);
            if (!dialog || !dialog->outcome()) return false;
            seen.status = dialog->findChild<QLabel*>(QStringLiteral("idc_1007"))->text();
            QAbstractButton* next =
                buttonOf(dialog, 1)->isEnabled() ? buttonOf(dialog, 1) : buttonOf(dialog, 2);
            next->click();
            return false;
        },
        60000);
    ports->setCurrentIndex(0);
    emit ports->activated(0);

    for (const int id : {1008, 1010, 1011}) {
        if (QtFrontend::findControl(window, id)->isVisible()) seen.lamp = id;
    }
    seen.singleChecked = buttonOf(&window, 1002)->isChecked();
    seen.multiChecked = buttonOf(&window, 1003)->isChecked();
    seen.portsEnabled = buttonOf(&window, 1004)->isEnabled();
    seen.updateEnabled = buttonOf(&window, 1005)->isEnabled();
    seen.portOpen = window.session().portOpen();
    seen.chosenIndex = ports->currentIndex();
    return seen;
}

Connection connectTo(SimulatorOptions options) {
    testing::WorkingFolder folder;
    Q73Simulator router(std::move(options));
    EXPECT_TRUE(router.start()) << router.error();
    ::setenv("COFRALIN_COM1", router.slavePath().c_str(), 1);

    Settings settings;
    CMainDlg window(settings);
    EXPECT_TRUE(window.initialise());
    window.show();
    const Connection seen = chooseFirstPort(window);
    EXPECT_TRUE(seen.portOpen);
    window.reject();
    EXPECT_FALSE(window.session().portOpen());
    ::setenv("COFRALIN_COM1", "/nonexistent/com1", 1);
    return seen;
}

TEST(SimulatorConnectionTest, MultiPcRouterLightsGreenAndMarksMultipuesto) {
    SimulatorOptions options;
    options.mode = StartMode::MultiPc;
    const Connection seen = connectTo(options);
    EXPECT_EQ(seen.status, QStringLiteral("Conexión establecida.\nPulse OK para continuar."));
    EXPECT_EQ(seen.lamp, 1008);
    EXPECT_TRUE(seen.multiChecked);
    EXPECT_FALSE(seen.singleChecked);
    EXPECT_TRUE(seen.portsEnabled);
    EXPECT_TRUE(seen.updateEnabled);
}

TEST(SimulatorConnectionTest, SinglePcRouterLightsGreenAndMarksMonopuesto) {
    SimulatorOptions options;
    options.mode = StartMode::SinglePc;
    const Connection seen = connectTo(options);
    EXPECT_EQ(seen.lamp, 1008);
    EXPECT_TRUE(seen.singleChecked);
    EXPECT_FALSE(seen.multiChecked);
    EXPECT_FALSE(seen.portsEnabled);
    EXPECT_TRUE(seen.updateEnabled);
}

TEST(SimulatorConnectionTest, SilentRouterEndsNotConnected) {
    SimulatorOptions options;
    options.silent = true;
    const Connection seen = connectTo(options);
    EXPECT_EQ(seen.status, QStringLiteral("El Router no responde.\nPulse CANCEL para continuar."));
    EXPECT_EQ(seen.lamp, 1011);
    EXPECT_FALSE(seen.singleChecked || seen.multiChecked);
    EXPECT_FALSE(seen.updateEnabled);
}

TEST(SimulatorConnectionTest, AHangUpClosesThePortAndAChoiceWorksAgainOnceTheRouterIsBack) {
    testing::WorkingFolder folder;
    SimulatorOptions options;
    options.hangupAfter = 2;
    Q73Simulator gone(options);
    ASSERT_TRUE(gone.start()) << gone.error();
    ::setenv("COFRALIN_COM1", gone.slavePath().c_str(), 1);
    Settings settings;
    CMainDlg window(settings);
    ASSERT_TRUE(window.initialise());
    window.show();

    const Connection lost = chooseFirstPort(window);
    EXPECT_EQ(
        lost.status,
        QStringLiteral("Se perdió la conexión con el puerto COM1:.\nPulse CANCEL para continuar."));
    // Told once, in the dialog; then the window as after start, the port closed.
    EXPECT_EQ(lost.messageBoxes, 0);
    EXPECT_EQ(lost.lamp, 1011);
    EXPECT_FALSE(lost.singleChecked || lost.multiChecked);
    EXPECT_FALSE(lost.updateEnabled || lost.portsEnabled);
    EXPECT_FALSE(lost.portOpen);
    EXPECT_EQ(lost.chosenIndex, -1);

    Q73Simulator back;
    ASSERT_TRUE(back.start()) << back.error();
    ::setenv("COFRALIN_COM1", back.slavePath().c_str(), 1);
    auto* ports = window.findChild<QComboBox*>(QStringLiteral("idc_1001"));
    ports->showPopup();
    ports->hidePopup();
    const Connection again = chooseFirstPort(window);
    EXPECT_EQ(again.lamp, 1008);
    EXPECT_TRUE(again.portOpen);
    window.reject();
    ::setenv("COFRALIN_COM1", "/nonexistent/com1", 1);
}

}  // namespace
}  // namespace cofralin
