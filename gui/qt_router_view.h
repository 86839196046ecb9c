#pragma once
// The router procedures' view of a Qt dialog: its status label, its progress
// bar, message boxes, the password prompt, the wait cursor and the controls
// addressed by their numeric identifiers (object names "idc_<id>").
//
// While a procedure runs it blocks the interface thread, so every change of
// the status text or the bar is painted at once; no other event, and above all
// no user input, is processed meanwhile.

#include <QString>
#include <optional>
#include <string>

#include "router_view.h"

class QLabel;
class QProgressBar;
class QWidget;

namespace cofralin {

class QtRouterView final : public RouterView {
public:
    // `statusId` and `progressId` name the status label and the progress bar
    // of `window`; 0 means the window has none.
    explicit QtRouterView(QWidget& window, int statusId = 0, int progressId = 0);
    ~QtRouterView() override;
    QtRouterView(const QtRouterView&) = delete;
    QtRouterView& operator=(const QtRouterView&) = delete;

    void setStatusText(const std::string& text) override;
    void setProgress(int position) override;
    MessageAnswer showMessage(const std::string& text, const std::string& caption,
                              MessageButtons buttons, MessageSeverity severity) override;
    std::optional<std::string> askPassword() override;
    void setBusy(bool busy) override;

    void enableControl(int id, bool enabled) override;
    void showControl(int id, bool shown) override;

    // The control of `window` with the identifier `id`, or nullptr.
    static QWidget* findControl(const QWidget& window, int id);
    static QString controlName(int id);

private:
    QWidget& window_;
    QLabel* status_ = nullptr;
    QProgressBar* progress_ = nullptr;
    bool busy_ = false;  // this view has the wait cursor set
};

}  // namespace cofralin
