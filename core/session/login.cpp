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
    RunPasswordPrompt(exchange.state(), exchange.view());
    deadline.extend(Clock::now() - start);
    if (exchange.state().KeepTrying != 1) return std::nullopt;
    last_ = exchange.state().UserPassword;
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

void RunPasswordPrompt(SessionState& state, RouterView& view) {
    if (const std::optional<std::string> typed = view.askPassword()) {
        state.UserPassword = Utf8ToWindows1252(*typed) + "\r\n";
    } else {
        state.KeepTrying = 0;
    }
}

std::string LineLostText(std::string_view portName) {
    return ReplaceAll(kLineLostFormat, "%s", portName);
}

std::string LineLostStatusText(std::string_view portName) {
    return LineLostText(portName) + "\nPulse CANCEL para continuar.";
}

LoginOutcome EnsureLogin(Exchange& exchange, bool showReplies) {
    SessionState& state = exchange.state();
    exchange.ClearReply();
    PasswordChooser passwords(state.DefaultPassword);
    Exchange::Deadline deadline = exchange.startWait();
    for (;;) {
        if (exchange.LineLost()) return LoginOutcome::LineLost;
        if (state.KeepTrying != 1) return LoginOutcome::Abandoned;
        if (deadline.passed()) return LoginOutcome::NoAnswer;
        exchange.DrainReply();
        if (exchange.LineLost()) return LoginOutcome::LineLost;
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
