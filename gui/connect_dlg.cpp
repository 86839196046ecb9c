#include "connect_dlg.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QShowEvent>

#include "dialog_look.h"
#include "dialog_texts.h"
#include "qt_frontend.h"
#include "ui_connect_dlg.h"

namespace cofralin {

namespace {
constexpr int kTimerPeriodMs = 50;
constexpr int kProgressEnd = 9;
constexpr int kStatusId = 1007;
constexpr int kProgressId = 1006;
}  // namespace

CConnectDlg::CConnectDlg(RouterSession& session, QWidget* parent)
    : RouterDialog(session, parent, {}, kStatusId, kProgressId) {
    ok_ = ui_->idc_1;
    cancel_ = ui_->idc_2;
    progress_ = ui_->idc_1006;
    statusText_ = ui_->idc_1007;
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel_, &QPushButton::clicked, this, &CConnectDlg::reject);
    timer_.setInterval(kTimerPeriodMs);
    connect(&timer_, &QTimer::timeout, this, &CConnectDlg::onTimer);
}

CConnectDlg::~CConnectDlg() = default;

void CConnectDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous()) return;
    ok_->setEnabled(false);
    cancel_->setEnabled(false);
    progress_->setRange(0, kProgressEnd);
    progress_->setValue(0);
    PrepareConnection(session_);
    started_ = false;
    outcome_.reset();
    timer_.start();
}

void CConnectDlg::onTimer() {
    if (started_) return;
    started_ = true;
    outcome_ = RunConnectionProcedure(session_, *frontend_);
    timer_.stop();
    const bool connected = outcome_->done();
    frontend_->status(WithPressNote(outcome_->message, connected));
    // The one usable button takes the focus, so Enter or Space presses it.
    QPushButton* next = connected ? ok_ : cancel_;
    next->setEnabled(true);
    next->setFocus(Qt::OtherFocusReason);
}

void CConnectDlg::reject() {
    // Escape and the close request count only as the Cancel button does:
    // not before the outcome, and not after a success.
    if (!cancel_->isEnabled()) return;
    QDialog::reject();
}

}  // namespace cofralin
