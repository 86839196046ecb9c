#pragma once
// "Monopuesto": switches a router in multi-PC mode to single-PC mode from the
// management address and mask the user types. OK runs the whole switch; the
// dialog then closes (result Accepted) unless the switch stopped, in which case
// it stays open in its failed state until the user presses Cancel (Rejected).
// Escape and the close box count only once Cancel is shown.

#include <memory>
#include <optional>

#include "router_dialog.h"
#include "single_pc.h"

class QPushButton;

namespace Ui {
class CSinglePcDlg;
}

namespace cofralin {

class IpAddressEdit;

class CSinglePcDlg final : public RouterDialog<Ui::CSinglePcDlg> {
    Q_OBJECT

public:
    explicit CSinglePcDlg(RouterSession& session, QWidget* parent = nullptr);
    ~CSinglePcDlg() override;

    // How the switch ended; nothing when OK was never pressed.
    std::optional<Ending> switchResult() const { return result_; }

public slots:
    void reject() override;

private:
    void onOk();
    // Cancel shown and usable, OK hidden, the reason told above.
    void showFailed();

    QPushButton* ok_;
    QPushButton* cancel_;
    IpAddressEdit* mgmtAddress_;
    IpAddressEdit* mgmtMask_;
    // The values as last changed in the address fields.
    SinglePcInput input_;
    std::optional<Ending> result_;
};

}  // namespace cofralin
