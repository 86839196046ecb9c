#include "single_pc_dlg.h"

#include <QPushButton>

#include "dialog_look.h"
#include "ip_address_edit.h"
#include "messages.h"
#include "qt_router_view.h"
#include "ui_single_pc_dlg.h"
#include "value_checks.h"

namespace cofralin {

namespace {
std::string toStd(const QString& text) { return text.toUtf8().toStdString(); }
}  // namespace

CSinglePcDlg::CSinglePcDlg(SessionState& state, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      state_(state),
      ui_(std::make_unique<Ui::CSinglePcDlg>()) {
    ui_->setupUi(this);
    UseDialogLook(*this);
    view_ = std::make_unique<QtRouterView>(*this, single_pc_ids::kStatus, single_pc_ids::kProgress);
    exchange_ = std::make_unique<Exchange>(state_, *view_, kSinglePcDisplay);

    ui_->idc_1015->setRange(0, kSinglePcProgressEnd);
    ui_->idc_1015->setValue(0);
    ui_->idc_1013->setText(QString::fromStdString(settings_.mgmtAddress));
    ui_->idc_1014->setText(QString::fromStdString(settings_.mgmtMask));
    ui_->idc_2->setVisible(false);
    ui_->idc_2->setEnabled(false);
    StartSinglePcDialog(*exchange_);
    ui_->idc_1->setFocus(Qt::OtherFocusReason);

    connect(ui_->idc_1013, &IpAddressEdit::fieldChanged, this,
            [this] { settings_.mgmtAddress = toStd(ui_->idc_1013->text()); });
    connect(ui_->idc_1014, &IpAddressEdit::fieldChanged, this,
            [this] { settings_.mgmtMask = toStd(ui_->idc_1014->text()); });
    connect(ui_->idc_1, &QPushButton::clicked, this, &CSinglePcDlg::onOk);
    connect(ui_->idc_2, &QPushButton::clicked, this, &CSinglePcDlg::reject);
}

CSinglePcDlg::~CSinglePcDlg() = default;

void CSinglePcDlg::onOk() {
    // A second press while the switch runs finds the button disabled.
    if (!ui_->idc_1->isEnabled() || result_) return;
    settings_.mgmtAddress = toStd(ui_->idc_1013->text());
    settings_.mgmtMask = toStd(ui_->idc_1014->text());
    // A refused value is corrected in place: nothing is sent and OK stays usable.
    if (const std::optional<RefusedValue> refused =
            CheckSinglePcValues(settings_.mgmtAddress, settings_.mgmtMask)) {
        view_->showMessage(refused->message, std::string(kErrorCaption), MessageButtons::Ok,
                           MessageSeverity::Failure);
        if (QWidget* field = QtRouterView::findControl(*this, refused->control)) {
            MarkRefusedField(*field);
        }
        return;
    }
    result_ = RunSinglePcSwitch(*exchange_, settings_);
    if (*result_ == ModeSwitchResult::Switched || *result_ == ModeSwitchResult::PortClosed) {
        accept();
    } else {
        ui_->idc_2->setFocus(Qt::OtherFocusReason);
    }
}

void CSinglePcDlg::reject() {
    // Until the failed state shows Cancel, only OK ends the dialog.
    if (!ui_->idc_2->isEnabled()) return;
    QDialog::reject();
}

}  // namespace cofralin
