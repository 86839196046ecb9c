#pragma once
// The exchange with the router's command line, one per procedure run.
//
// How it works: lines are written back to back; a drain then takes what the
// line holds, a burst at a time, until the line has been quiet for the quiet
// time since the last byte. The router is idle only when a whole drained reply
// equals the prompt "\r\nZarn-DSL>" exactly. Every wait for that prompt gives
// up after the session's wait limit without seeing it, counted from its own
// start with its drains inside it, and every drain stops at the session's
// drain limit, so a router that chatters or falls silent never freezes the
// program; the caller learns that the wait gave up and stops before sending
// anything more. A line whose device is gone, and a stop asked of the
// session, end every wait at once (a drain within one quiet time), and
// nothing more is sent.

#include <chrono>
#include <cstddef>
#include <functional>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "command_catalogue.h"
#include "frontend.h"
#include "line_composition.h"
#include "router_session.h"
#include "run_log.h"
#include "windows_1252.h"

namespace cofralin {

inline constexpr std::string_view kCliPrompt = "\r\nZarn-DSL>";
// The prompt as it shows after any text, and the router's refusal of a password.
inline constexpr std::string_view kPromptWord = "Zarn-DSL>";
inline constexpr std::string_view kLoginIncorrectWord = "Login incorrect";
inline constexpr std::string_view kNudge = "\r";

// What a procedure's exchange tells its front end on its own.
struct ExchangeDisplay {
    bool hasProgressBar = false;  // SendLine tells the count of lines sent
    bool showsSentLines = false;  // SendLine tells the text before writing it
    bool showsReplies = false;    // DrainReply tells the reply before logging it
};

enum class AwaitOrder { NudgeFirst, DrainFirst };

// Follows the replies of a listing until one of its marks (labels, titles) has
// shown, also when a mark is cut between two drains.
class ListingWatch {
public:
    explicit ListingWatch(std::span<const std::string_view> marks) : marks_(marks) {}
    // Takes the next reply; true once the listing has come.
    bool see(std::string_view reply);
    bool listed() const { return listed_; }

private:
    std::span<const std::string_view> marks_;
    std::string collected_;
    bool listed_ = false;
};

class Exchange {
public:
    Exchange(RouterSession& session, Frontend& frontend, ExchangeDisplay display);
    // Logs what the run log still holds back of a password's echo.
    ~Exchange();
    Exchange(const Exchange&) = delete;
    Exchange& operator=(const Exchange&) = delete;

    RouterSession& session() { return session_; }
    Frontend& frontend() { return frontend_; }
    const ExchangeDisplay& display() const { return display_; }

    void SendLine(std::string_view text);
    // A password line: sent unchanged, shown (where lines are shown) as one
    // asterisk per character, its line ending left out.
    void SendPassword(std::string_view password);
    // A catalogue entry with its ending and substitutions.
    void SendCatalogueLine(
        CatalogueKey key, LineEnding ending,
        std::initializer_list<std::pair<std::string_view, std::string_view>> substitutions = {});
    std::size_t DrainReply();
    bool ReplyContains(std::string_view text) const;
    bool ReplyIsPrompt() const;
    void ShowReply();
    // The reply of the latest drain, as a copy; ClearReply empties it.
    std::string LatestReply() const { return session_.ReplyBuffer; }
    void ClearReply() { session_.ReplyBuffer.clear(); }

    // Repeats nudge and drain until the reply is exactly the prompt. `check`
    // runs on every fresh reply. Result: false when the wait gave up, the
    // line was lost or a stop was asked (LineLost and Stopped tell which).
    bool AwaitPrompt(AwaitOrder order, const std::function<void()>& check = {});
    // The wait for a listing just asked for: a bare prompt ends it only once
    // one of `marks` has shown in the replies drained since it began (a mark
    // may be cut between two drains). A prompt before that answers an earlier
    // nudge of a router slow to start its listing. False when it gave up.
    bool AwaitListing(AwaitOrder order, std::span<const std::string_view> marks,
                      const std::function<void()>& check = {});

    // Every line sent so far, as sent, but the nudges and the passwords.
    const std::vector<std::string>& SentLines() const { return sent_; }

    // From now on every drained reply is kept as well, until taken: what the
    // router answered to lines sent meanwhile.
    void KeepReplies() { keeping_ = true; }
    std::string TakeReplies() {
        keeping_ = false;
        return std::exchange(kept_, {});
    }

    // True once the line has told that its device is gone; nothing is sent then.
    bool LineLost() const;
    // True once the session was asked to stop; nothing is sent then.
    bool Stopped() const { return session_.StopRequested(); }
    // Either: every wait ends at once.
    bool Interrupted() const { return LineLost() || Stopped(); }

    // The deadline of a wait that the caller runs by hand. While it lives, the
    // drains of this exchange end by it too (the innermost one, when waits nest).
    class Deadline {
    public:
        Deadline(Exchange& exchange, std::chrono::milliseconds limit);
        ~Deadline();
        Deadline(const Deadline&) = delete;
        Deadline& operator=(const Deadline&) = delete;

        bool passed() const;
        // Time spent in a modal prompt does not count against the wait.
        void extend(std::chrono::steady_clock::duration pause) { end_ += pause; }
        std::chrono::steady_clock::time_point end() const { return end_; }

    private:
        Exchange& exchange_;
        const Deadline* outer_;
        std::chrono::steady_clock::time_point end_;
    };
    Deadline startWait() { return Deadline(*this, session_.settings().PromptWaitLimit); }

private:
    void send(std::string_view text, std::string_view shown, bool keep);
    bool await(AwaitOrder order, const std::function<void()>& check,
               const std::function<bool()>& ready);

    RouterSession& session_;
    Frontend& frontend_;
    ExchangeDisplay display_;
    const Deadline* innermostWait_ = nullptr;
    std::vector<std::string> sent_;
    EchoMask echoMask_;
    bool keeping_ = false;
    std::string kept_;
};

}  // namespace cofralin
