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
// text (as router bytes) followed by "\r\n"; none sets KeepTrying to 0. A
// text the router's code page cannot carry is refused, told, and asked again.
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

// Chooses and sends the passwords of a log-in, and follows what the router
// answers to the last one: a first line (the built-in password) once, then
// what the user gives; nothing when the user gives none, so that no earlier
// password goes out in its place. Time spent at the prompt does not count
// against the wait.
//
// The verdict on a password is read from what comes after it, not from the
// latest reply alone: the prompt after it means it was taken; "Login
// incorrect" after its echo (in clear or as asterisks), or, from a router
// that echoes nothing, after the answers still owed to the lines sent before
// it, means it was refused. Until then nothing more is asked or sent, so an
// echoing or slow router is never taken for one that refused, and text the
// user typed never reaches a router that has come to its prompt meanwhile.
class PasswordChooser {
public:
    explicit PasswordChooser(std::string first) : first_(std::move(first)) {}

    // Whether the router wants a password now: before the first one, a
    // "Login incorrect" without a masked echo in the latest reply; after one,
    // its refusal.
    bool wanted(const Exchange& exchange) const;
    // Sends the next password; `owed` is how many lines sent since the
    // request the router answers before the password. Sends nothing when the
    // user gives none (KeepTrying is 0), or when the router reached its
    // prompt while the user was typing.
    void answer(Exchange& exchange, Exchange::Deadline& deadline, int owed);
    // Takes a drained reply into account.
    void drained(std::string_view reply);
    // The last password sent was taken.
    bool accepted() const;

    bool sentAny() const { return tried_; }
    const std::string& last() const { return last_; }

private:
    enum class Verdict { Pending, Taken, Refused };
    Verdict verdict() const;
    std::optional<std::string> next(Exchange& exchange, Exchange::Deadline& deadline);

    std::string first_;
    std::string last_;
    bool tried_ = false;
    int owed_ = 0;
    // Everything drained since the last password went out.
    std::string sinceSent_;
};

// The reply asks for a password: "Login incorrect" without a masked echo.
bool AsksForPassword(const Exchange& exchange);

}  // namespace cofralin
