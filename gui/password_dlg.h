#pragma once
// "Password": the prompt the login loops show when the router refuses the
// built-in password. The edit is masked and empty at each showing; OK (or
// Enter) gives the typed text, Escape or the close box cancel. The edit takes
// no control character, typed or pasted: a line break in a password would
// end it early and run the rest as commands on the router. A refused paste is
// told in a message, and the prompt stays open for a clean password.

#include <QDialog>
#include <QString>
#include <memory>
#include <optional>

class QLineEdit;

namespace Ui {
class CPasswordDlg;
}

namespace cofralin {

class CPasswordDlg final : public QDialog {
    Q_OBJECT

public:
    explicit CPasswordDlg(QWidget* parent = nullptr);
    ~CPasswordDlg() override;

    // Runs the prompt modally: the typed text, or nothing when cancelled.
    std::optional<QString> ask();

    // The message that refuses a text with a control character.
    static const QString& controlCharacterText();

public slots:
    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void refuseControlCharacters();

    std::unique_ptr<Ui::CPasswordDlg> ui_;
    QLineEdit* passwordEdit_;
};

}  // namespace cofralin
