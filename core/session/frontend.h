#pragma once
// What a router procedure tells and asks the person it works for. The
// windows implement it with their dialogs, the command line with its output
// and its answers; tests with a scripted one that records what was told and
// answers as told. It names what is told or asked, never a control: each
// front end decides how to show it.
//
// Every text given to or taken from a front end is UTF-8; router bytes are
// decoded (Windows-1252) before they reach it.

#include <optional>
#include <string>

namespace cofralin {

// A failure shows the warning sign; a notice or a question its plain sign.
enum class MessageSeverity { Notice, Failure };

// A message for the user: its text, the caption of its box and its severity.
struct Message {
    std::string text;
    std::string caption;
    MessageSeverity severity = MessageSeverity::Notice;

    bool operator==(const Message&) const = default;
};

// The two answers a question offers: Yes or No, OK or Cancel.
enum class Answers { YesNo, OkCancel };

class Frontend {
public:
    virtual ~Frontend() = default;

    // The procedure's status line: a line it sends or a reply it drained, as
    // its front end shows them, or what it is doing.
    virtual void status(const std::string& text) = 0;
    // The number of lines sent so far in this run, for a progress bar.
    virtual void progress(int linesSent) = 0;
    // True while the procedure works, false when it has stopped working.
    virtual void busy(bool working) = 0;
    // Something the user must read before the procedure goes on.
    virtual void tell(const Message& message) = 0;

    // A question before a change: true for Yes or OK.
    virtual bool confirm(const Message& question, Answers answers) = 0;
    // The router wants a password: the text to try, or nothing to give up.
    virtual std::optional<std::string> askPassword() = 0;
};

// A front end that passes everything on to another: a wrapper overrides only
// what it answers differently.
class ForwardingFrontend : public Frontend {
public:
    explicit ForwardingFrontend(Frontend& inner) : inner_(inner) {}
    void status(const std::string& text) override { inner_.status(text); }
    void progress(int linesSent) override { inner_.progress(linesSent); }
    void busy(bool working) override { inner_.busy(working); }
    void tell(const Message& message) override { inner_.tell(message); }
    bool confirm(const Message& question, Answers answers) override {
        return inner_.confirm(question, answers);
    }
    std::optional<std::string> askPassword() override { return inner_.askPassword(); }

private:
    Frontend& inner_;
};

}  // namespace cofralin
