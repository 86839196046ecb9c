// The password prompt, the Qt view of the procedures and the connection
// dialog, offscreen; the connection runs against a scripted router line.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>
#include <iterator>
#include <tuple>

#include "connect_dlg.h"
#include "event_turns.h"
#include "gui_test_support.h"
#include "login.h"
#include "password_dlg.h"
#include "qt_frontend.h"

namespace cofralin {
namespace {

using testing::buttonOf;
using testing::countOf;
using testing::ScriptedRouterLine;
using testing::whenModal;

QLineEdit* passwordEdit(QWidget* prompt) {
    return prompt->findChild<QLineEdit*>(QStringLiteral("idc_1017"));
}

TEST(PasswordPromptTest, EmptyAtEachShowingMaskedAndAnsweredByOkOrCancel) {
    CPasswordDlg prompt;
    EXPECT_EQ(prompt.windowTitle(), QStringLiteral("Password"));

    struct Seen {
        QString textAtShowing = QStringLiteral("?");
        QLineEdit::EchoMode echo = QLineEdit::Normal;
        bool focusOnPassword = false;
        bool cancelHidden = false;
    };
    Seen first;
    const auto answering1 = whenModal([&](QWidget* modal) {
        if (modal != &prompt) return false;
        QLineEdit* edit = passwordEdit(modal);
        first.textAtShowing = edit->text();
        first.echo = edit->echoMode();
        first.focusOnPassword = modal->focusWidget() == edit;
        first.cancelHidden = !buttonOf(modal, 2)->isVisible();
        // Typed where the focus is, then Enter.
        QTest::keyClicks(modal->focusWidget(), QStringLiteral("clave 1"));
        QTest::keyClick(modal->focusWidget(), Qt::Key_Return);
        return true;
    });
    EXPECT_EQ(prompt.ask(), QStringLiteral("clave 1"));
    EXPECT_EQ(first.textAtShowing, QString());
    EXPECT_EQ(first.echo, QLineEdit::Password);
    EXPECT_TRUE(first.focusOnPassword);
    EXPECT_TRUE(first.cancelHidden);

    // Shown again: the earlier text is gone; Escape cancels.
    QString second = QStringLiteral("?");
    const auto answering2 = whenModal([&](QWidget* modal) {
        if (modal != &prompt) return false;
        second = passwordEdit(modal)->text();
        QTest::keyClick(modal, Qt::Key_Escape);
        return true;
    });
    EXPECT_EQ(prompt.ask(), std::nullopt);
    EXPECT_EQ(second, QString());

    // OK with an empty edit gives an empty text.
    const auto answering3 = whenModal([&](QWidget* modal) {
        if (modal != &prompt) return false;
        buttonOf(modal, 1)->click();
        return true;
    });
    EXPECT_EQ(prompt.ask(), QString());

    // The close box cancels.
    const auto answering4 = whenModal([&](QWidget* modal) {
        if (modal != &prompt) return false;
        modal->close();
        return true;
    });
    EXPECT_EQ(prompt.ask(), std::nullopt);
}

TEST(PasswordPromptTest, ThroughTheViewSetsUserPasswordOrGivesUp) {
    QDialog window;
    QtFrontend view(window);
    Settings settings;
    RouterSession state(settings);
    state.KeepTrying = 1;
    state.UserPassword = "vieja\r\n";

    const auto answering5 = whenModal([&](QWidget* modal) {
        if (!qobject_cast<CPasswordDlg*>(modal)) return false;
        passwordEdit(modal)->insert(QStringLiteral("año€"));  // as typed
        buttonOf(modal, 1)->click();
        return true;
    });
    RunPasswordPrompt(state, view);
    EXPECT_EQ(state.UserPassword, "a\xF1o\x80\r\n");  // Windows-1252 for the router
    EXPECT_EQ(state.KeepTrying, 1);

    const auto answering6 = whenModal([&](QWidget* modal) {
        if (!qobject_cast<CPasswordDlg*>(modal)) return false;
        QTest::keyClick(modal, Qt::Key_Escape);
        return true;
    });
    RunPasswordPrompt(state, view);
    EXPECT_EQ(state.KeepTrying, 0);
    EXPECT_EQ(state.UserPassword, "a\xF1o\x80\r\n");
}

class ViewTest : public ::testing::Test {
protected:
    ViewTest() {
        status->setObjectName(QStringLiteral("idc_1007"));
        progress->setObjectName(QStringLiteral("idc_1006"));
        progress->setRange(0, 9);
        edit->setObjectName(QStringLiteral("idc_1014"));
        button->setObjectName(QStringLiteral("idc_1"));
        layout->addWidget(status);
        layout->addWidget(progress);
        layout->addWidget(edit);
        layout->addWidget(button);
        window.show();
    }

    QDialog window;
    QVBoxLayout* layout = new QVBoxLayout(&window);
    QLabel* status = new QLabel;
    QProgressBar* progress = new QProgressBar;
    QLineEdit* edit = new QLineEdit;
    QPushButton* button = new QPushButton(QStringLiteral("OK"));
};

TEST_F(ViewTest, StatusIsPlainTextAndTheBarHoldsAtItsEnds) {
    status->setTextFormat(Qt::RichText);
    QtFrontend view(window, 1007, 1006);
    view.status("<b>Zarn</b> caf\xC3\xA9\r\nZarn-DSL>");
    EXPECT_EQ(status->textFormat(), Qt::PlainText);
    EXPECT_EQ(status->text(), QStringLiteral("<b>Zarn</b> café\r\nZarn-DSL>"));

    view.progress(4);
    EXPECT_EQ(progress->value(), 4);
    view.progress(15);
    EXPECT_EQ(progress->value(), 9);
}

TEST_F(ViewTest, MessageBoxesInSpanish) {
    QtFrontend view(window);
    QStringList buttons;
    QString caption;
    const auto answering7 = whenModal([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (!box) return false;
        caption = box->windowTitle();
        for (QAbstractButton* b : box->buttons()) buttons << b->text();
        for (QAbstractButton* b : box->buttons()) {
            if (b->text() == QStringLiteral("Sí")) b->click();
        }
        return true;
    });
    EXPECT_EQ(
        view.showMessage("¿Seguro?", "Multipuesto", MessageButtons::YesNo, MessageSeverity::Notice),
        MessageAnswer::Yes);
    EXPECT_EQ(caption, QStringLiteral("Multipuesto"));
    buttons.sort();
    EXPECT_EQ(buttons, (QStringList{QStringLiteral("No"), QStringLiteral("Sí")}));

    // Escape answers No to a question and Cancel to OK/Cancel.
    const auto answering8 = whenModal([&](QWidget* modal) {
        if (!qobject_cast<QMessageBox*>(modal)) return false;
        QTest::keyClick(modal, Qt::Key_Escape);
        return true;
    });
    EXPECT_EQ(
        view.showMessage("¿Seguro?", "Multipuesto", MessageButtons::YesNo, MessageSeverity::Notice),
        MessageAnswer::No);

    buttons.clear();
    const auto answering9 = whenModal([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (!box) return false;
        for (QAbstractButton* b : box->buttons()) buttons << b->text();
        QTest::keyClick(modal, Qt::Key_Escape);
        return true;
    });
    EXPECT_EQ(view.showMessage("Actualizar", "Actualización", MessageButtons::OkCancel,
                               MessageSeverity::Notice),
              MessageAnswer::Cancel);
    buttons.sort();
    EXPECT_EQ(buttons, (QStringList{QStringLiteral("Aceptar"), QStringLiteral("Cancelar")}));

    // The sign follows the severity given, whatever the caption says.
    for (const auto& [caption, severity, sign] :
         {std::tuple{"Error", MessageSeverity::Notice, QMessageBox::Information},
          std::tuple{"Cofralin", MessageSeverity::Failure, QMessageBox::Warning}}) {
        QMessageBox::Icon shown = QMessageBox::NoIcon;
        const auto answering = whenModal([&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            if (!box) return false;
            shown = box->icon();
            box->accept();
            return true;
        });
        view.showMessage("Aviso", caption, MessageButtons::Ok, severity);
        EXPECT_EQ(shown, sign) << caption;
    }
}

TEST_F(ViewTest, BusySetsAndRestoresTheWaitCursor) {
    QtFrontend view(window);
    ASSERT_EQ(QApplication::overrideCursor(), nullptr);
    view.busy(true);
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    view.busy(true);
    view.busy(false);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    // An arrow asked for without a wait cursor leaves nothing behind.
    view.busy(false);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

// A router that wants a password other than the built-in one, echoes "*" for
// it, and then reports its circuit and the DHCP setting `dhcp`.
std::function<std::string(std::string_view)> routerWithPassword(std::string dhcp) {
    auto loggedIn = std::make_shared<bool>(false);
    return [loggedIn, dhcp](std::string_view written) -> std::string {
        const std::string prompt = "\r\nZarn-DSL>";
        if (!*loggedIn) {
            if (written == "clave\r\n") {
                *loggedIn = true;
                return "*****\r\n" + prompt;
            }
            return written == "\r" ? "\r\nLogin incorrect\r\nPassword: " : "";
        }
        if (written == "\r") return prompt;
        if (written.find("show vc internet") != std::string_view::npos) {
            return "show vc internet\r\nVC internet: vpi 8 vci 32\r\n"
                   "Local IP Address:                          192.000.002.010\r\n";
        }
        if (written.find("show dhcp server") != std::string_view::npos) {
            return "show dhcp server\r\nDHCP Server: " + dhcp + "\r\n";
        }
        return "";
    };
}

class ConnectDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(LoadCommandCatalogue(settings.catalogue, COFRALIN_SOURCE_DIR).status,
                  CatalogueLoadResult::Status::Loaded);
    }

    ScriptedRouterLine* plugRouter(std::function<std::string(std::string_view)> respond) {
        auto line = std::make_unique<ScriptedRouterLine>();
        line->respond = std::move(respond);
        ScriptedRouterLine* raw = line.get();
        state.RouterPort = std::move(line);
        return raw;
    }

    Settings settings;
    RouterSession state{settings};
};

TEST_F(ConnectDialogTest, ButtonsWaitForTheOutcomeAndEscapeWaitsForCancel) {
    // A silent router: no answer at all.
    plugRouter({});
    state.MultiPcActive = 1;
    CConnectDlg dialog(state);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Comunicación"));
    EXPECT_FALSE(dialog.windowFlags() & Qt::WindowCloseButtonHint);

    dialog.setModal(true);
    dialog.show();
    EXPECT_FALSE(buttonOf(&dialog, 1)->isEnabled());
    EXPECT_FALSE(buttonOf(&dialog, 2)->isEnabled());
    EXPECT_EQ(state.KeepTrying, 1);
    EXPECT_EQ(state.MultiPcActive, 0);
    EXPECT_EQ(state.SentLineCount, 0);
    QTest::keyClick(&dialog, Qt::Key_Escape);
    dialog.close();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_FALSE(dialog.outcome().has_value());

    ASSERT_TRUE(QTest::qWaitFor([&] { return dialog.outcome().has_value(); }, 10000));
    EXPECT_EQ(dialog.outcome()->ending, Ending::NoAnswer);
    EXPECT_FALSE(buttonOf(&dialog, 1)->isEnabled());
    EXPECT_TRUE(buttonOf(&dialog, 2)->isEnabled());
    EXPECT_EQ(dialog.findChild<QLabel*>(QStringLiteral("idc_1007"))->text(),
              QStringLiteral("El Router no responde.\nPulse CANCEL para continuar."));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    QTest::keyClick(&dialog, Qt::Key_Escape);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
}

TEST_F(ConnectDialogTest, PasswordPromptDuringTheProcedureRunsItOnlyOnce) {
    ScriptedRouterLine* router = plugRouter(routerWithPassword("DISABLED"));
    CConnectDlg dialog(state);

    int prompts = 0;
    QElapsedTimer promptOpen;
    CPasswordDlg* current = nullptr;
    // The prompt stays open for a while, so that several timer ticks reach
    // the connection dialog meanwhile.
    const auto answering10 = whenModal([&](QWidget* modal) {
        auto* prompt = qobject_cast<CPasswordDlg*>(modal);
        if (!prompt) return false;
        if (prompt != current) {
            current = prompt;
            ++prompts;
            promptOpen.start();
        }
        if (promptOpen.elapsed() < 400) return false;
        QTest::keyClicks(passwordEdit(prompt), QStringLiteral("clave"));
        buttonOf(prompt, 1)->click();
        return true;
    });
    bool escapeIgnored = false;
    const auto answering11 = whenModal([&](QWidget* modal) {
        if (modal != &dialog || !buttonOf(modal, 1)->isEnabled()) return false;
        QTest::keyClick(modal, Qt::Key_Escape);
        escapeIgnored = modal->isVisible();
        buttonOf(modal, 1)->click();
        return true;
    });
    const int result = dialog.exec();

    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_TRUE(escapeIgnored);  // after a success only OK ends the dialog
    EXPECT_EQ(dialog.outcome()->ending, Ending::Done);
    EXPECT_EQ(prompts, 1);
    EXPECT_EQ(countOf(router->written, "pelnotra"), 1u);
    EXPECT_EQ(countOf(router->written, "clave\r\n"), 1u);
    EXPECT_EQ(countOf(router->written, "show vc internet"), 1u);
    EXPECT_EQ(countOf(router->written, "show dhcp server"), 1u);
    EXPECT_EQ(state.MultiPcActive, 1);
    EXPECT_EQ(state.SinglePcActive, 0);
    EXPECT_EQ(dialog.findChild<QLabel*>(QStringLiteral("idc_1007"))->text(),
              QStringLiteral("Conexión establecida.\nPulse OK para continuar."));
    EXPECT_FALSE(buttonOf(&dialog, 2)->isEnabled());
    auto* bar = dialog.findChild<QProgressBar*>(QStringLiteral("idc_1006"));
    EXPECT_EQ(bar->maximum(), 9);
    EXPECT_GT(bar->value(), 0);
}

TEST_F(ConnectDialogTest, APasswordWithAControlCharacterIsRefusedAndNothingOfItSent) {
    ScriptedRouterLine* router = plugRouter(routerWithPassword("DISABLED"));
    CConnectDlg dialog(state);
    const QString refusals[] = {
        QStringLiteral("clave\r\nset dhcp mode disable\r\nsave all"),
        QStringLiteral("cla\tve"),
        QStringLiteral("clave\x1b"),
        QStringLiteral("clave\x7f"),
        QString(QChar(0x85)),
    };
    QStringList told;
    bool prompted = false;
    const auto answering = whenModal([&](QWidget* modal) {
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            told << box->text();
            box->accept();
            return false;
        }
        if (modal == &dialog && buttonOf(modal, 1)->isEnabled()) {
            buttonOf(modal, 1)->click();
            return true;
        }
        auto* prompt = qobject_cast<CPasswordDlg*>(modal);
        if (!prompt || prompted) return false;
        prompted = true;
        QLineEdit* edit = passwordEdit(prompt);
        // Each paste is undone with a message, the prompt staying open.
        for (const QString& text : refusals) {
            const qsizetype before = told.size();
            QGuiApplication::clipboard()->setText(text);
            edit->paste();
            EXPECT_EQ(told.size(), before + 1) << text.toStdString();
            EXPECT_EQ(edit->text(), QString()) << text.toStdString();
        }
        // A text set past the edit's own check is refused at OK as well.
        edit->setText(QStringLiteral("clave\nsave all"));
        const qsizetype before = told.size();
        buttonOf(prompt, 1)->click();
        EXPECT_EQ(told.size(), before + 1);
        EXPECT_TRUE(prompt->isVisible());
        EXPECT_EQ(edit->text(), QString());
        QTest::keyClicks(edit, QStringLiteral("clave"));
        buttonOf(prompt, 1)->click();
        return false;
    });
    EXPECT_EQ(dialog.exec(), QDialog::Accepted);

    EXPECT_GE(static_cast<std::size_t>(told.size()), std::size(refusals) + 1);
    for (const QString& text : told) EXPECT_EQ(text, CPasswordDlg::controlCharacterText());
    EXPECT_EQ(countOf(router->written, "clave"), 1u);
    EXPECT_EQ(countOf(router->written, "clave\r\n"), 1u);
    EXPECT_EQ(countOf(router->written, "save all"), 0u);
    EXPECT_EQ(countOf(router->written, "set dhcp"), 0u);
}

// What the line's idle callback runs during a procedure: it paints, but no
// timer tick and no close request gets through, so nothing can start a
// second procedure or end the dialog under the running one.
TEST(EventTurnTest, ATurnPaintsButHoldsBackTimersAndCloseRequests) {
    QWidget window;
    window.resize(100, 50);
    window.show();
    testing::spinEvents(50);
    int paints = 0;
    struct PaintCount final : QObject {
        int& count;
        explicit PaintCount(int& c) : count(c) {}
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() == QEvent::Paint) ++count;
            return false;
        }
    } counter(paints);
    window.installEventFilter(&counter);
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&ticks] { ++ticks; });
    timer.start(0);
    window.update();
    QCoreApplication::postEvent(&window, new QCloseEvent);

    TurnEventLoopOnce();
    EXPECT_GT(paints, 0);
    EXPECT_EQ(ticks, 0);
    EXPECT_TRUE(window.isVisible());

    testing::spinEvents(20);
    EXPECT_GT(ticks, 0);  // held back only for the turn
}

// A click or a key that comes while a procedure waits is dropped: it is not
// run during the turn, nor once the procedure has ended.
TEST(EventTurnTest, ClicksAndKeysDuringATurnAreDroppedNotRunAfterIt) {
    QPushButton button(QStringLiteral("Ayuda"));
    button.resize(80, 30);
    button.show();
    testing::spinEvents(50);
    int clicks = 0;
    QObject::connect(&button, &QPushButton::clicked, [&clicks] { ++clicks; });
    const QPointF centre(button.rect().center());
    for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QCoreApplication::postEvent(
            &button,
            new QMouseEvent(type, centre, button.mapToGlobal(centre), Qt::LeftButton,
                            type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                            Qt::NoModifier));
    }
    button.setFocus();
    QCoreApplication::postEvent(&button,
                                new QKeyEvent(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier));
    QCoreApplication::postEvent(&button,
                                new QKeyEvent(QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier));

    TurnEventLoopOnce();
    EXPECT_EQ(clicks, 0);
    testing::spinEvents(50);
    EXPECT_EQ(clicks, 0);
}

}  // namespace
}  // namespace cofralin
