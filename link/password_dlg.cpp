#include "password_dlg.h"

#include <QPushButton>

#include "qt_router_view.h"
#include "ui_password_dlg.h"

namespace cofralin {

CPasswordDlg::CPasswordDlg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint),
      ui_(std::make_unique<Ui::CPasswordDlg>()) {
    ui_->setupUi(this);
    UseDialogFont(*this);
    setFixedSize(size());
    // The hidden Cancel carries Escape and the close box; the user never sees it.
    connect(ui_->idc_1, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui_->idc_2, &QPushButton::clicked, this, &QDialog::reject);
}

CPasswordDlg::~CPasswordDlg() = default;

std::optional<QString> CPasswordDlg::ask() {
    if (exec() != QDialog::Accepted) return std::nullopt;
    return ui_->idc_1017->text();
}

void CPasswordDlg::showEvent(QShowEvent* event) {
    ui_->idc_1017->clear();
    // The prompt sets no focus of its own: the first control in tab order has it.
    ui_->idc_1->setFocus(Qt::OtherFocusReason);
    QDialog::showEvent(event);
}

}  // namespace cofralin
