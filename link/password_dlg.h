#pragma once
// "Password": the prompt the login loops show when the router refuses the
// built-in password. The edit is masked and empty at each showing; OK (or
// Enter) gives the typed text, Escape or the close box cancel.

#include <QDialog>
#include <QString>
#include <memory>
#include <optional>

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

protected:
    void showEvent(QShowEvent* event) override;

private:
    std::unique_ptr<Ui::CPasswordDlg> ui_;
};

}  // namespace cofralin
