#pragma once
// One run of a router procedure: its exchange with the router and the front
// end it tells and asks, with what every procedure sets up, asks and tells.
//
// The whole flow: a front end calls a procedure with a RouterSession, its
// Frontend and the values the user gave; the procedure opens an Operation,
// checks its templates and the port, logs in, sends lines built by pure
// functions from those values and what it read, waits for the bare prompt,
// reads the router back where it changed the configuration, and returns an
// Outcome that the front end turns into its controls or its output.
//
// How it works: construction sets the run's start state (KeepTrying to 1 and
// the line counter to 0 where the procedure starts afresh, always an empty
// reply) and tells the front end that work begins; destruction that it ends,
// on every way out. In between the procedure tests the port, logs in, sends
// its lines, waits for the bare prompt and reads the latest reply. Each step
// that fails has told the user why before it returns, so the procedure only
// stops, with the ending GaveUp() names. A wait that finds the port's device
// gone tells "Se perdió la conexión con el puerto %s.", one that was asked to
// stop says so, and once configuration lines have gone out each adds that the
// router may be half-configured:
//
//   RequirePort       false, with "No pudo abrirse el puerto de comunicaciones", without a port
//   RequireTemplates  false, naming the first empty command template the run needs
//   LogIn             EnsureLogin; a router that does not answer has been told
//   AwaitPrompt       the exchange's wait; false when it gave up, the user told
//   AwaitListing      the same for a listing: a prompt counts only after the listing
//   ReadListing       listing commands sent, then AwaitListing, each reply handed over
//   SendLines         lines built beforehand, back to back
//   SendConfiguration the same, from which on a give-up is half-configured;
//                     in a dry run only kept as planned
//   DryRun / Plan     a dry run's stop once its configuration is built: the
//                     lines kept as planned, none sent, the command line left
//   Tell / ShowError  a message for the user, kept for the outcome
//   Finish            the outcome: the ending, what was told, read and sent

#include <filesystem>
#include <functional>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "exchange.h"
#include "login.h"
#include "outcome.h"
#include "refusals.h"

namespace cofralin {

// What a run sets before its first step.
struct RunStart {
    bool keepTrying = false;     // KeepTrying becomes 1
    bool countFromZero = false;  // SentLineCount becomes 0
    bool busy = true;            // the front end is told that work goes on
};

// How a run that stopped at the log-in ends; nothing when it logged in.
std::optional<Ending> LoginEnding(LoginOutcome login);

class Operation {
public:
    Operation(RouterSession& session, Frontend& frontend, ExchangeDisplay display, RunStart start);
    ~Operation();
    Operation(const Operation&) = delete;
    Operation& operator=(const Operation&) = delete;

    Exchange& exchange() { return exchange_; }
    RouterSession& session() { return exchange_.session(); }
    Frontend& frontend() { return exchange_.frontend(); }
    const CommandCatalogue& catalogue() { return exchange_.session().catalogue(); }
    // What the run has read so far; the procedure fills it.
    RouterReading& read() { return read_; }

    // True when a port is open; otherwise the user has been told (a closed
    // port, or one whose device is gone) and GaveUp() tells which.
    bool RequirePort();
    // True when every template in `keys` holds a command; otherwise the user
    // has been told which one is missing, and nothing has been sent.
    bool RequireTemplates(std::span<const CatalogueKey> keys);
    // The log-in check; a router that does not answer, a lost line and a
    // stop have been told, a password not given tells nothing.
    LoginOutcome LogIn(bool showReplies);
    // The wait for the bare prompt; false when it gave up, the user told.
    bool AwaitPrompt(AwaitOrder order, const std::function<void()>& check = {});
    // The wait for a listing: ends at a bare prompt once one of `marks` has
    // come; false when it gave up, the user told.
    bool AwaitListing(AwaitOrder order, std::span<const std::string_view> marks,
                      const std::function<void()>& check = {});
    // Sends each of `keys` with " \r\n", back to back, then waits drain-first
    // for the listing; `take` sees every fresh reply. False when it gave up.
    // Before any configuration line, the replies of a system, circuit or
    // DHCP server listing are kept, from the echo of its command on, for a
    // copy of the router (heardListings).
    bool ReadListing(std::initializer_list<CatalogueKey> keys,
                     std::span<const std::string_view> marks,
                     const std::function<void(const std::string& reply)>& take);

    // The listings this run read before its first configuration line, as
    // far as it read them: empty for one not read.
    const RouterListings& heardListings() const { return heard_; }

    void SendLine(std::string_view text) { exchange_.SendLine(text); }
    void SendLines(const std::vector<std::string>& lines);
    // Configuration lines: what the router answers to them is kept for
    // Refusals, and from the first one on a wait that gives up tells the
    // user that the router may be half-configured (unless `warnsHalfConfigured`
    // is false: a change of one setting).
    void SendConfiguration(const std::vector<std::string>& lines, bool warnsHalfConfigured = true);
    // What the router refused of the configuration sent since the last look,
    // but the lines that only clear (see refusals.h); empty when it took all.
    std::vector<Refusal> Refusals();
    // Tells `texts`, one a line, followed by `closing`, leaves the command
    // line and ends not accepted.
    Ending StopRefused(const std::vector<std::string>& texts, std::string_view closing);
    // The same, naming each refusal's setting.
    Ending StopRefused(const std::vector<Refusal>& refusals, std::string_view closing) {
        return StopRefused(RefusalTexts(catalogue(), refusals), closing);
    }
    // The session asks for a dry run: the procedure stops with Plan once its
    // configuration is built, before any of it is sent.
    bool DryRun() { return session().runOptions.dryRun; }
    // Keeps `batches`, in order, as the lines a real run would send, sends
    // none of them and leaves the command line (EXIT_CLI). Done.
    Ending Plan(std::span<const std::vector<std::string>> batches);
    Ending Plan(const std::vector<std::string>& lines) { return Plan(std::span(&lines, 1)); }
    void SendCatalogueLine(
        CatalogueKey key, LineEnding ending,
        std::initializer_list<std::pair<std::string_view, std::string_view>> substitutions = {}) {
        exchange_.SendCatalogueLine(key, ending, substitutions);
    }
    void ShowReply() { exchange_.ShowReply(); }
    bool ReplyContains(std::string_view text) const { return exchange_.ReplyContains(text); }
    std::string Reply() const { return exchange_.LatestReply(); }

    // The copy kept before the change, for the outcome.
    void KeptCopy(std::filesystem::path path) { copy_ = std::move(path); }

    // A message for the user, kept for the outcome.
    void Tell(const Message& message);
    // A failure captioned "Error".
    void ShowError(std::string_view text);
    // A question before a change; true for Yes or OK.
    bool Confirm(const Message& question, Answers answers);

    // How the run ends after a step that gave up: half-configured once
    // configuration lines went out, else the lost line, the stop or silence.
    Ending GaveUp() const;
    // The outcome with `ending`, what was told, read and sent.
    Outcome Finish(Ending ending);

private:
    // The router fell silent, the line was lost or a stop was asked: says which.
    void tellGaveUp();

    Exchange exchange_;
    bool busy_;
    bool configurationSent_ = false;
    bool warnsHalfConfigured_ = false;
    std::vector<std::string> configured_;  // sent since the last look at the refusals
    bool portLost_ = false;
    bool portClosed_ = false;
    RouterReading read_;
    RouterListings heard_;
    std::vector<std::string> planned_;
    std::filesystem::path copy_;
    std::string told_;
};

}  // namespace cofralin
