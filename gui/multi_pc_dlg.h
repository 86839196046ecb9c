#pragma once
// "Multipuesto": switches a router in single-PC mode to multi-PC mode. Showing
// the dialog first reads the router's management address (it logs in and out
// for that); OK runs the whole switch and always closes the dialog (Accepted).
// Cancel is never shown, so Escape and the close box do nothing.

#include <QDialog>
#include <memory>
#include <optional>

#include "multi_pc.h"

namespace Ui {
class CMultiPcDlg;
}

namespace cofralin {

class QtRouterView;

class CMultiPcDlg final : public QDialog {
    Q_OBJECT

public:
    explicit CMultiPcDlg(SessionState& state, QWidget* parent = nullptr);
    ~CMultiPcDlg() override;

    // How the switch ended; nothing when OK was never pressed.
    std::optional<ModeSwitchResult> switchResult() const { return result_; }

public slots:
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void onOk();

    SessionState& state_;
    std::unique_ptr<Ui::CMultiPcDlg> ui_;
    std::unique_ptr<QtRouterView> view_;
    std::unique_ptr<Exchange> exchange_;
    // The values as last changed in the address fields.
    MultiPcSettings settings_;
    bool opened_ = false;
    std::optional<ModeSwitchResult> result_;
};

}  // namespace cofralin
