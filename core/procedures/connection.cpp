#include "connection.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <utility>

#include "listing_marks.h"
#include "operation.h"
#include "refusals.h"

namespace cofralin {

namespace {

constexpr int kSilentPassLimit = 60;

// Every command template the connection may send, with the DHCP server's
// of the circuit's creation.
constexpr std::array kConnectionCommands{
    CatalogueKey::SET_ADSL_OPEN_ANSI, CatalogueKey::SHOW_VC_INTERNET, CatalogueKey::SAVE_ALL,
    CatalogueKey::EXIT_CLI, CatalogueKey::SHOW_DHCP_SERVER_SETTING};

// What the connection tells by itself: the progress, nothing else.
constexpr ExchangeDisplay kConnectDisplay{true, false, false};

// How a wait cut short by the line or a stop ends the connection.
std::optional<Ending> interruption(const Exchange& exchange) {
    if (exchange.LineLost()) return Ending::LineLost;
    if (exchange.Stopped()) return Ending::Stopped;
    return std::nullopt;
}

// Nudges until a drained reply is exactly the prompt, answering "Quick Setup?"
// and the password requests; the tests of each pass look at the reply of the
// pass before.
Ending logInPhase(Exchange& exchange, PasswordChooser& passwords) {
    RouterSession& session = exchange.session();
    int silentPasses = 0;
    Exchange::Deadline deadline = exchange.startWait();
    bool sawPrompt = false;
    while (silentPasses < kSilentPassLimit && session.KeepTrying == 1) {
        if (deadline.passed()) break;  // talking, but never the bare prompt
        exchange.SendLine(kNudge);
        // Its write may be what finds the device gone: no password prompt then.
        if (const auto stop = interruption(exchange)) return *stop;
        if (exchange.ReplyContains("Quick Setup?")) exchange.SendLine("no\r\n");
        if (passwords.wanted(exchange)) {
            // The nudge just sent is answered before the password.
            passwords.answer(exchange, deadline, 1);
            exchange.ClearReply();
        }
        const std::size_t length = exchange.DrainReply();
        if (const auto stop = interruption(exchange)) return *stop;
        passwords.drained(exchange.LatestReply());
        exchange.ShowReply();
        ++silentPasses;
        if (length > 1) silentPasses = 0;
        if (exchange.ReplyIsPrompt()) {
            sawPrompt = true;
            break;
        }
    }
    if (silentPasses != 0 || (!sawPrompt && session.KeepTrying == 1)) return Ending::NoAnswer;
    return session.KeepTrying == 1 ? Ending::Done : Ending::LoginFailed;
}

// Whether `collected`, what came after the listing commands, shows the
// circuit missing: "not in table" in the answer to the listing command (after
// its echo or, from a router that echoes nothing, after the prompt that ends
// the answer to the line before it), and none of the circuit's labels there.
bool VcMissingIn(std::string_view collected, std::string_view listingCommand) {
    std::size_t answer =
        listingCommand.empty() ? std::string_view::npos : collected.find(listingCommand);
    if (answer != std::string_view::npos) {
        answer += listingCommand.size();
    } else if ((answer = collected.find(kPromptWord)) != std::string_view::npos) {
        answer += kPromptWord.size();
    } else {
        return false;
    }
    const std::string_view listed = collected.substr(answer);
    if (listed.find(kVcMissingText) == std::string_view::npos) return false;
    for (const std::string_view label :
         {kRemoteAddressLabel, kLocalAddressLabel, kUdpTableTitle, kTcpTableTitle}) {
        if (listed.find(label) != std::string_view::npos) return false;
    }
    return true;
}

// Lists the internet circuit and creates it when the listing shows it
// missing. The creation ends with EXIT_CLI, after which the router asks for
// the password again: the wait logs in anew with the password that worked,
// so that it can see the bare prompt. A bare prompt ends the wait only once
// the listing (its labels or "not in table") has come. `created` tells
// whether the circuit was created; a refused creation ends not accepted,
// `refused` saying what. A dry run keeps the creation in `planned` and sends
// none of it.
Ending vcPhase(Exchange& exchange, const PasswordChooser& passwords, bool& created,
               std::string& refused, ConfigurationLines& planned) {
    RouterSession& session = exchange.session();
    exchange.SendCatalogueLine(CatalogueKey::SET_ADSL_OPEN_ANSI, LineEnding::BlankCrLf);
    exchange.SendCatalogueLine(CatalogueKey::SHOW_VC_INTERNET, LineEnding::BlankCrLf);
    PasswordChooser relogin(passwords.sentAny() ? passwords.last()
                                                : session.settings().DefaultPassword);
    Exchange::Deadline deadline = exchange.startWait();
    exchange.ClearReply();
    ListingWatch watch(kVcListingMarks);
    const std::string listingCommand(Trimmed(session.catalogue()[CatalogueKey::SHOW_VC_INTERNET]));
    const ConfigurationLines creation = VcCreationLines(session.catalogue());
    std::string collected;
    do {
        if (deadline.passed()) return Ending::NoAnswer;
        exchange.SendLine(kNudge);
        exchange.DrainReply();
        if (const auto stop = interruption(exchange)) return *stop;
        relogin.drained(exchange.LatestReply());
        watch.see(exchange.LatestReply());
        if (!created) collected += exchange.LatestReply();
        if (!created && VcMissingIn(collected, listingCommand)) {
            created = true;
            if (session.runOptions.dryRun) {
                planned = creation;
            } else {
                exchange.KeepReplies();
                for (const std::string& line : creation) exchange.SendLine(line);
            }
            session.SetRouterMode(RouterMode::SinglePc);
        } else if (created && relogin.wanted(exchange)) {
            // The next pass's nudge ends the password.
            relogin.answer(exchange, deadline, 0);
            if (session.KeepTrying != 1) return Ending::LoginFailed;
        }
        exchange.ShowReply();
    } while (!exchange.ReplyIsPrompt() || !watch.listed());
    if (!created || !planned.empty()) return Ending::Done;
    for (const std::string& text :
         RefusalTexts(session.catalogue(), RefusalsIn(exchange.TakeReplies(), creation))) {
        refused += (refused.empty() ? "" : "\n") + text;
    }
    return refused.empty() ? Ending::Done : Ending::NotAccepted;
}

// Reads the DHCP server setting: enabled is single-PC mode, disabled multi-PC.
Ending detectMode(Exchange& exchange) {
    RouterSession& session = exchange.session();
    exchange.SendCatalogueLine(CatalogueKey::SHOW_DHCP_SERVER_SETTING, LineEnding::CrLf);
    const bool listed = exchange.AwaitListing(AwaitOrder::NudgeFirst, kDhcpListingMarks, [&] {
        if (exchange.ReplyContains(kDhcpEnabledWord)) session.SetRouterMode(RouterMode::SinglePc);
        if (exchange.ReplyContains(kDhcpDisabledWord)) session.SetRouterMode(RouterMode::MultiPc);
    });
    if (listed) return Ending::Done;
    return interruption(exchange).value_or(Ending::NoAnswer);
}

// The outcome in words (`told` when the procedure said more); a failure
// leaves no mode.
Outcome finish(Exchange& exchange, Ending ending, const std::string& told = {},
               ConfigurationLines planned = {}) {
    RouterSession& session = exchange.session();
    Outcome outcome;
    outcome.ending = ending;
    outcome.sent = exchange.SentLines();
    outcome.planned = std::move(planned);
    switch (ending) {
        case Ending::Done:
            outcome.message = kConnectedText;
            outcome.read.mode = session.mode();
            return outcome;
        case Ending::LoginFailed:
            outcome.message = kWrongPasswordText;
            break;
        case Ending::LineLost:
            outcome.message = LineLostText(session.PortName);
            session.lineLossTold = true;
            break;
        case Ending::Stopped:
            outcome.message = kStoppedText;
            break;
        default:
            outcome.message = told.empty() ? std::string(kRouterSilentText) : told;
            break;
    }
    session.SetRouterMode(RouterMode::Unknown);
    return outcome;
}

}  // namespace

ConfigurationLines VcCreationLines(const CommandCatalogue& catalogue) {
    ConfigurationLines lines{"add vc internet\r\n"};
    const ConfigurationLines dhcp =
        DhcpServerLines(catalogue, LineEnding::CrLf,
                        {kCreationLanSubnet, kCreationPoolStart, kCreationDefaultRouter});
    lines.insert(lines.end(), dhcp.begin(), dhcp.end());
    for (const CatalogueKey key :
         {CatalogueKey::SET_DHCP_MODE_SERVER, CatalogueKey::SAVE_ALL, CatalogueKey::EXIT_CLI}) {
        lines.push_back(CatalogueLine(catalogue, key, LineEnding::CrLf));
    }
    return lines;
}

void PrepareConnection(RouterSession& session) {
    session.StartAfresh();
    session.SetRouterMode(RouterMode::Unknown);
}

Outcome RunConnectionProcedure(RouterSession& session, Frontend& frontend) {
    PrepareConnection(session);
    Operation run(session, frontend, kConnectDisplay, RunStart{});
    Exchange& exchange = run.exchange();
    frontend.progress(0);
    std::optional<CatalogueKey> missing =
        FirstEmptyTemplate(session.catalogue(), kDhcpServerCommands);
    if (!missing) missing = FirstEmptyTemplate(session.catalogue(), kConnectionCommands);
    if (missing) {
        Outcome outcome;
        outcome.ending = Ending::MissingCommand;
        outcome.message = MissingCommandText(*missing);
        return outcome;
    }
    // Cleared for every connection, so that each one detects the mode afresh.
    bool vcCreated = false;
    ConfigurationLines planned;

    PasswordChooser passwords(session.settings().DefaultPassword);
    std::string refused;
    Ending phase = logInPhase(exchange, passwords);
    if (phase == Ending::Done) phase = vcPhase(exchange, passwords, vcCreated, refused, planned);
    if (phase == Ending::Done && !vcCreated) phase = detectMode(exchange);
    if (phase != Ending::Done) return finish(exchange, phase, refused, std::move(planned));

    exchange.SendCatalogueLine(CatalogueKey::EXIT_CLI, LineEnding::CrLf);
    // Its write is the last chance to find the device gone.
    return finish(exchange, exchange.LineLost() ? Ending::LineLost : Ending::Done, {},
                  std::move(planned));
}

}  // namespace cofralin
