#pragma once
// "Acerca de Cofralin Q73": the icon, the version and "Aceptar".

#include <QDialog>
#include <memory>

namespace Ui {
class CAboutDlg;
}

namespace cofralin {

class CAboutDlg final : public QDialog {
    Q_OBJECT

public:
    explicit CAboutDlg(QWidget* parent = nullptr);
    ~CAboutDlg() override;

private:
    std::unique_ptr<Ui::CAboutDlg> ui_;
};

}  // namespace cofralin
