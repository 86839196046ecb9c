// "Gestionar Puertos" offscreen over the simulated router: the enabling rules
// event by event, the texts the fields hand to the add, the sorted lists with
// their tabs, an add and a delete from the dialog, and the main window's button.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCursor>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <chrono>
#include <string>

#include "ip_address_edit.h"
#include "main_dlg.h"
#include "modal_script.h"
#include "ports_dlg.h"
#include "qt_frontend.h"
#include "simulator_session.h"

namespace cofralin {
namespace {

using namespace std::chrono_literals;
using testing::ModalScript;
using testing::SimulatorSession;
using Entries = std::vector<std::string>;

template <typename T>
T* control(QWidget& window, int id) {
    return qobject_cast<T*>(QtFrontend::findControl(window, id));
}

SimulatorOptions routerWithMappings() {
    SimulatorOptions options;
    options.mode = StartMode::MultiPc;
    options.mappings = {*parseMappingSpec("udp:5060:192.168.1.10:5060"),
                        *parseMappingSpec("udp:53:192.168.1.11:53"),
                        *parseMappingSpec("tcp:80:192.168.1.20:8080")};
    return options;
}

class PortsWindow : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(session.start());
        dialog.initialise();
        // The opening's last line is on its way to the router when initialise
        // returns; tests that count what the router got start after it.
        ASSERT_TRUE(session.simulator.waitForReceived("exit \r\n", std::chrono::seconds(2)));
        dialog.show();
        dialog.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    }

    QWidget* at(int id) { return QtFrontend::findControl(dialog, id); }
    QListWidget* list(int id) { return control<QListWidget>(dialog, id); }
    bool enabled(int id) { return at(id)->isEnabled(); }
    bool shown(int id) { return at(id)->isVisible(); }
    bool inputsEnabled(bool expected) {
        for (int id : {1018, 1019, 1020, 1027, 1028, 1029, 1030, 1031}) {
            if (enabled(id) != expected) return false;
        }
        return true;
    }
    void click(int id) {
        QTest::mouseClick(at(id), Qt::LeftButton, {}, QPoint(4, at(id)->height() / 2));
    }
    void focusInto(int id) {
        at(id)->setFocus(Qt::MouseFocusReason);
        QApplication::processEvents();
    }
    // A click of the user on the row of `list` that shows `entry`.
    void clickEntry(QListWidget* entries, const std::string& entry) {
        const QList<QListWidgetItem*> found =
            entries->findItems(QString::fromStdString(entry), Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1) << entry;
        QTest::mouseClick(entries->viewport(), Qt::LeftButton, {},
                          entries->visualItemRect(found.front()).center());
    }
    static Entries texts(QListWidget* entries) {
        Entries all;
        for (int row = 0; row < entries->count(); ++row) {
            all.push_back(entries->item(row)->text().toStdString());
        }
        return all;
    }

    SimulatorSession session{routerWithMappings()};
    CPortsDlg dialog{session.routerSession};
};

TEST_F(PortsWindow, OpeningLeavesOnlyTheTypeChoiceAndSalirUsable) {
    EXPECT_FALSE(shown(1025));
    EXPECT_FALSE(shown(1026));
    EXPECT_FALSE(enabled(1));
    EXPECT_FALSE(enabled(3));
    EXPECT_TRUE(enabled(2));
    EXPECT_TRUE(inputsEnabled(false));
    EXPECT_TRUE(enabled(1021));
    EXPECT_TRUE(enabled(1022));
    EXPECT_FALSE(control<QRadioButton>(dialog, 1021)->isChecked());
    EXPECT_FALSE(control<QRadioButton>(dialog, 1022)->isChecked());
    EXPECT_EQ(control<IpAddressEdit>(dialog, 1020)->text(), "0.0.0.0");
    EXPECT_EQ(control<QLabel>(dialog, 1023)->text(), "\r\nZarn-DSL>");
    EXPECT_EQ(dialog.mappingTexts().PrivateAddressText, "0.0.0.0");
    EXPECT_EQ(dialog.windowTitle(), "Gestionar Puertos");
    EXPECT_EQ(control<QPushButton>(dialog, 1)->text(), "Añadir Nuevo");
    EXPECT_EQ(control<QPushButton>(dialog, 3)->text(), "Eliminar Existente");
    EXPECT_TRUE(control<QPushButton>(dialog, 2)->isDefault());
}

TEST_F(PortsWindow, StateTableRowByRow) {
    // A type chosen: its list shown, the inputs usable, add still not.
    click(1021);
    EXPECT_TRUE(shown(1025));
    EXPECT_FALSE(shown(1026));
    EXPECT_FALSE(enabled(3));
    EXPECT_FALSE(enabled(1));
    EXPECT_TRUE(inputsEnabled(true));

    // A selection makes delete usable.
    clickEntry(list(1025), " 53\t192.168.001.011\t53");
    EXPECT_TRUE(enabled(3));

    // Focus into a port field starts a new entry.
    focusInto(1018);
    EXPECT_FALSE(enabled(3));
    EXPECT_TRUE(enabled(1));
    EXPECT_TRUE(list(1025)->selectedItems().isEmpty());

    // The other type: its list with no selection; nothing takes add away.
    click(1022);
    EXPECT_FALSE(shown(1025));
    EXPECT_TRUE(shown(1026));
    EXPECT_FALSE(enabled(3));
    EXPECT_TRUE(enabled(1));
    EXPECT_TRUE(inputsEnabled(true));

    clickEntry(list(1026), " 80\t192.168.001.020\t8080");
    EXPECT_TRUE(enabled(3));
    // A click on the type that is already set repeats its row.
    click(1022);
    EXPECT_FALSE(enabled(3));
    EXPECT_TRUE(list(1026)->selectedItems().isEmpty());
    EXPECT_TRUE(shown(1026));

    // Focus into the private port clears the selection of both lists.
    clickEntry(list(1026), " 80\t192.168.001.020\t8080");
    ASSERT_TRUE(enabled(3));
    focusInto(1019);
    EXPECT_FALSE(enabled(3));
    EXPECT_TRUE(list(1026)->selectedItems().isEmpty());
    EXPECT_TRUE(list(1025)->selectedItems().isEmpty());
    EXPECT_TRUE(enabled(1));
}

TEST_F(PortsWindow, FieldsHandTheirTextsOverAsTheyLoseTheFocusOrChange) {
    click(1021);
    focusInto(1018);
    QTest::keyClicks(at(1018), "6a0x00");  // digits only
    EXPECT_EQ(control<QLineEdit>(dialog, 1018)->text(), "6000");
    EXPECT_EQ(dialog.mappingTexts().PublicPortText, "");  // not until the focus leaves
    focusInto(1019);
    EXPECT_EQ(dialog.mappingTexts().PublicPortText, "6000");
    QTest::keyClicks(at(1019), "6001");
    focusInto(1018);
    EXPECT_EQ(dialog.mappingTexts().PrivatePortText, "6001");

    auto* address = control<IpAddressEdit>(dialog, 1020);
    // The opening put "0" in every field; typing replaces it.
    address->field(0)->setFocus();
    address->field(0)->selectAll();
    QTest::keyClicks(address->field(0), "192");
    // Every field change is copied at once, blank fields as 0.
    EXPECT_EQ(dialog.mappingTexts().PrivateAddressText, "192.0.0.0");
    QTest::keyClicks(address->field(1), "168");
    EXPECT_EQ(dialog.mappingTexts().PrivateAddressText, "192.168.0.0");
}

TEST_F(PortsWindow, ListsAreSortedAndKeepTheRouterTabs) {
    EXPECT_EQ(texts(list(1025)),
              (Entries{" 5060\t192.168.001.010\t5060", " 53\t192.168.001.011\t53"}));
    EXPECT_EQ(texts(list(1026)), (Entries{" 80\t192.168.001.020\t8080"}));
    EXPECT_EQ(list(1025)->item(0)->data(Qt::UserRole).toByteArray().toStdString(),
              " 5060\t192.168.001.010\t5060");
}

TEST_F(PortsWindow, TabsAreDrawnAtTheListTabStops) {
    click(1021);
    QListWidget* entries = list(1025);
    entries->clear();
    entries->addItem(QStringLiteral("1\t2"));
    entries->addItem(QStringLiteral("1 2"));
    QApplication::processEvents();
    const QImage image = entries->viewport()->grab().toImage();

    // The columns of each row that carry ink darker than the background.
    const auto inkColumns = [&](int row) {
        const QRect rect = entries->visualItemRect(entries->item(row));
        std::vector<int> columns;
        for (int x = 0; x < image.width(); ++x) {
            for (int y = rect.top(); y <= rect.bottom(); ++y) {
                if (qGray(image.pixel(x, y)) < 128) {
                    columns.push_back(x);
                    break;
                }
            }
        }
        return columns;
    };
    const std::vector<int> tabbed =
        inkColumns(entries->row(entries->findItems("1\t2", Qt::MatchExactly).front()));
    const std::vector<int> spaced =
        inkColumns(entries->row(entries->findItems("1 2", Qt::MatchExactly).front()));
    ASSERT_FALSE(tabbed.empty());
    ASSERT_FALSE(spaced.empty());
    // Both start at the same place; the tab puts the "2" at the first tab
    // stop, 32 dialog units (48 px) from the start of the text.
    EXPECT_EQ(tabbed.front(), spaced.front());
    const int textStart = tabbed.front();
    EXPECT_GE(tabbed.back() - spaced.back(), 30);
    EXPECT_GE(tabbed.back() - textStart, 48 - 2) << "ink ends at " << tabbed.back();
    EXPECT_LE(tabbed.back() - textStart, 48 + 10) << "ink ends at " << tabbed.back();
}

TEST_F(PortsWindow, AddFromTheDialogKeepsItOpenAndRefreshesTheList) {
    click(1021);
    focusInto(1018);
    QTest::keyClicks(at(1018), "6000");
    auto* address = control<IpAddressEdit>(dialog, 1020);
    const char* octets[] = {"192", "168", "1", "30"};
    for (int field = 0; field < 4; ++field) {
        address->field(field)->setFocus();
        address->field(field)->selectAll();
        QTest::keyClicks(address->field(field), octets[field]);
    }
    ASSERT_EQ(dialog.mappingTexts().PrivateAddressText, "192.168.1.30");

    ModalScript steps;
    steps.answer(QStringLiteral("Sí"));
    steps.run([&] { click(1); });
    ASSERT_TRUE(steps.finished());
    ASSERT_EQ(steps.messages.size(), 1u);
    EXPECT_EQ(steps.messages[0],
              QStringLiteral("Se dispone a añadir el puerto UDP público 6000\n¿Está seguro?"));
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(texts(list(1025)),
              (Entries{" 5060\t192.168.001.010\t5060", " 53\t192.168.001.011\t53",
                       " 6000\t192.168.001.030\t6000"}));
    EXPECT_FALSE(enabled(3));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(PortsWindow, AnAddWithAPortOutOfRangeIsRefusedInPlaceAndSendsNothing) {
    click(1022);
    focusInto(1018);
    QTest::keyClicks(at(1018), "70000");
    const std::size_t before = session.simulator.received().size();

    ModalScript steps;
    steps.answer(QStringLiteral("Aceptar"));
    steps.run([&] { click(1); });
    ASSERT_TRUE(steps.finished());
    ASSERT_EQ(steps.messages.size(), 1u);  // no question: the value is refused first
    EXPECT_EQ(steps.messages[0].left(26), QStringLiteral("El puerto público (70000) "));
    EXPECT_TRUE(IsMarkedRefused(*at(1018)));
    EXPECT_EQ(dialog.focusWidget(), at(1018));
    EXPECT_TRUE(enabled(1));
    QTest::qWait(150);
    EXPECT_EQ(session.simulator.received().size(), before);
}

TEST_F(PortsWindow, DeleteFromTheDialogAndNoChangesNothing) {
    click(1022);
    clickEntry(list(1026), " 80\t192.168.001.020\t8080");
    const std::size_t before = session.simulator.received().size();

    ModalScript no;
    no.answer(QStringLiteral("No"));
    no.run([&] { click(3); });
    ASSERT_TRUE(no.finished());
    QTest::qWait(150);
    EXPECT_EQ(session.simulator.received().size(), before);
    EXPECT_EQ(texts(list(1026)).size(), 1u);

    ModalScript yes;
    yes.answer(QStringLiteral("Sí"));
    yes.run([&] { click(3); });
    ASSERT_TRUE(yes.finished());
    EXPECT_EQ(yes.messages.at(0),
              QStringLiteral("Se dispone a eliminar el puerto TCP público  80\n¿Está seguro?"));
    EXPECT_TRUE(texts(list(1026)).empty());
    EXPECT_NE(
        session.simulator.received().find("delete nat tcp vc internet public_port  80\r\n \r\n"),
        std::string::npos);
}

TEST_F(PortsWindow, SalirAndEscapeCloseWithoutSendingAnything) {
    const std::size_t before = session.simulator.received().size();
    QTest::keyClick(&dialog, Qt::Key_Escape);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    dialog.show();
    click(2);
    EXPECT_FALSE(dialog.isVisible());
    QTest::qWait(150);
    EXPECT_EQ(session.simulator.received().size(), before);
}

TEST_F(PortsWindow, MainWindowRunsTheDialogWhichIsUsedWithTheArrow) {
    dialog.hide();
    CMainDlg window(session.settings);
    window.session().RouterPort = std::move(session.routerSession.RouterPort);
    window.session().MultiPcActive = 1;
    window.applyConnectionResult(QDialog::Accepted);
    window.show();
    auto* ports = control<QPushButton>(window, 1004);
    ASSERT_TRUE(ports->isEnabled());

    Entries shownEntries;
    bool arrowInDialog = false;
    ModalScript steps;
    steps.then([](QWidget* w) { return qobject_cast<CPortsDlg*>(w) != nullptr; },
               [&](QWidget* w) {
                   shownEntries = texts(control<QListWidget>(*w, 1025));
                   // No wait cursor is held around the dialog while it is used.
                   arrowInDialog = QApplication::overrideCursor() == nullptr;
                   QMetaObject::invokeMethod(w, "reject", Qt::QueuedConnection);
               });
    steps.run([&] { ports->click(); });
    ASSERT_TRUE(steps.finished());
    EXPECT_EQ(shownEntries, (Entries{" 5060\t192.168.001.010\t5060", " 53\t192.168.001.011\t53"}));
    EXPECT_TRUE(arrowInDialog);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

}  // namespace
}  // namespace cofralin
