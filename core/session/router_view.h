#pragma once
// What the router procedures need of a window. The Qt dialogs implement it;
// tests implement a scripted one that records what was shown and answers as told.
// Every text given to or taken from a view is UTF-8; router bytes are decoded
// (Windows-1252) before they reach it.

#include <optional>
#include <string>

namespace cofralin {

enum class MessageButtons { Ok, OkCancel, YesNo };
enum class MessageAnswer { Ok, Cancel, Yes, No };
// A failure shows the warning sign; a notice or a question its plain sign.
enum class MessageSeverity { Notice, Failure };

class RouterView {
public:
    virtual ~RouterView() = default;

    // The status text of the dialog, shown as plain text at once.
    virtual void setStatusText(const std::string& text) = 0;
    // The position of the dialog's progress bar; views without a bar ignore it.
    virtual void setProgress(int position) = 0;
    // A modal message box; returns the button pressed.
    virtual MessageAnswer showMessage(const std::string& text, const std::string& caption,
                                      MessageButtons buttons, MessageSeverity severity) = 0;
    // The modal password prompt: the typed text, or nothing when cancelled.
    virtual std::optional<std::string> askPassword() = 0;
    // The wait cursor while true, the arrow cursor after.
    virtual void setBusy(bool busy) = 0;

    // Controls by their numeric identifier.
    virtual void enableControl(int id, bool enabled) = 0;
    virtual void showControl(int id, bool shown) = 0;
};

}  // namespace cofralin
