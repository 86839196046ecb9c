// "Actualizar Software" in the real main window, offscreen, against the router
// simulator: the window ends once the upgrade program has started, and stays
// with 1005 enabled when the user declines.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QMessageBox>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "gui_test_support.h"
#include "main_dlg.h"
#include "q73_simulator.h"
#include "router_port.h"
#include "stand_in_program.h"

namespace cofralin {
namespace {

using testing::buttonOf;
using testing::whenModal;
using Strings = std::vector<std::string>;

// Clicks the button captioned `button` in the next message box and notes its
// text and whether 1005 of `window` was usable meanwhile, for as long as the
// returned guard lives.
std::unique_ptr<testing::ModalScript> answerMessage(const QString& button, QString& text,
                                                    QWidget* window, bool& usableMeanwhile) {
    return whenModal([button, &text, window, &usableMeanwhile](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (!box) return false;
        text = box->text();
        usableMeanwhile = buttonOf(window, 1005)->isEnabled();
        for (QAbstractButton* candidate : box->buttons()) {
            if (candidate->text() == button) candidate->click();
        }
        return true;
    });
}

class UpdateWindow : public ::testing::Test {
protected:
    void SetUp() override {
        SimulatorOptions options;
        options.version = "1.5.09";
        router = std::make_unique<Q73Simulator>(options);
        ASSERT_TRUE(router->start()) << router->error();
        ::setenv("COFRALIN_COM1", router->slavePath().c_str(), 1);
        // The shipped DOS_COMMAND names "q73upgrade", found in the current folder.
        program = std::filesystem::path(folder.path().toStdString()) / "q73upgrade";
        record = program.parent_path() / "argv.txt";
        testing::WriteRecorder(program, record, router->slavePath());

        window = std::make_unique<CMainDlg>(settings);
        ASSERT_TRUE(window->initialise());
        window->show();
        ASSERT_TRUE(
            OpenRouterPort(window->session(), "COM1:", router->slavePath(), window->frontend()));
        // Connected: the button is usable before it is pressed.
        window->session().SinglePcActive = 1;
        window->applyConnectionResult(QDialog::Accepted);
        ASSERT_TRUE(buttonOf(window.get(), 1005)->isEnabled());
    }
    void TearDown() override { ::setenv("COFRALIN_COM1", "/nonexistent/com1", 1); }

    testing::WorkingFolder folder;
    std::unique_ptr<Q73Simulator> router;
    std::filesystem::path program;
    std::filesystem::path record;
    Settings settings;
    std::unique_ptr<CMainDlg> window;
};

TEST_F(UpdateWindow, AcceptingStartsTheUpgradeProgramAndEndsTheWindow) {
    QString text;
    bool usableMeanwhile = true;
    const auto answering =
        answerMessage(QStringLiteral("Aceptar"), text, window.get(), usableMeanwhile);
    window->onUpdateClicked();

    EXPECT_TRUE(
        text.startsWith(QStringLiteral("La versión actual del software (1.6.00)\nes más "
                                       "nueva que la que tiene instalada el Router Q73 "
                                       "(1.5.09).")))
        << text.toStdString();
    EXPECT_EQ(testing::ReadRecord(record), (Strings{"free", "-p1", "--imagen", "q73-1.6.00.img"}));
    EXPECT_FALSE(usableMeanwhile);
    EXPECT_FALSE(window->session().portOpen());
    EXPECT_FALSE(window->isVisible());
    // The program ends: the button is never usable again.
    EXPECT_FALSE(buttonOf(window.get(), 1005)->isEnabled());
    EXPECT_EQ(window->result(), QDialog::Accepted);
}

TEST_F(UpdateWindow, CancellingLeavesTheWindowWithTheButtonEnabled) {
    QString text;
    bool usableMeanwhile = true;
    const auto answering =
        answerMessage(QStringLiteral("Cancelar"), text, window.get(), usableMeanwhile);
    window->onUpdateClicked();

    EXPECT_FALSE(text.isEmpty());
    EXPECT_TRUE(router->waitForReceived("exit \r\n", std::chrono::seconds(2)));
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(usableMeanwhile);
    EXPECT_TRUE(buttonOf(window.get(), 1005)->isEnabled());
    EXPECT_TRUE(window->session().portOpen());
    EXPECT_FALSE(std::filesystem::exists(record));
}

}  // namespace
}  // namespace cofralin
