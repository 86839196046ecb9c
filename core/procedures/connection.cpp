#include "connection.h"

#include <array>
#include <optional>
#include <string>

#include "listing_marks.h"
#include "operation.h"

namespace cofralin {

namespace {

constexpr int kSilentPassLimit = 60;

// Every command template the connection may send, the circuit's creation included.
constexpr std::array kConnectionCommands{CatalogueKey::SET_ADSL_OPEN_ANSI,
                                         CatalogueKey::SHOW_VC_INTERNET,
                                         CatalogueKey::ADD_IP_NETWORK_LAN_ADDRESS_ENABLE_YES,
                                         CatalogueKey::SET_DHCP_MODE_SERVER,
                                         CatalogueKey::SET_DHCP_SERVER_START,
                                         CatalogueKey::SET_DHCP_SERVER_ROUTER,
                                         CatalogueKey::SET_DHCP_SERVER_DNS,
                                         CatalogueKey::SET_DHCP_SERVER_WIN,
                                         CatalogueKey::SET_DHCP_SERVER_LEASE,
                                         CatalogueKey::SAVE_ALL,
                                         CatalogueKey::EXIT_CLI,
                                         CatalogueKey::SHOW_DHCP_SERVER_SETTING};

// What a connection reads before it leaves the command line.
enum class Phase { Done, NoAnswer, WrongPassword, LineLost };

// Nudges until a drained reply is exactly the prompt, answering "Quick Setup?"
// and the password requests; the tests of each pass look at the reply of the
// pass before.
Phase logInPhase(Exchange& exchange, PasswordChooser& passwords) {
    SessionState& state = exchange.state();
    int silentPasses = 0;
    Exchange::Deadline deadline = exchange.startWait();
    bool sawPrompt = false;
    while (silentPasses < kSilentPassLimit && state.KeepTrying == 1) {
        if (deadline.passed()) break;  // talking, but never the bare prompt
        exchange.SendLine(kNudge);
        // Its write may be what finds the device gone: no password prompt then.
        if (exchange.LineLost()) return Phase::LineLost;
        if (exchange.ReplyContains("Quick Setup?")) exchange.SendLine("no\r\n");
        if (AsksForPassword(exchange)) {
            AnswerPasswordRequest(exchange, passwords, deadline);
            exchange.ClearReply();
        }
        const std::size_t length = exchange.DrainReply();
        if (exchange.LineLost()) return Phase::LineLost;
        exchange.ShowReply();
        ++silentPasses;
        if (length > 1) silentPasses = 0;
        if (exchange.ReplyIsPrompt()) {
            sawPrompt = true;
            break;
        }
    }
    if (silentPasses != 0 || (!sawPrompt && state.KeepTrying == 1)) return Phase::NoAnswer;
    return state.KeepTrying == 1 ? Phase::Done : Phase::WrongPassword;
}

// Lists the internet circuit and creates it when it is not in the table. The
// creation ends with EXIT_CLI, after which the router asks for the password
// again: the wait logs in anew with the password that worked, so that it can
// see the bare prompt. A bare prompt ends the wait only once the listing (its
// labels or "not in table") has come. `created` tells whether the circuit was
// created.
Phase circuitPhase(Exchange& exchange, const PasswordChooser& passwords, bool& created) {
    SessionState& state = exchange.state();
    exchange.SendCatalogueLine(CatalogueKey::SET_ADSL_OPEN_ANSI, LineEnding::BlankCrLf);
    exchange.SendCatalogueLine(CatalogueKey::SHOW_VC_INTERNET, LineEnding::BlankCrLf);
    PasswordChooser relogin(passwords.sentAny() ? passwords.last() : state.DefaultPassword);
    Exchange::Deadline deadline = exchange.startWait();
    exchange.ClearReply();
    ListingWatch watch(kVcListingMarks);
    do {
        if (deadline.passed()) return Phase::NoAnswer;
        exchange.SendLine(kNudge);
        exchange.DrainReply();
        if (exchange.LineLost()) return Phase::LineLost;
        watch.see(exchange.LatestReply());
        if (exchange.ReplyContains(kVcMissingText)) {
            created = true;
            for (const std::string& line : CircuitCreationLines(state.CommandCatalogue)) {
                exchange.SendLine(line);
            }
            SetRouterMode(state, RouterMode::SinglePc);
        } else if (created && AsksForPassword(exchange)) {
            const std::optional<std::string> line = relogin.next(exchange, deadline);
            if (!line) return Phase::WrongPassword;
            exchange.SendPassword(*line);
        }
        exchange.ShowReply();
    } while (!exchange.ReplyIsPrompt() || !watch.listed());
    return Phase::Done;
}

// Reads the DHCP server setting: enabled is single-PC mode, disabled multi-PC.
bool detectMode(Exchange& exchange) {
    SessionState& state = exchange.state();
    exchange.SendCatalogueLine(CatalogueKey::SHOW_DHCP_SERVER_SETTING, LineEnding::CrLf);
    return exchange.AwaitListing(AwaitOrder::NudgeFirst, kDhcpListingMarks, [&] {
        if (exchange.ReplyContains(kDhcpEnabledWord)) {
            SetRouterMode(state, RouterMode::SinglePc);
        }
        if (exchange.ReplyContains(kDhcpDisabledWord)) {
            SetRouterMode(state, RouterMode::MultiPc);
        }
    });
}

ConnectionOutcome finish(Exchange& exchange, ConnectionOutcome outcome) {
    RouterView& view = exchange.view();
    SessionState& state = exchange.state();
    if (outcome == ConnectionOutcome::Connected) {
        view.setStatusText(std::string(kConnectedText));
        view.enableControl(connect_ids::kOk, true);
        return outcome;
    }
    SetRouterMode(state, RouterMode::Unknown);
    switch (outcome) {
        case ConnectionOutcome::NoAnswer:
            view.setStatusText(std::string(kNoAnswerText));
            break;
        case ConnectionOutcome::WrongPassword:
            view.setStatusText(std::string(kWrongPasswordText));
            break;
        default:
            view.setStatusText(LineLostStatusText(state.PortName));
            state.lineLossTold = true;
            break;
    }
    view.enableControl(connect_ids::kCancel, true);
    return outcome;
}

ConnectionOutcome failure(Phase phase) {
    switch (phase) {
        case Phase::NoAnswer:
            return ConnectionOutcome::NoAnswer;
        case Phase::WrongPassword:
            return ConnectionOutcome::WrongPassword;
        default:
            return ConnectionOutcome::LineLost;
    }
}

}  // namespace

ConfigurationLines CircuitCreationLines(const CommandCatalogue& catalogue) {
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

ConnectionOutcome RunConnectionProcedure(Exchange& exchange) {
    const Operation run(exchange, RunStart{});
    exchange.view().setProgress(0);
    if (const std::optional<CatalogueKey> missing =
            FirstEmptyTemplate(exchange.state().CommandCatalogue, kConnectionCommands)) {
        SetRouterMode(exchange.state(), RouterMode::Unknown);
        exchange.view().setStatusText(MissingCommandText(*missing) +
                                      "\nPulse CANCEL para continuar.");
        exchange.view().enableControl(connect_ids::kCancel, true);
        return ConnectionOutcome::MissingCommand;
    }
    // Cleared for every connection, so that each one detects the mode afresh.
    bool vcCreated = false;

    PasswordChooser passwords(exchange.state().DefaultPassword);
    if (const Phase login = logInPhase(exchange, passwords); login != Phase::Done) {
        return finish(exchange, failure(login));
    }
    if (const Phase circuit = circuitPhase(exchange, passwords, vcCreated);
        circuit != Phase::Done) {
        return finish(exchange, failure(circuit));
    }
    if (!vcCreated && !detectMode(exchange)) {
        return finish(exchange, exchange.LineLost() ? ConnectionOutcome::LineLost
                                                    : ConnectionOutcome::NoAnswer);
    }

    exchange.SendCatalogueLine(CatalogueKey::EXIT_CLI, LineEnding::CrLf);
    // Its write is the last chance to find the device gone.
    if (exchange.LineLost()) return finish(exchange, ConnectionOutcome::LineLost);
    return finish(exchange, ConnectionOutcome::Connected);
}

}  // namespace cofralin
