#include "multi_pc_dlg.h"

#include <QPushButton>
#include <QShowEvent>

#include "dialog_look.h"
#include "ip_address_edit.h"
#include "messages.h"
#include "qt_router_view.h"
#include "ui_multi_pc_dlg.h"
#include "value_checks.h"

namespace cofralin {

namespace {
std::string toStd(const QString& text) { return text.toUtf8().toStdString(); }
}  // namespace

CMultiPcDlg::CMultiPcDlg(SessionState& state, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      state_(state),
      ui_(std::make_unique<Ui::CMultiPcDlg>()) {
    ui_->setupUi(this);
    UseDialogLook(*this);
    view_ = std::make_unique<QtRouterView>(*this, multi_pc_ids::kStatus, multi_pc_ids::kProgress);
    exchange_ = std::make_unique<Exchange>(state_, *view_, kMultiPcDisplay);
    ui_->idc_2->setVisible(false);
    ui_->idc_2->setEnabled(false);

    connect(ui_->idc_1013, &IpAddressEdit::fieldChanged, this,
            [this] { settings_.lanAddress = toStd(ui_->idc_1013->text()); });
    connect(ui_->idc_1014, &IpAddressEdit::fieldChanged, this,
            [this] { settings_.lanMask = toStd(ui_->idc_1014->text()); });
    connect(ui_->idc_1015, &IpAddressEdit::fieldChanged, this,
            [this] { settings_.defaultStation = toStd(ui_->idc_1015->text()); });
    connect(ui_->idc_1, &QPushButton::clicked, this, &CMultiPcDlg::onOk);
}

CMultiPcDlg::~CMultiPcDlg() = default;

void CMultiPcDlg::showEvent(QShowEvent* event) {
    // The opening runs once, just before the dialog first appears.
    if (!event->spontaneous() && !opened_) {
        opened_ = true;
        settings_ = MultiPcSettings{};
        ui_->idc_1013->setText(QString::fromStdString(settings_.lanAddress));
        ui_->idc_1014->setText(QString::fromStdString(settings_.lanMask));
        ui_->idc_1015->setText(QString::fromStdString(settings_.defaultStation));
        // OK stays inert while the opening talks to the router, so that nothing
        // can end the dialog before it is up.
        ui_->idc_1->setEnabled(false);
        // The wait cursor only while the opening talks to the router.
        view_->setBusy(true);
        const std::string managementAddress = OpenMultiPcDialog(*exchange_);
        view_->setBusy(false);
        ui_->idc_1->setEnabled(true);
        ui_->idc_1016->setText(QString::fromStdString(Windows1252ToUtf8(managementAddress)));
        ui_->idc_1016->setEnabled(false);
        ui_->idc_1011->setRange(0, kMultiPcProgressEnd);
        ui_->idc_1011->setValue(0);
        ui_->idc_1->setFocus(Qt::OtherFocusReason);
    }
    QDialog::showEvent(event);
}

void CMultiPcDlg::onOk() {
    if (!ui_->idc_1->isEnabled() || result_) return;
    settings_.lanAddress = toStd(ui_->idc_1013->text());
    settings_.lanMask = toStd(ui_->idc_1014->text());
    settings_.defaultStation = toStd(ui_->idc_1015->text());
    // A refused value is corrected in place: nothing is sent and OK stays usable.
    if (const std::optional<RefusedValue> refused =
            CheckMultiPcValues(settings_.lanAddress, settings_.lanMask, settings_.defaultStation)) {
        view_->showMessage(refused->message, std::string(kErrorCaption), MessageButtons::Ok,
                           MessageSeverity::Failure);
        if (QWidget* field = QtRouterView::findControl(*this, refused->control)) {
            MarkRefusedField(*field);
        }
        return;
    }
    result_ = RunMultiPcSwitch(*exchange_, settings_);
    accept();
}

void CMultiPcDlg::reject() {
    // Cancel is never offered: OK is the only way out.
}

}  // namespace cofralin
