#pragma once
// "Comunicación": shown modally right after the port was opened. Its first
// timer tick runs the whole connection procedure; the dialog then shows the
// outcome in words and enables the one button to press: OK (Accepted) when
// connected, Cancel (Rejected) otherwise. It has no close box, and Escape
// counts only once Cancel is enabled.

#include <QTimer>
#include <memory>
#include <optional>

#include "connection.h"
#include "router_dialog.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace Ui {
class CConnectDlg;
}

namespace cofralin {

class CConnectDlg final : public RouterDialog<Ui::CConnectDlg> {
    Q_OBJECT

public:
    CConnectDlg(RouterSession& session, QWidget* parent = nullptr);
    ~CConnectDlg() override;

    // The outcome of this showing's procedure, once it has run.
    const std::optional<Outcome>& outcome() const { return outcome_; }

public slots:
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void onTimer();

    QPushButton* ok_;
    QPushButton* cancel_;
    QProgressBar* progress_;
    QLabel* statusText_;
    QTimer timer_;
    // The timer keeps ticking while the password prompt runs its own loop;
    // the procedure runs once per showing all the same.
    bool started_ = false;
    std::optional<Outcome> outcome_;
};

}  // namespace cofralin
