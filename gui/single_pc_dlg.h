#pragma once
// "Monopuesto": switches a router in multi-PC mode to single-PC mode from the
// management address and mask the user types. OK runs the whole switch; the
// dialog then closes (result Accepted) unless the switch stopped, in which case
// it stays open in its failed state until the user presses Cancel (Rejected).
// Escape and the close box count only once Cancel is shown.

#include <QDialog>
#include <memory>
#include <optional>

#include "single_pc.h"

namespace Ui {
class CSinglePcDlg;
}

namespace cofralin {

class QtRouterView;

class CSinglePcDlg final : public QDialog {
    Q_OBJECT

public:
    explicit CSinglePcDlg(SessionState& state, QWidget* parent = nullptr);
    ~CSinglePcDlg() override;

    // How the switch ended; nothing when OK was never pressed.
    std::optional<ModeSwitchResult> switchResult() const { return result_; }

public slots:
    void reject() override;

private:
    void onOk();

    SessionState& state_;
    std::unique_ptr<Ui::CSinglePcDlg> ui_;
    std::unique_ptr<QtRouterView> view_;
    std::unique_ptr<Exchange> exchange_;
    // The values as last changed in the address fields.
    SinglePcSettings settings_;
    std::optional<ModeSwitchResult> result_;
};

}  // namespace cofralin
