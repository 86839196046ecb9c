// Takes a picture of every window as a new user first sees it, to check the
// look by eye; run by screenshot.sh under Xvfb. Not a test.
// Usage: cofralin_window_pictures OUTPUT_DIR [FAMILY POINTS]
// FAMILY and POINTS stand for the desktop's font; the screen's scale is the
// environment's (QT_SCALE_FACTOR).
#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLayout>
#include <QListWidget>
#include <QMessageBox>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <string_view>

#include "about_dlg.h"
#include "connect_dlg.h"
#include "connection.h"
#include "dialog_texts.h"
#include "gui_test_support.h"
#include "login.h"
#include "main_dlg.h"
#include "multi_pc.h"
#include "multi_pc_dlg.h"
#include "password_dlg.h"
#include "ports_dlg.h"
#include "qt_frontend.h"
#include "single_pc.h"
#include "single_pc_dlg.h"
#include "software_update.h"

namespace {

using namespace cofralin;

QDir output;
int failures = 0;

void save(QWidget& window, const QString& name) {
    window.ensurePolished();
    // As showing the window would: its layout, then each container's.
    if (window.layout()) window.layout()->activate();
    for (QWidget* widget : window.findChildren<QWidget*>()) {
        if (widget->layout()) widget->layout()->activate();
    }
    const QString path = output.filePath(name + QStringLiteral(".png"));
    if (!window.grab().save(path)) {
        std::fprintf(stderr, "could not write %s\n", qPrintable(path));
        ++failures;
        return;
    }
    std::printf("%s\n", qPrintable(path));
}

void setStatus(QWidget& window, int id, std::string_view text) {
    if (auto* label = qobject_cast<QLabel*>(QtFrontend::findControl(window, id))) {
        label->setText(QString::fromUtf8(text.data(), qsizetype(text.size())));
    }
}

// The window is drawn without being run: running the dialogs would start
// their talk with the router.
// Shows or hides, enables or disables a control as the dialog's state does.
void setControl(QWidget& window, int id, bool shown, bool enabled) {
    if (QWidget* control = QtFrontend::findControl(window, id)) {
        control->setVisible(shown);
        control->setEnabled(enabled);
    }
}

// `state` puts the window's buttons as they stand when `status` shows.
template <typename Window>
void picture(const QString& name, int statusId = 0, std::string_view status = {},
             const std::function<void(QWidget&)>& state = {}) {
    Settings settings;
    RouterSession session(settings);
    Window window(session);
    if (statusId != 0) setStatus(window, statusId, status);
    if (state) state(window);
    save(window, name);
}

void messagePicture(const QString& name, const std::string& text, const std::string& caption,
                    MessageButtons buttons, MessageSeverity severity) {
    QWidget owner;
    QtFrontend view(owner);
    const auto answer = cofralin::testing::whenModal([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (!box) return false;
        save(*box, name);
        box->reject();
        return true;
    });
    view.showMessage(text, caption, buttons, severity);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc != 2 && argc != 4) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIR [FAMILY POINTS]\n", argv[0]);
        return 2;
    }
    output = QDir(QString::fromLocal8Bit(argv[1]));
    if (argc == 4)
        QApplication::setFont(QFont(QString::fromLocal8Bit(argv[2]), std::atoi(argv[3])));
    const cofralin::testing::WorkingFolder folder;

    {
        Settings settings;
        CMainDlg main(settings);
        main.initialise();
        save(main, QStringLiteral("main"));
    }
    {
        CAboutDlg about;
        save(about, QStringLiteral("about"));
    }
    picture<CConnectDlg>(QStringLiteral("connection"), 1007, WithPressNote(kConnectedText, true),
                         [](QWidget& window) { setControl(window, 1, true, true); });
    picture<CConnectDlg>(QStringLiteral("connection-failed"), 1007,
                         WithPressNote(kWrongPasswordText, false),
                         [](QWidget& window) { setControl(window, 2, true, true); });
    {
        CPasswordDlg prompt;
        save(prompt, QStringLiteral("password"));
    }
    picture<CSinglePcDlg>(QStringLiteral("single-pc"), 1016, kSinglePcPromptText);
    picture<CSinglePcDlg>(QStringLiteral("single-pc-failed"), 1016,
                          WithPressNote(kSinglePcFailedText, false), [](QWidget& window) {
                              setControl(window, 1, false, false);
                              setControl(window, 2, true, true);
                          });
    picture<CSinglePcDlg>(QStringLiteral("single-pc-copy"), 1016,
                          "Copia guardada en 20261210-064000-COM1.copia");
    picture<CMultiPcDlg>(QStringLiteral("multi-pc"), 1012, kMultiPcPromptText);
    picture<CPortsDlg>(QStringLiteral("ports"));
    // A type chosen, with a mapping listed.
    picture<CPortsDlg>(QStringLiteral("ports-udp"), 1023, "\r\nZarn-DSL>", [](QWidget& window) {
        if (auto* udp = qobject_cast<QAbstractButton*>(QtFrontend::findControl(window, 1021))) {
            udp->click();
        }
        if (auto* list = qobject_cast<QListWidget*>(QtFrontend::findControl(window, 1025))) {
            list->addItem(QStringLiteral(" 8080\t192.168.1.20\t80"));
        }
    });

    std::string longest(kShippedNewerText);
    for (const char* version : {"A1B2C3", "A1B2C4"}) {
        longest.replace(longest.find("%s"), 2, version);
    }
    messagePicture(QStringLiteral("message-update"), longest, std::string(kUpdateCaption),
                   MessageButtons::OkCancel, MessageSeverity::Notice);
    messagePicture(QStringLiteral("message-error"),
                   "No pudo abrirse el puerto de comunicaciones COM4:", "Error", MessageButtons::Ok,
                   MessageSeverity::Failure);
    return failures == 0 ? 0 : 1;
}
