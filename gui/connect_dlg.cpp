#include "connect_dlg.h"

#include <QPushButton>
#include <QShowEvent>

#include "dialog_look.h"
#include "qt_router_view.h"
#include "ui_connect_dlg.h"

namespace cofralin {

namespace {
constexpr int kTimerPeriodMs = 50;
constexpr int kProgressEnd = 9;
}  // namespace

CConnectDlg::CConnectDlg(SessionState& state, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      state_(state),
      ui_(std::make_unique<Ui::CConnectDlg>()) {
    ui_->setupUi(this);
    UseDialogLook(*this);
    view_ = std::make_unique<QtRouterView>(*this, connect_ids::kStatus, connect_ids::kProgress);
    exchange_ = std::make_unique<Exchange>(state_, *view_, kConnectDisplay);
    connect(ui_->idc_1, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui_->idc_2, &QPushButton::clicked, this, &CConnectDlg::reject);
    timer_.setInterval(kTimerPeriodMs);
    connect(&timer_, &QTimer::timeout, this, &CConnectDlg::onTimer);
}

CConnectDlg::~CConnectDlg() = default;

void CConnectDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous()) return;
    ui_->idc_1->setEnabled(false);
    ui_->idc_2->setEnabled(false);
    ui_->idc_1006->setRange(0, kProgressEnd);
    ui_->idc_1006->setValue(0);
    state_.SentLineCount = 0;
    state_.KeepTrying = 1;
    SetRouterMode(state_, RouterMode::Unknown);
    started_ = false;
    outcome_.reset();
    timer_.start();
}

void CConnectDlg::onTimer() {
    if (started_) return;
    started_ = true;
    outcome_ = RunConnectionProcedure(*exchange_);
    timer_.stop();
    // The one usable button takes the focus, so Enter or Space presses it.
    QPushButton* next = ui_->idc_1->isEnabled() ? ui_->idc_1 : ui_->idc_2;
    if (next->isEnabled()) next->setFocus(Qt::OtherFocusReason);
}

void CConnectDlg::reject() {
    // Escape and the close request count only as the Cancel button does:
    // not before the outcome, and not after a success.
    if (!ui_->idc_2->isEnabled()) return;
    QDialog::reject();
}

}  // namespace cofralin
