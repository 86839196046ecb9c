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

bool Operation::ReadListing(std::initializer_list<CatalogueKey> keys,
                            std::span<const std::string_view> marks,
                            const std::function<void(const std::string& reply)>& take) {
    for (const CatalogueKey key : keys) SendCatalogueLine(key, LineEnding::BlankCrLf);
    return AwaitListing(AwaitOrder::DrainFirst, marks,
                        [&] { take(exchange_.state().ReplyBuffer); });
}

bool RequireTemplates(RouterView& view, const CommandCatalogue& catalogue,
                      std::span<const CatalogueKey> keys) {
    const std::optional<CatalogueKey> missing = FirstEmptyTemplate(catalogue, keys);
    if (!missing) return true;
    ShowError(view, MissingCommandText(*missing) + "\nNo se ha enviado nada al Router.");
    return false;
}

void Operation::tellGaveUp() {
    const bool lost = exchange_.LineLost();
    if (lost) state().lineLossTold = true;
    std::string text = lost ? LineLostText(state().PortName) : std::string(kRouterSilentText);
    if (!giveUpNote_.empty()) text += "\n" + giveUpNote_;
    ShowError(text);
}

void Operation::SendLines(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) exchange_.SendLine(line);
}

void ShowError(RouterView& view, std::string_view text) {
    view.showMessage(std::string(text), std::string(kErrorCaption), MessageButtons::Ok,
                     MessageSeverity::Failure);
}

void TellLineLost(SessionState& state, RouterView& view) {
    state.lineLossTold = true;
    ShowError(view, LineLostText(state.PortName));
}

}  // namespace cofralin
