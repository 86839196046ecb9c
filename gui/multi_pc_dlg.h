#pragma once
// "Multipuesto": switches a router in single-PC mode to multi-PC mode. Showing
// the dialog first reads the router's management address (it logs in and out
// for that); OK runs the whole switch and always closes the dialog (Accepted).
// Cancel is never shown, so Escape and the close box do nothing.

#include <memory>
#include <optional>

#include "multi_pc.h"
#include "router_dialog.h"
#include "value_checks.h"

class QProgressBar;
class QPushButton;

namespace Ui {
class CMultiPcDlg;
}

namespace cofralin {

class IpAddressEdit;

class CMultiPcDlg final : public RouterDialog<Ui::CMultiPcDlg> {
    Q_OBJECT

public:
    explicit CMultiPcDlg(RouterSession& session, QWidget* parent = nullptr);
    ~CMultiPcDlg() override;

    // How the switch ended; nothing when OK was never pressed.
    std::optional<Ending> switchResult() const { return result_; }

public slots:
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    // Reads the management address it shows; OK is usable afterwards.
    void runOpening();
    void onOk();
    IpAddressEdit& fieldOf(ValueField field) const;

    QPushButton* ok_;
    IpAddressEdit* lanAddress_;
    IpAddressEdit* lanMask_;
    IpAddressEdit* defaultStation_;
    IpAddressEdit* mgmtAddress_;
    QProgressBar* progress_;
    // The values as last changed in the address fields.
    MultiPcInput input_;
    bool opened_ = false;
    std::optional<Ending> result_;
};

}  // namespace cofralin
