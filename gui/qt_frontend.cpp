#include "qt_frontend.h"

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

QtFrontend::QtFrontend(QWidget& window, int statusId, int progressId) : window_(window) {
    if (statusId != 0) {
        status_ = window.findChild<QLabel*>(controlName(statusId));
        // Router output is never markup.
        if (status_) status_->setTextFormat(Qt::PlainText);
    }
    if (progressId != 0) progress_ = window.findChild<QProgressBar*>(controlName(progressId));
}

QtFrontend::~QtFrontend() {
    if (busy_) QApplication::restoreOverrideCursor();
}

QString QtFrontend::controlName(int id) { return QStringLiteral("idc_%1").arg(id); }

QWidget* QtFrontend::findControl(const QWidget& window, int id) {
    return window.findChild<QWidget*>(controlName(id));
}

void QtFrontend::status(const std::string& text) {
    if (!status_) return;
    status_->setText(toQt(text));
    status_->repaint();
}

void QtFrontend::progress(int linesSent) {
    if (!progress_) return;
    // A bar holds at its ends rather than ignoring a position beyond them.
    progress_->setValue(std::clamp(linesSent, progress_->minimum(), progress_->maximum()));
    progress_->repaint();
}

MessageAnswer QtFrontend::showMessage(const std::string& text, const std::string& caption,
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

void QtFrontend::tell(const Message& message) {
    showMessage(message.text, message.caption, MessageButtons::Ok, message.severity);
}

bool QtFrontend::confirm(const Message& question, Answers answers) {
    if (answers == Answers::YesNo) {
        return showMessage(question.text, question.caption, MessageButtons::YesNo,
                           question.severity) == MessageAnswer::Yes;
    }
    return showMessage(question.text, question.caption, MessageButtons::OkCancel,
                       question.severity) == MessageAnswer::Ok;
}

std::optional<std::string> QtFrontend::askPassword() {
    if (busy_) QApplication::setOverrideCursor(Qt::ArrowCursor);
    CPasswordDlg prompt(&window_);
    const std::optional<QString> typed = prompt.ask();
    if (busy_) QApplication::restoreOverrideCursor();
    if (!typed) return std::nullopt;
    return fromQt(*typed);
}

void QtFrontend::busy(bool working) {
    if (working == busy_) return;
    busy_ = working;
    if (working) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QApplication::restoreOverrideCursor();
    }
}

}  // namespace cofralin
