#pragma once
// One run of a router procedure: the exchange and the view it talks through,
// with what every procedure sets up, asks and tells.
//
// The whole flow: a dialog's handler calls a procedure with the dialog's
// Exchange (the line, the session state and the dialog's RouterView); the
// procedure opens an Operation, checks its templates and the port, logs in,
// sends lines built by pure functions from its settings and what it read,
// waits for the bare prompt, reads the router back where it changed the
// configuration, and returns an outcome the dialog turns into its controls.
//
// How it works: a procedure opens an Operation over its dialog's exchange and
// runs on it. Construction sets the run's start state (KeepTrying to 1 and the
// line counter to 0 where the procedure starts afresh, always an empty reply)
// and shows the wait cursor; destruction brings the arrow back, on every way
// out. In between the procedure tests the port, logs in, sends its lines,
// waits for the bare prompt and reads the latest reply. Each step that fails
// has told the user why before it returns, so the procedure only stops. A
// step that finds the port's device gone tells "Se perdió la conexión con el
// puerto %s." instead of the router's silence:
//
//   RequirePort   false, with "No pudo abrirse el puerto de comunicaciones", without a port
//   LogIn         EnsureLogin; a router that does not answer has been told
//   AwaitPrompt   the exchange's wait; false when it gave up, the user told
//   AwaitListing  the same for a listing: a prompt counts only after the listing
//   ReadListing   listing commands sent, then AwaitListing, each reply handed over
//   RequireTemplates  false, naming the first empty command template the run needs
//   SendLines     lines built beforehand, back to back
//   Reply         the latest drained reply, as a copy
//   ShowError     a message box captioned "Error"

#include <functional>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "exchange.h"
#include "login.h"

namespace cofralin {

// What a run sets before its first step.
struct RunStart {
    bool keepTrying = false;     // KeepTrying becomes 1
    bool countFromZero = false;  // SentLineCount becomes 0
    bool busy = true;            // the wait cursor for the whole run
};

// A message box captioned "Error" with only OK.
void ShowError(RouterView& view, std::string_view text);

// Tells that the device of the open port is gone, and records that it was told.
void TellLineLost(SessionState& state, RouterView& view);

// True when every template in `keys` holds a command; otherwise the first
// empty one has been named in a message, before anything was sent.
bool RequireTemplates(RouterView& view, const CommandCatalogue& catalogue,
                      std::span<const CatalogueKey> keys);

class Operation {
public:
    Operation(Exchange& exchange, RunStart start);
    ~Operation();
    Operation(const Operation&) = delete;
    Operation& operator=(const Operation&) = delete;

    Exchange& exchange() { return exchange_; }
    SessionState& state() { return exchange_.state(); }
    RouterView& view() { return exchange_.view(); }
    const CommandCatalogue& catalogue() { return exchange_.state().CommandCatalogue; }

    // True when a port is open; otherwise the user has been told.
    bool RequirePort();
    // The log-in check; NoAnswer has been told, Abandoned tells nothing.
    LoginOutcome LogIn(bool showReplies);
    // The wait for the bare prompt; false when it gave up, the user told.
    bool AwaitPrompt(AwaitOrder order, const std::function<void()>& check = {});
    // The wait for a listing: ends at a bare prompt once one of `marks` has
    // come; false when it gave up, the user told.
    bool AwaitListing(AwaitOrder order, std::span<const std::string_view> marks,
                      const std::function<void()>& check = {});
    // Sends each of `keys` with " \r\n", back to back, then waits drain-first
    // for the listing; `take` sees every fresh reply. False when it gave up.
    bool ReadListing(std::initializer_list<CatalogueKey> keys,
                     std::span<const std::string_view> marks,
                     const std::function<void(const std::string& reply)>& take);
    // True when every template in `keys` holds a command; otherwise the user
    // has been told which one is missing, and nothing has been sent.
    bool RequireTemplates(std::span<const CatalogueKey> keys) {
        return cofralin::RequireTemplates(view(), catalogue(), keys);
    }
    // A line added, from now on in this run, to what a wait that gives up tells.
    void SetGiveUpNote(std::string note) { giveUpNote_ = std::move(note); }

    void SendLine(std::string_view text) { exchange_.SendLine(text); }
    void SendLines(const std::vector<std::string>& lines);
    void SendCatalogueLine(
        CatalogueKey key, LineEnding ending,
        std::initializer_list<std::pair<std::string_view, std::string_view>> substitutions = {}) {
        exchange_.SendCatalogueLine(key, ending, substitutions);
    }
    void ShowReply() { exchange_.ShowReply(); }
    bool ReplyContains(std::string_view text) const { return exchange_.ReplyContains(text); }
    std::string Reply() const { return exchange_.LatestReply(); }

    void ShowError(std::string_view text) { cofralin::ShowError(view(), text); }

private:
    // The router fell silent, or the line was lost: says which.
    void tellGaveUp();

    Exchange& exchange_;
    bool busy_;
    std::string giveUpNote_;
};

}  // namespace cofralin
