#include "operation.h"

namespace cofralin {

std::optional<Ending> LoginEnding(LoginOutcome login) {
    switch (login) {
        case LoginOutcome::LoggedIn:
            return std::nullopt;
        case LoginOutcome::Abandoned:
            return Ending::LoginFailed;
        case LoginOutcome::NoAnswer:
            return Ending::NoAnswer;
        case LoginOutcome::LineLost:
            return Ending::LineLost;
        case LoginOutcome::Stopped:
            return Ending::Stopped;
    }
    return Ending::NoAnswer;
}

Operation::Operation(RouterSession& session, Frontend& frontend, ExchangeDisplay display,
                     RunStart start)
    : exchange_(session, frontend, display), busy_(start.busy) {
    if (start.keepTrying) session.KeepTrying = 1;
    if (start.countFromZero) session.SentLineCount = 0;
    exchange_.ClearReply();
    if (busy_) frontend.busy(true);
}

Operation::~Operation() {
    if (busy_) frontend().busy(false);
}

bool Operation::RequirePort() {
    if (exchange_.LineLost()) {
        portLost_ = true;
        session().lineLossTold = true;
        ShowError(LineLostText(session().PortName));
        return false;
    }
    if (session().portOpen()) return true;
    portClosed_ = true;
    ShowError(kPortClosedText);
    return false;
}

bool Operation::RequireTemplates(std::span<const CatalogueKey> keys) {
    const std::optional<CatalogueKey> missing = FirstEmptyTemplate(catalogue(), keys);
    if (!missing) return true;
    ShowError(MissingCommandText(*missing) + "\n" + std::string(kNothingSentText));
    return false;
}

LoginOutcome Operation::LogIn(bool showReplies) {
    const LoginOutcome outcome = EnsureLogin(exchange_, showReplies);
    if (outcome != LoginOutcome::LoggedIn && outcome != LoginOutcome::Abandoned) tellGaveUp();
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
    std::string* heard = nullptr;
    std::string_view command;
    for (const CatalogueKey key : keys) {
        SendCatalogueLine(key, LineEnding::BlankCrLf);
        std::string* listing = key == CatalogueKey::SHOW_SYSTEM                ? &heard_.system
                               : key == CatalogueKey::SHOW_VC_INTERNET         ? &heard_.vc
                               : key == CatalogueKey::SHOW_DHCP_SERVER_SETTING ? &heard_.dhcpServer
                                                                               : nullptr;
        if (listing && !configurationSent_) {
            heard = listing;
            command = Trimmed(catalogue()[key]);
        }
    }
    std::string replies;
    const bool listed = AwaitListing(AwaitOrder::DrainFirst, marks, [&] {
        const std::string& reply = exchange_.session().ReplyBuffer;
        if (heard) replies += reply;
        take(reply);
    });
    // What a command sent before the listing's own answered is not the listing.
    if (heard && listed) {
        const std::size_t echo = command.empty() ? std::string::npos : replies.find(command);
        *heard = echo == std::string::npos ? replies : replies.substr(echo);
    }
    return listed;
}

void Operation::SendLines(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) exchange_.SendLine(line);
}

void Operation::SendConfiguration(const std::vector<std::string>& lines, bool warnsHalfConfigured) {
    if (lines.empty()) return;
    // A procedure stops at Plan first; this only makes sure that a dry run
    // never configures.
    if (DryRun()) {
        planned_.insert(planned_.end(), lines.begin(), lines.end());
        return;
    }
    configurationSent_ = true;
    warnsHalfConfigured_ = warnsHalfConfigured_ || warnsHalfConfigured;
    exchange_.KeepReplies();
    configured_.insert(configured_.end(), lines.begin(), lines.end());
    SendLines(lines);
}

std::vector<Refusal> Operation::Refusals() {
    std::vector<Refusal> refusals =
        CountedRefusals(catalogue(), RefusalsIn(exchange_.TakeReplies(), configured_));
    configured_.clear();
    return refusals;
}

Ending Operation::StopRefused(const std::vector<std::string>& texts, std::string_view closing) {
    SendCatalogueLine(CatalogueKey::EXIT_CLI, LineEnding::BlankCrLf);
    std::string text;
    for (const std::string& line : texts) text += (text.empty() ? "" : "\n") + line;
    if (!closing.empty()) text += "\n" + std::string(closing);
    ShowError(text);
    return Ending::NotAccepted;
}

Ending Operation::Plan(std::span<const std::vector<std::string>> batches) {
    for (const std::vector<std::string>& batch : batches) {
        planned_.insert(planned_.end(), batch.begin(), batch.end());
    }
    SendCatalogueLine(CatalogueKey::EXIT_CLI, LineEnding::BlankCrLf);
    return Ending::Done;
}

void Operation::Tell(const Message& message) {
    if (!told_.empty()) told_ += "\n";
    told_ += message.text;
    frontend().tell(message);
}

void Operation::ShowError(std::string_view text) {
    Tell({std::string(text), std::string(kErrorCaption), MessageSeverity::Failure});
}

bool Operation::Confirm(const Message& question, Answers answers) {
    return frontend().confirm(question, answers);
}

Ending Operation::GaveUp() const {
    if (configurationSent_) return Ending::HalfConfigured;
    if (portClosed_) return Ending::PortClosed;
    if (portLost_ || exchange_.LineLost()) return Ending::LineLost;
    return exchange_.Stopped() ? Ending::Stopped : Ending::NoAnswer;
}

Outcome Operation::Finish(Ending ending) {
    Outcome outcome;
    outcome.ending = ending;
    outcome.message = told_;
    outcome.read = read_;
    outcome.sent = exchange_.SentLines();
    outcome.planned = planned_;
    outcome.copy = copy_;
    return outcome;
}

void Operation::tellGaveUp() {
    std::string text;
    if (exchange_.LineLost()) {
        session().lineLossTold = true;
        text = LineLostText(session().PortName);
    } else if (exchange_.Stopped()) {
        text = std::string(kStoppedText);
    } else {
        text = std::string(kRouterSilentText);
    }
    if (configurationSent_ && warnsHalfConfigured_) text += "\n" + std::string(kHalfConfiguredText);
    ShowError(text);
}

}  // namespace cofralin
