// The main window offscreen: its start, the states after each connection
// outcome, a failed open, the About box, help, the radio clicks and closing.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QRadioButton>
#include <QTest>

#include "about_dlg.h"
#include "fake_serial_tree.h"
#include "gui_test_support.h"
#include "main_dlg.h"
#include "pty_pair.h"
#include "run_log.h"

namespace cofralin {
namespace {

using testing::buttonOf;
using testing::whenModal;
using testing::WorkingFolder;

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        window = std::make_unique<CMainDlg>(settings);
        ASSERT_TRUE(window->initialise());
        window->show();
    }

    QWidget* control(int id) { return QtFrontend::findControl(*window, id); }
    bool enabled(int id) { return control(id)->isEnabled(); }
    bool checked(int id) { return buttonOf(window.get(), id)->isChecked(); }
    bool lampShown(int id) { return control(id)->isVisible(); }
    QComboBox* ports() { return qobject_cast<QComboBox*>(control(1001)); }

    // The lit lamp, checked against the other two: exactly one is visible.
    int litLamp() {
        int lit = 0;
        int count = 0;
        for (const int id : {1008, 1010, 1011}) {
            if (lampShown(id)) {
                lit = id;
                ++count;
            }
        }
        return count == 1 ? lit : -count;
    }

    void connectWith(int single, int multi, int result) {
        window->session().SinglePcActive = single;
        window->session().MultiPcActive = multi;
        window->applyConnectionResult(result);
    }

    WorkingFolder folder;
    Settings settings;
    std::unique_ptr<CMainDlg> window;
};

TEST_F(MainWindowTest, StartsNotConnected) {
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Q73 ADSL Zarn Router 1.5.1"));
    EXPECT_EQ(litLamp(), 1011);
    for (const int id : {1002, 1003, 1004, 1005}) EXPECT_FALSE(enabled(id)) << id;
    for (const int id : {1001, 1006, 2}) EXPECT_TRUE(enabled(id)) << id;
    EXPECT_FALSE(checked(1002));
    EXPECT_FALSE(checked(1003));
    EXPECT_EQ(ports()->currentIndex(), -1);
    EXPECT_EQ(ports()->count(), 0);  // no port of this machine can be opened
    EXPECT_EQ(settings.DefaultPassword, "pelnotra");
    EXPECT_EQ(settings.catalogue[CatalogueKey::HTML_HELP], "ayuda.html");
    EXPECT_EQ(buttonOf(window.get(), 1004)->text(), QStringLiteral("Gestionar Puertos"));
    EXPECT_EQ(buttonOf(window.get(), 1005)->text(), QStringLiteral("Actualizar Software"));
    EXPECT_EQ(buttonOf(window.get(), 1006)->text(), QStringLiteral("Ayuda"));
    EXPECT_EQ(buttonOf(window.get(), 2)->text(), QStringLiteral("Salir"));
    EXPECT_EQ(buttonOf(window.get(), 1002)->text(), QStringLiteral("Monopuesto"));
    EXPECT_EQ(buttonOf(window.get(), 1003)->text(), QStringLiteral("Multipuesto"));
    EXPECT_NE(window->windowIcon().pixmap(32, 32).toImage().pixel(16, 16), 0u);
}

TEST_F(MainWindowTest, ConnectedInEachMode) {
    connectWith(0, 1, QDialog::Accepted);
    EXPECT_EQ(litLamp(), 1008);
    for (const int id : {1002, 1003, 1004, 1005}) EXPECT_TRUE(enabled(id)) << id;
    EXPECT_TRUE(checked(1003));
    EXPECT_FALSE(checked(1002));

    // A second connection finding single-PC: the mark moves, 1004 stays enabled.
    connectWith(1, 0, QDialog::Accepted);
    EXPECT_EQ(litLamp(), 1008);
    EXPECT_TRUE(checked(1002));
    EXPECT_FALSE(checked(1003));
    EXPECT_TRUE(enabled(1004));
}

TEST_F(MainWindowTest, FirstConnectionInSinglePcLeavesPortsDisabled) {
    connectWith(1, 0, QDialog::Accepted);
    EXPECT_TRUE(checked(1002));
    EXPECT_FALSE(checked(1003));
    EXPECT_FALSE(enabled(1004));
    EXPECT_TRUE(enabled(1005));
}

TEST_F(MainWindowTest, FailureAfterSuccessDisablesAndKeepsTheMark) {
    connectWith(0, 1, QDialog::Accepted);
    connectWith(0, 0, QDialog::Rejected);
    EXPECT_EQ(litLamp(), 1011);
    for (const int id : {1002, 1003, 1004, 1005}) EXPECT_FALSE(enabled(id)) << id;
    EXPECT_TRUE(checked(1003));
    EXPECT_FALSE(checked(1002));
    for (const int id : {1001, 1006, 2}) EXPECT_TRUE(enabled(id)) << id;
}

TEST_F(MainWindowTest, FailedOpenKeepsTheAmberLampAndTheButtons) {
    connectWith(0, 1, QDialog::Accepted);
    ports()->addItem(QStringLiteral("COM1:"));

    QString text;
    QString caption;
    const auto answering1 = whenModal([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (!box) return false;
        text = box->text();
        caption = box->windowTitle();
        box->buttons().front()->click();
        return true;
    });
    emit ports()->activated(0);

    EXPECT_EQ(text, QStringLiteral("No pudo abrirse el puerto de comunicaciones COM1:"));
    EXPECT_EQ(caption, QStringLiteral("Error"));
    EXPECT_EQ(litLamp(), 1010);
    for (const int id : {1002, 1003, 1004, 1005}) EXPECT_TRUE(enabled(id)) << id;
    EXPECT_TRUE(checked(1003));
    EXPECT_FALSE(window->session().portOpen());
}

TEST_F(MainWindowTest, ARunLogThatCannotBeWrittenIsToldOnceWithoutWaiting) {
    window->session().runLog.setPath("Router.log");
    ASSERT_EQ(::mkfifo("Router.log", 0600), 0);
    window->session().runLog.Append("uno");
    window->session().runLog.Append("dos");
    const QList<QMessageBox*> boxes =
        window->findChildren<QMessageBox*>(QStringLiteral("runLogFailure"));
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_TRUE(boxes[0]->isVisible());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_EQ(boxes[0]->text(),
              QStringLiteral("No se puede escribir el registro Router.log: no es un fichero "
                             "normal. Las respuestas del router no se guardarán en él."));
}

TEST_F(MainWindowTest, OpeningTheSelectorReadsThePortsAgainAndKeepsTheChoice) {
    testing::FakeSerialTree tree;
    window->setPortSystem(tree.paths());
    for (int n = 1; n <= 4; ++n) ::unsetenv(("COFRALIN_COM" + std::to_string(n)).c_str());
    auto* info = window->findChild<QLabel*>(QStringLiteral("portInfoLabel"));
    ASSERT_NE(info, nullptr);
    const auto reread = [&] {
        ports()->showPopup();
        ports()->hidePopup();
    };
    const auto entries = [&] {
        QStringList shown;
        for (int i = 0; i < ports()->count(); ++i) {
            shown << ports()->itemText(i) + " " + ports()->itemData(i, Qt::ToolTipRole).toString();
        }
        return shown;
    };
    const auto node = [&](const char* name) { return QString::fromStdString(tree.node(name)); };
    testing::PtyPair first;
    testing::PtyPair second;

    reread();
    EXPECT_EQ(ports()->count(), 0);
    EXPECT_EQ(info->text(), QString());

    // Plugged in after start: there at the next drop-down, without a restart.
    tree.addUsb("ttyUSB0", "1-2", "FT232R USB UART", "A10K3XYZ", first.path());
    reread();
    const QString usb0 = node("ttyUSB0") + QStringLiteral(" · FT232R USB UART · A10K3XYZ");
    EXPECT_EQ(entries(), QStringList{"COM1: " + usb0});
    ports()->setCurrentIndex(0);
    EXPECT_EQ(info->text(), usb0);
    EXPECT_EQ(ports()->toolTip(), usb0);

    // A second adapter at an earlier physical path, held by another program:
    // the choice keeps its name, and the line under the selector says why the
    // new one is not offered.
    tree.addUsb("ttyACM0", "1-1", "USB Serial", "", second.path());
    TermiosSerialLine holder;
    ASSERT_TRUE(holder.open(second.path()).opened);
    reread();
    EXPECT_EQ(entries(), QStringList{"COM1: " + usb0});
    EXPECT_EQ(ports()->currentText(), QStringLiteral("COM1:"));
    EXPECT_EQ(info->text(),
              usb0 + "\n" + node("ttyACM0") + QStringLiteral(" está en uso por otro programa."));

    holder.close();
    reread();
    EXPECT_EQ(entries(),
              (QStringList{"COM1: " + usb0, "COM2: " + node("ttyACM0") + " · USB Serial"}));
    EXPECT_EQ(ports()->currentIndex(), 0);
    EXPECT_EQ(info->text(), usb0);
    // Reading the ports chose none: nothing was opened.
    EXPECT_EQ(litLamp(), 1011);
    EXPECT_FALSE(window->session().portOpen());
}

TEST_F(MainWindowTest, ATypedPortNameStartsNoConnection) {
    ports()->addItem(QStringLiteral("COM1:"));
    ports()->setCurrentIndex(-1);
    ports()->setFocus();
    QTest::keyClicks(ports(), QStringLiteral("com1:"));
    EXPECT_EQ(ports()->currentText(), QString());
    EXPECT_EQ(ports()->currentIndex(), -1);

    QString shown;
    const auto answering = whenModal([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (!box) return false;
        shown = box->text();
        box->buttons().front()->click();
        return true;
    });
    QTest::keyClick(ports(), Qt::Key_Return);
    EXPECT_EQ(shown, QString());
    EXPECT_EQ(window->windowState().lamp, Lamp::NotConnected);
    EXPECT_FALSE(window->session().portOpen());
}

TEST_F(MainWindowTest, AboutBoxFromTheContextMenu) {
    connectWith(0, 1, QDialog::Accepted);
    const MainWindowState before = window->windowState();

    EXPECT_EQ(window->contextMenuPolicy(), Qt::ActionsContextMenu);
    QAction* about = nullptr;
    for (QAction* action : window->actions()) {
        if (action->text() == QStringLiteral("&Acerca de Cofralin...")) about = action;
    }
    ASSERT_NE(about, nullptr);

    QString title;
    QStringList texts;
    const auto answering2 = whenModal([&](QWidget* modal) {
        auto* box = qobject_cast<CAboutDlg*>(modal);
        if (!box) return false;
        title = box->windowTitle();
        for (QLabel* label : box->findChildren<QLabel*>()) texts << label->text();
        buttonOf(box, 1)->click();
        return true;
    });
    about->trigger();

    EXPECT_EQ(title, QStringLiteral("Acerca de Cofralin Q73"));
    EXPECT_TRUE(texts.contains(QStringLiteral("Cofralin Versión 1.5.1")));
    EXPECT_EQ(window->windowState(), before);
    EXPECT_EQ(litLamp(), 1008);
    EXPECT_TRUE(checked(1003));
    EXPECT_TRUE(window->isVisible());
}

TEST_F(MainWindowTest, HelpOpensTheCatalogueEntryFromTheCurrentFolder) {
    std::vector<QUrl> opened;
    std::function<void()> failed;
    window->setDocumentOpener([&](const QUrl& url, std::function<void()> whenFailed) {
        opened.push_back(url);
        failed = std::move(whenFailed);
    });
    buttonOf(window.get(), 1006)->click();
    ASSERT_EQ(opened.size(), 1u);
    const QString document = QDir(folder.path()).absoluteFilePath("ayuda.html");
    EXPECT_EQ(opened.front(), QUrl::fromLocalFile(document));
    EXPECT_EQ(window->findChild<QMessageBox*>(QStringLiteral("helpLocation")), nullptr);

    // No program could show it: the window says where the document lies.
    failed();
    auto* box = window->findChild<QMessageBox*>(QStringLiteral("helpLocation"));
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->text().endsWith(QStringLiteral("\n") + document)) << box->text().toStdString();
    box->accept();

    settings.catalogue[CatalogueKey::HTML_HELP].clear();
    buttonOf(window.get(), 1006)->click();
    EXPECT_EQ(opened.size(), 1u);
}

TEST_F(MainWindowTest, RadioClickWithoutAKnownModeOnlyMovesTheMark) {
    connectWith(0, 0, QDialog::Accepted);
    buttonOf(window.get(), 1003)->click();
    EXPECT_TRUE(checked(1003));
    EXPECT_FALSE(checked(1002));
    EXPECT_FALSE(enabled(1004));
    EXPECT_EQ(window->session().MultiPcActive, 0);
    EXPECT_EQ(window->session().SinglePcActive, 0);

    buttonOf(window.get(), 1002)->click();
    EXPECT_TRUE(checked(1002));
    EXPECT_FALSE(checked(1003));
    EXPECT_EQ(window->session().SinglePcActive, 0);
}

TEST_F(MainWindowTest, ClickOnTheActiveModeDoesNothing) {
    connectWith(0, 1, QDialog::Accepted);
    const MainWindowState before = window->windowState();
    buttonOf(window.get(), 1003)->click();
    EXPECT_EQ(window->windowState(), before);
    EXPECT_EQ(window->session().MultiPcActive, 1);
}

TEST_F(MainWindowTest, SwitchToMultiPcLeavesPortsWithTheRecordedModeAndRestoresTheCursor) {
    connectWith(1, 0, QDialog::Accepted);
    ASSERT_FALSE(enabled(1004));
    // Whatever the mode dialog shows is answered: message boxes with their
    // first button, dialogs with OK (they may refuse Escape).
    const auto answering3 = whenModal(
        [&](QWidget* modal) {
            if (modal == window.get()) return false;
            if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                box->buttons().front()->click();
            } else if (QAbstractButton* ok = buttonOf(modal, 1); ok && ok->isEnabled()) {
                ok->click();
            } else if (auto* dialog = qobject_cast<QDialog*>(modal)) {
                dialog->reject();
            }
            return false;
        },
        5000);
    buttonOf(window.get(), 1003)->click();
    EXPECT_EQ(enabled(1004), window->session().MultiPcActive == 1);
    EXPECT_EQ(checked(1003), window->session().MultiPcActive == 1);
    EXPECT_TRUE(checked(1002) != checked(1003));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(MainWindowTest, SalirAndEscapeReleaseThePort) {
    window->session().RouterPort = std::make_unique<testing::ScriptedRouterLine>();
    ASSERT_TRUE(window->session().portOpen());
    buttonOf(window.get(), 2)->click();
    EXPECT_FALSE(window->session().portOpen());
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->result(), QDialog::Rejected);

    window->show();
    window->session().RouterPort = std::make_unique<testing::ScriptedRouterLine>();
    QTest::keyClick(window.get(), Qt::Key_Escape);
    EXPECT_FALSE(window->session().portOpen());
    EXPECT_FALSE(window->isVisible());

    window->show();
    window->session().RouterPort = std::make_unique<testing::ScriptedRouterLine>();
    window->close();
    EXPECT_FALSE(window->session().portOpen());
}

TEST(MainWindowStartTest, MissingCatalogueEndsBeforeTheWindowShows) {
    WorkingFolder empty(false);
    Settings settings;
    CMainDlg window(settings);
    QString text;
    QString caption;
    const auto answering4 = whenModal([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (!box) return false;
        text = box->text();
        caption = box->windowTitle();
        box->buttons().front()->click();
        return true;
    });
    EXPECT_FALSE(window.initialise());
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(caption, QStringLiteral("Cofralin"));
    EXPECT_EQ(text.section(QLatin1Char('\n'), 0, 0),
              QStringLiteral("No pudo abrirse el fichero de datos \"CONFIG.TXT\""));
    EXPECT_TRUE(text.section(QLatin1Char('\n'), 1).contains(QDir::currentPath()));
}

TEST(MainWindowStartTest, AnEmptyCommandIsNamedAtStartAndTheWindowStillOpens) {
    WorkingFolder folder;
    QFile file(QDir(folder.path()).filePath(QStringLiteral("CONFIG.TXT")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QByteArray text = file.readAll();
    file.close();
    text.replace("SAVE_ALL\r\nsave all\r\n", "SAVE_ALL\r\n\r\n");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
    file.close();

    Settings settings;
    CMainDlg window(settings);
    QStringList texts;
    const auto answering = whenModal([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (!box) return false;
        texts << box->windowTitle() + QLatin1Char('|') + box->text();
        box->buttons().front()->click();
        return true;
    });
    EXPECT_TRUE(window.initialise());
    ASSERT_EQ(texts.size(), 1);
    EXPECT_TRUE(
        texts[0].startsWith(QStringLiteral("Cofralin|Falta una orden en CONFIG.TXT: SAVE_ALL.\n")))
        << texts[0].toStdString();
    EXPECT_TRUE(settings.catalogue[CatalogueKey::SAVE_ALL].empty());
}

}  // namespace
}  // namespace cofralin
