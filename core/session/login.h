#pragma once
// Logging in to the router: the password prompt, the password lines sent in
// answer to "Login incorrect", and EnsureLogin, the check every operation
// runs before its commands. The connection procedure is in connection.h.

#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "exchange.h"
#include "messages.h"

namespace cofralin {

inline constexpr std::string_view kBuiltInPassword = "pelnotra";

// What every procedure tells when the device of the port is gone (the
// adapter unplugged): the port name in place of %s.
inline constexpr std::string_view kLineLostFormat = "Se perdió la conexión con el puerto %s.";
std::string LineLostText(std::string_view portName);
// The connection dialog's status for the same.
std::string LineLostStatusText(std::string_view portName);

// Runs the password prompt: a confirmed prompt sets UserPassword to the text
// followed by "\r\n"; a cancelled one sets KeepTrying to 0.
void RunPasswordPrompt(SessionState& state, RouterView& view);

enum class LoginOutcome {
    LoggedIn,   // the last reply examined was exactly the prompt
    Abandoned,  // the user cancelled the password prompt (KeepTrying is 0)
    NoAnswer,   // no bare prompt within the wait limit
    LineLost,   // the device of the port is gone
};

// The login check of the operations. `showReplies` shows each drained reply.
LoginOutcome EnsureLogin(Exchange& exchange, bool showReplies);

// Chooses the password line for a "Login incorrect" reply: a first line (the
// built-in password) once, then what the user types; nothing when the user
// cancels the prompt, so that no earlier password goes out in its place. Time
// spent in the prompt does not count against the wait.
class PasswordChooser {
public:
    explicit PasswordChooser(std::string first) : first_(std::move(first)) {}

    std::optional<std::string> next(Exchange& exchange, Exchange::Deadline& deadline);
    bool sentAny() const { return tried_; }
    const std::string& last() const { return last_; }

private:
    std::string first_;
    std::string last_;
    bool tried_ = false;
};

// The reply asks for a password: "Login incorrect" without a masked echo.
bool AsksForPassword(const Exchange& exchange);
// Answers a password request with the chosen line; a cancelled prompt sends nothing.
void AnswerPasswordRequest(Exchange& exchange, PasswordChooser& passwords,
                           Exchange::Deadline& deadline);

}  // namespace cofralin
