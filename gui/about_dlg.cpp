#include "about_dlg.h"

#include <QPushButton>

#include "dialog_look.h"
#include "qt_frontend.h"
#include "ui_about_dlg.h"

namespace cofralin {

CAboutDlg::CAboutDlg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint),
      ui_(std::make_unique<Ui::CAboutDlg>()) {
    ui_->setupUi(this);
    UseDialogLook(*this);
    connect(ui_->idc_1, &QPushButton::clicked, this, &QDialog::accept);
}

CAboutDlg::~CAboutDlg() = default;

}  // namespace cofralin
