#include "login.h"

#include <chrono>
#include <string>
#include <utility>

namespace cofralin {

namespace {

constexpr int kSilentPassLimit = 60;

using Clock = std::chrono::steady_clock;

// Chooses the password line for a "Login incorrect" reply: a first line (the
// built-in password) once, then what the user types. Time spent in the prompt
// does not count against the wait.
class PasswordChooser {
public:
    explicit PasswordChooser(std::string first) : first_(std::move(first)) {}

    std::string next(Exchange& exchange, Exchange::Deadline& deadline) {
        if (!tried_) {
            tried_ = true;
            last_ = first_;
            return last_;
        }
        const auto start = Clock::now();
        RunPasswordPrompt(exchange.state(), exchange.view());
        deadline.extend(Clock::now() - start);
        last_ = exchange.state().UserPassword;
        return last_;
    }
    bool sentAny() const { return tried_; }
    const std::string& last() const { return last_; }

private:
    std::string first_;
    std::string last_;
    bool tried_ = false;
};

bool asksForPassword(const Exchange& exchange) {
    return exchange.ReplyContains("Login incorrect") && !exchange.ReplyContains("*");
}

void createInternetCircuit(Exchange& exchange) {
    SessionState& state = exchange.state();
    exchange.SendLine("add vc internet\r\n");
    exchange.SendCatalogueLine(CatalogueKey::ADD_IP_NETWORK_LAN_ADDRESS_ENABLE_YES,
                               LineEnding::CrLf, {{"a.a.a.a/m.m.m.m", kCreationLanSubnet}});
    exchange.SendCatalogueLine(CatalogueKey::SET_DHCP_MODE_SERVER, LineEnding::CrLf);
    exchange.SendCatalogueLine(CatalogueKey::SET_DHCP_SERVER_START, LineEnding::BlankCrLf,
                               {{"a.a.a.a", kCreationPoolStart}});
    exchange.SendCatalogueLine(CatalogueKey::SET_DHCP_SERVER_ROUTER, LineEnding::BlankCrLf,
                               {{"a.a.a.a", kCreationDefaultRouter}});
    exchange.SendCatalogueLine(CatalogueKey::SET_DHCP_SERVER_DNS, LineEnding::BlankCrLf);
    exchange.SendCatalogueLine(CatalogueKey::SET_DHCP_SERVER_WIN, LineEnding::BlankCrLf);
    exchange.SendCatalogueLine(CatalogueKey::SET_DHCP_SERVER_LEASE, LineEnding::BlankCrLf);
    exchange.SendCatalogueLine(CatalogueKey::SET_DHCP_MODE_SERVER, LineEnding::CrLf);
    exchange.SendCatalogueLine(CatalogueKey::SAVE_ALL, LineEnding::CrLf);
    exchange.SendCatalogueLine(CatalogueKey::EXIT_CLI, LineEnding::CrLf);
    state.SinglePcActive = 1;
    state.MultiPcActive = 0;
}

ConnectionOutcome finish(Exchange& exchange, ConnectionOutcome outcome) {
    RouterView& view = exchange.view();
    SessionState& state = exchange.state();
    if (outcome == ConnectionOutcome::Connected) {
        view.setStatusText(std::string(kConnectedText));
        view.enableControl(connect_ids::kOk, true);
    } else {
        state.SinglePcActive = 0;
        state.MultiPcActive = 0;
        view.setStatusText(std::string(
            outcome == ConnectionOutcome::NoAnswer ? kNoAnswerText : kWrongPasswordText));
        view.enableControl(connect_ids::kCancel, true);
    }
    view.setBusy(false);
    return outcome;
}

}  // namespace

void RunPasswordPrompt(SessionState& state, RouterView& view) {
    if (const std::optional<std::string> typed = view.askPassword()) {
        state.UserPassword = Utf8ToLatin1(*typed) + "\r\n";
    } else {
        state.KeepTrying = 0;
    }
}

LoginOutcome EnsureLogin(Exchange& exchange, bool showReplies) {
    SessionState& state = exchange.state();
    state.ReplyBuffer.clear();
    PasswordChooser passwords(state.DefaultPassword);
    Exchange::Deadline deadline = exchange.startWait();
    for (;;) {
        if (state.KeepTrying != 1) return LoginOutcome::Abandoned;
        if (deadline.passed()) return LoginOutcome::NoAnswer;
        exchange.DrainReply();
        if (asksForPassword(exchange)) {
            exchange.SendLine(passwords.next(exchange, deadline));
            state.ReplyBuffer.clear();
        }
        if (showReplies) exchange.ShowReply();
        exchange.SendLine(kNudge);
        if (exchange.ReplyIsPrompt()) return LoginOutcome::LoggedIn;
    }
}

ConnectionOutcome RunConnectionProcedure(Exchange& exchange) {
    SessionState& state = exchange.state();
    RouterView& view = exchange.view();

    view.setBusy(true);
    view.setProgress(0);
    int silentPasses = 0;
    // Cleared for every connection, so that each one detects the mode afresh.
    bool vcCreated = false;
    state.ReplyBuffer.clear();

    // Login phase: the tests of each pass look at the reply of the pass before.
    PasswordChooser passwords(state.DefaultPassword);
    Exchange::Deadline deadline = exchange.startWait();
    bool sawPrompt = false;
    while (silentPasses < kSilentPassLimit && state.KeepTrying == 1) {
        if (deadline.passed()) break;  // talking, but never the bare prompt
        exchange.SendLine(kNudge);
        if (exchange.ReplyContains("Quick Setup?")) exchange.SendLine("no\r\n");
        if (asksForPassword(exchange)) {
            exchange.SendLine(passwords.next(exchange, deadline));
            state.ReplyBuffer.clear();
        }
        const std::size_t length = exchange.DrainReply();
        exchange.ShowReply();
        ++silentPasses;
        if (length > 1) silentPasses = 0;
        if (exchange.ReplyIsPrompt()) {
            sawPrompt = true;
            break;
        }
    }
    if (silentPasses != 0 || (!sawPrompt && state.KeepTrying == 1)) {
        return finish(exchange, ConnectionOutcome::NoAnswer);
    }
    if (state.KeepTrying != 1) return finish(exchange, ConnectionOutcome::WrongPassword);

    exchange.SendCatalogueLine(CatalogueKey::SET_ADSL_OPEN_ANSI, LineEnding::BlankCrLf);
    exchange.SendCatalogueLine(CatalogueKey::SHOW_VC_INTERNET, LineEnding::BlankCrLf);
    // The creation ends with EXIT_CLI, after which the router asks for the
    // password again: the wait logs in anew with the password that worked, so
    // that it can see the bare prompt.
    PasswordChooser relogin(passwords.sentAny() ? passwords.last() : state.DefaultPassword);
    deadline = exchange.startWait();
    state.ReplyBuffer.clear();
    do {
        if (deadline.passed()) return finish(exchange, ConnectionOutcome::NoAnswer);
        exchange.SendLine(kNudge);
        exchange.DrainReply();
        if (exchange.ReplyContains("not in table")) {
            vcCreated = true;
            createInternetCircuit(exchange);
        } else if (vcCreated && asksForPassword(exchange)) {
            exchange.SendLine(relogin.next(exchange, deadline));
            if (state.KeepTrying != 1) return finish(exchange, ConnectionOutcome::WrongPassword);
        }
        exchange.ShowReply();
    } while (!exchange.ReplyIsPrompt());

    if (!vcCreated) {
        exchange.SendCatalogueLine(CatalogueKey::SHOW_DHCP_SERVER_SETTING, LineEnding::CrLf);
        const bool detected = exchange.AwaitPrompt(AwaitOrder::NudgeFirst, [&] {
            if (exchange.ReplyContains("ENABLED")) {
                state.SinglePcActive = 1;
                state.MultiPcActive = 0;
            }
            if (exchange.ReplyContains("DISABLED")) {
                state.MultiPcActive = 1;
                state.SinglePcActive = 0;
            }
        });
        if (!detected) return finish(exchange, ConnectionOutcome::NoAnswer);
    }

    exchange.SendCatalogueLine(CatalogueKey::EXIT_CLI, LineEnding::CrLf);
    return finish(exchange, ConnectionOutcome::Connected);
}

}  // namespace cofralin
