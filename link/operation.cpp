#include "operation.h"

namespace cofralin {

Operation::Operation(Exchange& exchange, RunStart start) : exchange_(exchange), busy_(start.busy) {
    SessionState& state = exchange_.state();
    if (start.keepTrying) state.KeepTrying = 1;
    if (start.countFromZero) state.SentLineCount = 0;
    exchange_.ClearReply();
    if (busy_) view().setBusy(true);
}

Operation::~Operation() {
    if (busy_) view().setBusy(false);
}

bool Operation::RequirePort() {
    if (exchange_.LineLost()) {
        TellLineLost(state(), view());
        return false;
    }
    if (state().portOpen()) return true;
    ShowError(kPortClosedText);
    return false;
}

LoginOutcome Operation::LogIn(bool showReplies) {
    const LoginOutcome outcome = EnsureLogin(exchange_, showReplies);
    if (outcome == LoginOutcome::NoAnswer || outcome == LoginOutcome::LineLost) tellGaveUp();
    return outcome;
}

bool Operation::AwaitPrompt(AwaitOrder order, const std::function<void()>& check) {
    if (exchange_.AwaitPrompt(order, check)) return true;
    tellGaveUp();
    return false;
}

bool Operation::AwaitListing(AwaitOrder order, std::span<const std::string_view> marks,
                             const std::function<void()>& check) {
    if (exchange_.AwaitListing(order, marks, check)) return true;
    tellGaveUp();
    return false;
}

void Operation::tellGaveUp() {
    if (exchange_.LineLost()) {
        TellLineLost(state(), view());
    } else {
        ShowError(kRouterSilentText);
    }
}

void Operation::SendLines(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) exchange_.SendLine(line);
}

void ShowError(RouterView& view, std::string_view text) {
    view.showMessage(std::string(text), "Error", MessageButtons::Ok);
}

void TellLineLost(SessionState& state, RouterView& view) {
    state.lineLossTold = true;
    ShowError(view, LineLostText(state.PortName));
}

}  // namespace cofralin
