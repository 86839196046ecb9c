#include "multi_pc_dlg.h"

#include <QProgressBar>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>

#include "dialog_look.h"
#include "dialog_texts.h"
#include "ip_address_edit.h"
#include "messages.h"
#include "qt_frontend.h"
#include "ui_multi_pc_dlg.h"
#include "value_checks.h"

namespace cofralin {

namespace {
constexpr int kProgressEnd = 53;
// As the connection dialog's timer: long enough for the window to be painted.
constexpr int kOpeningDelayMs = 50;
constexpr int kProgressId = 1011;
constexpr int kStatusId = 1012;

std::string toStd(const QString& text) { return text.toUtf8().toStdString(); }
}  // namespace

CMultiPcDlg::CMultiPcDlg(RouterSession& session, QWidget* parent)
    : RouterDialog(session, parent, Qt::WindowCloseButtonHint, kStatusId, kProgressId) {
    ok_ = ui_->idc_1;
    lanAddress_ = ui_->idc_1013;
    lanMask_ = ui_->idc_1014;
    defaultStation_ = ui_->idc_1015;
    mgmtAddress_ = ui_->idc_1016;
    progress_ = ui_->idc_1011;
    ui_->idc_2->setVisible(false);
    ui_->idc_2->setEnabled(false);

    connect(lanAddress_, &IpAddressEdit::fieldChanged, this,
            [this] { input_.lanAddress = toStd(lanAddress_->text()); });
    connect(lanMask_, &IpAddressEdit::fieldChanged, this,
            [this] { input_.lanMask = toStd(lanMask_->text()); });
    connect(defaultStation_, &IpAddressEdit::fieldChanged, this,
            [this] { input_.defaultStation = toStd(defaultStation_->text()); });
    connect(ok_, &QPushButton::clicked, this, &CMultiPcDlg::onOk);
}

CMultiPcDlg::~CMultiPcDlg() = default;

IpAddressEdit& CMultiPcDlg::fieldOf(ValueField field) const {
    if (field == ValueField::LanMask) return *lanMask_;
    return field == ValueField::DefaultStation ? *defaultStation_ : *lanAddress_;
}

void CMultiPcDlg::showEvent(QShowEvent* event) {
    // The dialog shows at once; its opening runs once, on the first tick
    // after it has appeared, under its own progress bar.
    if (!event->spontaneous() && !opened_) {
        opened_ = true;
        input_ = MultiPcInput{};
        lanAddress_->setText(QString::fromStdString(input_.lanAddress));
        lanMask_->setText(QString::fromStdString(input_.lanMask));
        defaultStation_->setText(QString::fromStdString(input_.defaultStation));
        mgmtAddress_->setEnabled(false);
        progress_->setRange(0, kProgressEnd);
        progress_->setValue(0);
        frontend_->status(std::string(kMultiPcPromptText));
        // OK stays inert while the opening talks to the router, so that nothing
        // can end the dialog before it has read what it shows.
        ok_->setEnabled(false);
        QTimer::singleShot(kOpeningDelayMs, this, &CMultiPcDlg::runOpening);
    }
    QDialog::showEvent(event);
}

void CMultiPcDlg::runOpening() {
    const Outcome opening = ReadMgmtAddress(session_, *frontend_);
    mgmtAddress_->setText(QString::fromStdString(
        Windows1252ToUtf8(opening.read.vcLocalAddress.value_or(std::string()))));
    progress_->setValue(0);
    ok_->setEnabled(true);
    ok_->setFocus(Qt::OtherFocusReason);
}

void CMultiPcDlg::onOk() {
    if (!ok_->isEnabled() || result_) return;
    input_.lanAddress = toStd(lanAddress_->text());
    input_.lanMask = toStd(lanMask_->text());
    input_.defaultStation = toStd(defaultStation_->text());
    // A refused value is corrected in place: nothing is sent and OK stays usable.
    if (const std::optional<RefusedValue> refused =
            CheckMultiPcValues(input_.lanAddress, input_.lanMask, input_.defaultStation)) {
        frontend_->tell({refused->message, std::string(kErrorCaption), MessageSeverity::Failure});
        MarkRefusedField(fieldOf(refused->field));
        return;
    }
    ok_->setEnabled(false);
    result_ = RunMultiPcSwitch(session_, *frontend_, input_).ending;
    accept();
}

void CMultiPcDlg::reject() {
    // Cancel is never offered: OK is the only way out.
}

}  // namespace cofralin
