#include "qt_router_view.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <algorithm>

#include "password_dlg.h"

namespace cofralin {

namespace {

QString toQt(const std::string& text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

std::string fromQt(const QString& text) { return text.toUtf8().toStdString(); }

}  // namespace

QtRouterView::QtRouterView(QWidget& window, int statusId, int progressId) : window_(window) {
    if (statusId != 0) {
        status_ = window.findChild<QLabel*>(controlName(statusId));
        // Router output is never markup.
        if (status_) status_->setTextFormat(Qt::PlainText);
    }
    if (progressId != 0) progress_ = window.findChild<QProgressBar*>(controlName(progressId));
}

QtRouterView::~QtRouterView() {
    if (busy_) QApplication::restoreOverrideCursor();
}

QString QtRouterView::controlName(int id) { return QStringLiteral("idc_%1").arg(id); }

QWidget* QtRouterView::findControl(const QWidget& window, int id) {
    return window.findChild<QWidget*>(controlName(id));
}

void QtRouterView::setStatusText(const std::string& text) {
    if (!status_) return;
    status_->setText(toQt(text));
    status_->repaint();
}

void QtRouterView::setProgress(int position) {
    if (!progress_) return;
    // A bar holds at its ends rather than ignoring a position beyond them.
    progress_->setValue(std::clamp(position, progress_->minimum(), progress_->maximum()));
    progress_->repaint();
}

MessageAnswer QtRouterView::showMessage(const std::string& text, const std::string& caption,
                                        MessageButtons buttons, MessageSeverity severity) {
    QMessageBox box(&window_);
    box.setWindowTitle(toQt(caption));
    box.setTextFormat(Qt::PlainText);
    box.setText(toQt(text));
    // The arrow, not the wait cursor, while the user reads and answers.
    if (busy_) QApplication::setOverrideCursor(Qt::ArrowCursor);

    MessageAnswer answer = MessageAnswer::Ok;
    switch (buttons) {
        case MessageButtons::Ok: {
            box.setIcon(severity == MessageSeverity::Failure ? QMessageBox::Warning
                                                             : QMessageBox::Information);
            QPushButton* ok = box.addButton(QStringLiteral("Aceptar"), QMessageBox::AcceptRole);
            box.setDefaultButton(ok);
            box.setEscapeButton(ok);
            box.exec();
            answer = MessageAnswer::Ok;
            break;
        }
        case MessageButtons::OkCancel: {
            box.setIcon(QMessageBox::Information);
            QPushButton* ok = box.addButton(QStringLiteral("Aceptar"), QMessageBox::AcceptRole);
            QPushButton* cancel =
                box.addButton(QStringLiteral("Cancelar"), QMessageBox::RejectRole);
            box.setDefaultButton(ok);
            box.setEscapeButton(cancel);
            box.exec();
            answer = box.clickedButton() == ok ? MessageAnswer::Ok : MessageAnswer::Cancel;
            break;
        }
        case MessageButtons::YesNo: {
            box.setIcon(QMessageBox::Question);
            QPushButton* yes = box.addButton(QStringLiteral("Sí"), QMessageBox::YesRole);
            QPushButton* no = box.addButton(QStringLiteral("No"), QMessageBox::NoRole);
            box.setDefaultButton(yes);
            box.setEscapeButton(no);
            box.exec();
            answer = box.clickedButton() == yes ? MessageAnswer::Yes : MessageAnswer::No;
            break;
        }
    }
    if (busy_) QApplication::restoreOverrideCursor();
    return answer;
}

std::optional<std::string> QtRouterView::askPassword() {
    if (busy_) QApplication::setOverrideCursor(Qt::ArrowCursor);
    CPasswordDlg prompt(&window_);
    const std::optional<QString> typed = prompt.ask();
    if (busy_) QApplication::restoreOverrideCursor();
    if (!typed) return std::nullopt;
    return fromQt(*typed);
}

void QtRouterView::setBusy(bool busy) {
    if (busy == busy_) return;
    busy_ = busy;
    if (busy) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QApplication::restoreOverrideCursor();
    }
}

void QtRouterView::enableControl(int id, bool enabled) {
    if (QWidget* control = findControl(window_, id)) control->setEnabled(enabled);
}

void QtRouterView::showControl(int id, bool shown) {
    if (QWidget* control = findControl(window_, id)) control->setVisible(shown);
}

}  // namespace cofralin
