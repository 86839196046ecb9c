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
    // The router may have come to its prompt while the user typed: the typed
    // text must not reach it as a command.
    exchange.DrainReply();
    drained(exchange.LatestReply());
    if (sinceSent_.find(kPromptWord) != std::string::npos) return std::nullopt;
    last_ = exchange.session().UserPassword;
    return last_;
}

bool PasswordChooser::wanted(const Exchange& exchange) const {
    if (!tried_) return AsksForPassword(exchange);
    return verdict() == Verdict::Refused;
}

void PasswordChooser::answer(Exchange& exchange, Exchange::Deadline& deadline, int owed) {
    if (const std::optional<std::string> line = next(exchange, deadline)) {
        exchange.SendPassword(*line);
        sinceSent_.clear();
        owed_ = owed;
    }
}

void PasswordChooser::drained(std::string_view reply) {
    if (tried_) sinceSent_ += reply;
}

bool PasswordChooser::accepted() const { return tried_ && verdict() == Verdict::Taken; }

PasswordChooser::Verdict PasswordChooser::verdict() const {
    if (sinceSent_.find(kPromptWord) != std::string::npos) return Verdict::Taken;
    std::string_view typed = last_;
    if (typed.ends_with("\r\n")) typed.remove_suffix(2);
    // The echo, in clear or as asterisks; without one, the answers owed first.
    std::size_t from = std::string::npos;
    for (const std::string& echo : {std::string(typed), std::string(typed.size(), '*')}) {
        const std::size_t at = sinceSent_.find(echo);
        if (at != std::string::npos) from = std::min(from, at + echo.size());
    }
    std::size_t refusals = 0;
    std::size_t at = from == std::string::npos ? 0 : from;
    for (at = sinceSent_.find(kLoginIncorrectWord, at); at != std::string::npos;
         at = sinceSent_.find(kLoginIncorrectWord, at + 1)) {
        ++refusals;
    }
    const std::size_t needed = from == std::string::npos ? static_cast<std::size_t>(owed_) + 1 : 1;
    return refusals >= needed ? Verdict::Refused : Verdict::Pending;
}

bool AsksForPassword(const Exchange& exchange) {
    return exchange.ReplyContains(kLoginIncorrectWord) && !exchange.ReplyContains("*");
}

void RunPasswordPrompt(RouterSession& session, Frontend& frontend) {
    for (;;) {
        const std::optional<std::string> typed = frontend.askPassword();
        if (!typed) {
            session.KeepTrying = 0;
            return;
        }
        // Sent as "?" it would only be refused: asked again instead.
        if (const std::optional<std::string> bytes = Utf8ToWindows1252Exactly(*typed)) {
            session.UserPassword = *bytes + "\r\n";
            return;
        }
        frontend.tell({std::string(kPasswordNotCarriedText), std::string(kErrorCaption),
                       MessageSeverity::Failure});
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
        passwords.drained(exchange.LatestReply());
        if (passwords.wanted(exchange)) {
            // The nudge below ends the password: nothing is owed before it.
            passwords.answer(exchange, deadline, 0);
            exchange.ClearReply();
        }
        if (showReplies) exchange.ShowReply();
        exchange.SendLine(kNudge);
        if (exchange.ReplyIsPrompt()) return LoginOutcome::LoggedIn;
    }
}

}  // namespace cofralin
