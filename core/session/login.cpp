#include "login.h"

#include <chrono>
#include <optional>
#include <string>
#include <utility>

namespace cofralin {

namespace {

using Clock = std::chrono::steady_clock;

}  // namespace

std::optional<std::string> PasswordChooser::next(Exchange& exchange, Exchange::Deadline& deadline) {
    if (!tried_) {
        tried_ = true;
        last_ = first_;
        return last_;
    }
    const auto start = Clock::now();
    RunPasswordPrompt(exchange.session(), exchange.frontend());
    deadline.extend(Clock::now() - start);
    if (exchange.session().KeepTrying != 1) return std::nullopt;
    last_ = exchange.session().UserPassword;
    return last_;
}

bool AsksForPassword(const Exchange& exchange) {
    return exchange.ReplyContains("Login incorrect") && !exchange.ReplyContains("*");
}

void AnswerPasswordRequest(Exchange& exchange, PasswordChooser& passwords,
                           Exchange::Deadline& deadline) {
    if (const std::optional<std::string> line = passwords.next(exchange, deadline)) {
        exchange.SendPassword(*line);
    }
}

void RunPasswordPrompt(RouterSession& session, Frontend& frontend) {
    if (const std::optional<std::string> typed = frontend.askPassword()) {
        session.UserPassword = Utf8ToWindows1252(*typed) + "\r\n";
    } else {
        session.KeepTrying = 0;
    }
}

LoginOutcome EnsureLogin(Exchange& exchange, bool showReplies) {
    RouterSession& session = exchange.session();
    exchange.ClearReply();
    PasswordChooser passwords(session.settings().DefaultPassword);
    Exchange::Deadline deadline = exchange.startWait();
    const auto interruption = [&]() -> std::optional<LoginOutcome> {
        if (exchange.LineLost()) return LoginOutcome::LineLost;
        if (exchange.Stopped()) return LoginOutcome::Stopped;
        return std::nullopt;
    };
    for (;;) {
        if (const auto stop = interruption()) return *stop;
        if (session.KeepTrying != 1) return LoginOutcome::Abandoned;
        if (deadline.passed()) return LoginOutcome::NoAnswer;
        exchange.DrainReply();
        if (const auto stop = interruption()) return *stop;
        if (AsksForPassword(exchange)) {
            AnswerPasswordRequest(exchange, passwords, deadline);
            exchange.ClearReply();
        }
        if (showReplies) exchange.ShowReply();
        exchange.SendLine(kNudge);
        if (exchange.ReplyIsPrompt()) return LoginOutcome::LoggedIn;
    }
}

}  // namespace cofralin
