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
    UseDialogLook(*this);
    // The hidden Cancel carries Escape and the close box; the user never sees it.
    connect(ui_->idc_1, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui_->idc_2, &QPushButton::clicked, this, &QDialog::reject);
    // C0 controls, DEL and the C1 controls: a paste that holds one is undone.
    ui_->idc_1017->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[^\\p{Cc}]*")), ui_->idc_1017));
    connect(ui_->idc_1017, &QLineEdit::inputRejected, this, &CPasswordDlg::refuseControlCharacters);
}

CPasswordDlg::~CPasswordDlg() = default;

std::optional<QString> CPasswordDlg::ask() {
    if (exec() != QDialog::Accepted) return std::nullopt;
    return ui_->idc_1017->text();
}

void CPasswordDlg::accept() {
    // A text set past the validator is refused here as well.
    if (holdsControlCharacter(ui_->idc_1017->text())) {
        ui_->idc_1017->clear();
        refuseControlCharacters();
        return;
    }
    QDialog::accept();
}

void CPasswordDlg::refuseControlCharacters() {
    QtFrontend(*this).showMessage(controlCharacterText().toStdString(), std::string(kErrorCaption),
                                  MessageButtons::Ok, MessageSeverity::Failure);
    ui_->idc_1017->setFocus(Qt::OtherFocusReason);
}

void CPasswordDlg::showEvent(QShowEvent* event) {
    ui_->idc_1017->clear();
    // The keyboard goes to the password, so that what is typed is not lost
    // and Enter (the default button) sends it.
    ui_->idc_1017->setFocus(Qt::OtherFocusReason);
    QDialog::showEvent(event);
}

}  // namespace cofralin
