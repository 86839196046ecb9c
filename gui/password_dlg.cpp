#include "password_dlg.h"

#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <algorithm>

#include "dialog_look.h"
#include "messages.h"
#include "qt_frontend.h"
#include "ui_password_dlg.h"

namespace cofralin {

namespace {

bool holdsControlCharacter(const QString& text) {
    return std::any_of(text.begin(), text.end(),
                       [](QChar c) { return c.category() == QChar::Other_Control; });
}

}  // namespace

const QString& CPasswordDlg::controlCharacterText() {
    static const QString text = QStringLiteral(
        "La password no puede contener saltos de línea, tabuladores ni otros caracteres de "
        "control. El texto no se ha aceptado: escriba la password y pulse OK.");
    return text;
}

CPasswordDlg::CPasswordDlg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint),
      ui_(std::make_unique<Ui::CPasswordDlg>()) {
    ui_->setupUi(this);
    passwordEdit_ = ui_->idc_1017;
    UseDialogLook(*this);
    // The hidden Cancel carries Escape and the close box; the user never sees it.
    connect(ui_->idc_1, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui_->idc_2, &QPushButton::clicked, this, &QDialog::reject);
    // C0 controls, DEL and the C1 controls: a paste that holds one is undone.
    passwordEdit_->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[^\\p{Cc}]*")), passwordEdit_));
    connect(passwordEdit_, &QLineEdit::inputRejected, this, &CPasswordDlg::refuseControlCharacters);
}

CPasswordDlg::~CPasswordDlg() = default;

std::optional<QString> CPasswordDlg::ask() {
    if (exec() != QDialog::Accepted) return std::nullopt;
    return passwordEdit_->text();
}

void CPasswordDlg::accept() {
    // A text set past the validator is refused here as well.
    if (holdsControlCharacter(passwordEdit_->text())) {
        passwordEdit_->clear();
        refuseControlCharacters();
        return;
    }
    QDialog::accept();
}

void CPasswordDlg::refuseControlCharacters() {
    QtFrontend(*this).showMessage(controlCharacterText().toStdString(), std::string(kErrorCaption),
                                  MessageButtons::Ok, MessageSeverity::Failure);
    passwordEdit_->setFocus(Qt::OtherFocusReason);
}

void CPasswordDlg::showEvent(QShowEvent* event) {
    passwordEdit_->clear();
    // The keyboard goes to the password, so that what is typed is not lost
    // and Enter (the default button) sends it.
    passwordEdit_->setFocus(Qt::OtherFocusReason);
    QDialog::showEvent(event);
}

}  // namespace cofralin
