#pragma once
// The front end of a procedure run from a Qt dialog: its status label, its
// progress bar, message boxes, the password prompt and the wait cursor.
//
// While a procedure runs it blocks the interface thread, so every change of
// the status text or the bar is painted at once; no other event, and above all
// no user input, is processed meanwhile.

#include <QString>
#include <optional>
#include <string>

#include "frontend.h"

class QLabel;
class QProgressBar;
class QWidget;

namespace cofralin {

enum class MessageButtons { Ok, OkCancel, YesNo };
enum class MessageAnswer { Ok, Cancel, Yes, No };

class QtFrontend final : public Frontend {
public:
    // `statusId` and `progressId` name the status label and the progress bar
    // of `window`; 0 means the window has none.
    explicit QtFrontend(QWidget& window, int statusId = 0, int progressId = 0);
    ~QtFrontend() override;
    QtFrontend(const QtFrontend&) = delete;
    QtFrontend& operator=(const QtFrontend&) = delete;

    void status(const std::string& text) override;
    void progress(int linesSent) override;
    void busy(bool working) override;
    void tell(const Message& message) override;
    bool confirm(const Message& question, Answers answers) override;
    std::optional<std::string> askPassword() override;

    // A modal message box over the window; returns the button pressed.
    MessageAnswer showMessage(const std::string& text, const std::string& caption,
                              MessageButtons buttons, MessageSeverity severity);

    // The control of `window` with the identifier `id`, or nullptr.
    static QWidget* findControl(const QWidget& window, int id);
    static QString controlName(int id);

private:
    QWidget& window_;
    QLabel* status_ = nullptr;
    QProgressBar* progress_ = nullptr;
    bool busy_ = false;  // this front end has the wait cursor set
};

}  // namespace cofralin
