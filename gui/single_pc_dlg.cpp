#include "single_pc_dlg.h"

#include <QProgressBar>
#include <QPushButton>

#include "dialog_look.h"
#include "dialog_texts.h"
#include "ip_address_edit.h"
#include "messages.h"
#include "qt_frontend.h"
#include "ui_single_pc_dlg.h"
#include "value_checks.h"

namespace cofralin {

namespace {
constexpr int kProgressEnd = 40;
constexpr int kProgressId = 1015;
constexpr int kStatusId = 1016;

std::string toStd(const QString& text) { return text.toUtf8().toStdString(); }
}  // namespace

CSinglePcDlg::CSinglePcDlg(RouterSession& session, QWidget* parent)
    : RouterDialog(session, parent, Qt::WindowCloseButtonHint, kStatusId, kProgressId) {
    ok_ = ui_->idc_1;
    cancel_ = ui_->idc_2;
    mgmtAddress_ = ui_->idc_1013;
    mgmtMask_ = ui_->idc_1014;

    ui_->idc_1015->setRange(0, kProgressEnd);
    ui_->idc_1015->setValue(0);
    mgmtAddress_->setText(QString::fromStdString(input_.mgmtAddress));
    mgmtMask_->setText(QString::fromStdString(input_.mgmtMask));
    cancel_->setVisible(false);
    cancel_->setEnabled(false);
    session_.StartAfresh();
    frontend_->status(std::string(kSinglePcPromptText));
    ok_->setFocus(Qt::OtherFocusReason);

    connect(mgmtAddress_, &IpAddressEdit::fieldChanged, this,
            [this] { input_.mgmtAddress = toStd(mgmtAddress_->text()); });
    connect(mgmtMask_, &IpAddressEdit::fieldChanged, this,
            [this] { input_.mgmtMask = toStd(mgmtMask_->text()); });
    connect(ok_, &QPushButton::clicked, this, &CSinglePcDlg::onOk);
    connect(cancel_, &QPushButton::clicked, this, &CSinglePcDlg::reject);
}

CSinglePcDlg::~CSinglePcDlg() = default;

void CSinglePcDlg::onOk() {
    // A second press while the switch runs finds the button disabled.
    if (!ok_->isEnabled() || result_) return;
    input_.mgmtAddress = toStd(mgmtAddress_->text());
    input_.mgmtMask = toStd(mgmtMask_->text());
    // A refused value is corrected in place: nothing is sent and OK stays usable.
    if (const std::optional<RefusedValue> refused =
            CheckSinglePcValues(input_.mgmtAddress, input_.mgmtMask)) {
        frontend_->tell({refused->message, std::string(kErrorCaption), MessageSeverity::Failure});
        MarkRefusedField(refused->field == ValueField::MgmtMask ? *mgmtMask_ : *mgmtAddress_);
        return;
    }
    ok_->setEnabled(false);
    result_ = RunSinglePcSwitch(session_, *frontend_, input_).ending;
    if (*result_ == Ending::Done || *result_ == Ending::PortClosed) {
        accept();
    } else {
        showFailed();
        cancel_->setFocus(Qt::OtherFocusReason);
    }
}

void CSinglePcDlg::showFailed() {
    // The reason stays in its message; the status names the failure and the way out.
    frontend_->status(WithPressNote(kSinglePcFailedText, false));
    cancel_->setVisible(true);
    cancel_->setEnabled(true);
    ok_->setVisible(false);
}

void CSinglePcDlg::reject() {
    // Until the failed state shows Cancel, only OK ends the dialog.
    if (!cancel_->isEnabled()) return;
    QDialog::reject();
}

}  // namespace cofralin
