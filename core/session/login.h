#pragma once
// Logging in to the router: the password prompt, the password lines sent in
// answer to "Login incorrect", and EnsureLogin, the check every operation
// runs before its commands. The connection procedure has its own log-in
// phase (connection.h) built from the same pieces.

#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "exchange.h"
#include "messages.h"
#include "settings.h"

namespace cofralin {

// Asks the front end for a password: a given one sets UserPassword to the
// text (as router bytes) followed by "\r\n"; none sets KeepTrying to 0.
void RunPasswordPrompt(RouterSession& session, Frontend& frontend);

enum class LoginOutcome {
    LoggedIn,   // the last reply examined was exactly the prompt
    Abandoned,  // no password was given at the prompt (KeepTrying is 0)
    NoAnswer,   // no bare prompt within the wait limit
    LineLost,   // the device of the port is gone
    Stopped,    // the session was asked to stop
};

// The login check of the operations. `showReplies` shows each drained reply.
LoginOutcome EnsureLogin(Exchange& exchange, bool showReplies);

// Chooses the password line for a "Login incorrect" reply: a first line (the
// built-in password) once, then what the user gives; nothing when the user
// gives none, so that no earlier password goes out in its place. Time spent
// at the prompt does not count against the wait.
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
// Answers a password request with the chosen line; no password sends nothing.
void AnswerPasswordRequest(Exchange& exchange, PasswordChooser& passwords,
                           Exchange::Deadline& deadline);

}  // namespace cofralin
