#pragma once
// "Comunicación": shown modally right after the port was opened. Its first
// timer tick runs the whole connection procedure; the dialog then shows the
// outcome and waits for the one button the procedure enabled: OK (Accepted)
// when connected, Cancel (Rejected) otherwise. It has no close box, and
// Escape counts only once Cancel is enabled.

#include <QDialog>
#include <QTimer>
#include <memory>
#include <optional>

#include "connection.h"
#include "login.h"

namespace Ui {
class CConnectDlg;
}

namespace cofralin {

class QtRouterView;

class CConnectDlg final : public QDialog {
    Q_OBJECT

public:
    CConnectDlg(SessionState& state, QWidget* parent = nullptr);
    ~CConnectDlg() override;

    // The outcome of this showing's procedure, once it has run.
    std::optional<ConnectionOutcome> outcome() const { return outcome_; }

public slots:
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void onTimer();

    SessionState& state_;
    std::unique_ptr<Ui::CConnectDlg> ui_;
    std::unique_ptr<QtRouterView> view_;
    std::unique_ptr<Exchange> exchange_;
    QTimer timer_;
    // The timer keeps ticking while the password prompt runs its own loop;
    // the procedure runs once per showing all the same.
    bool started_ = false;
    std::optional<ConnectionOutcome> outcome_;
};

}  // namespace cofralin
