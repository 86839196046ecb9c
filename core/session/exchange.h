#pragma once
// The exchange with the router's command line, one copy per dialog.
//
// How it works: lines are written back to back; a drain then takes what the
// line holds, a burst at a time, until the line has been quiet for the quiet
// time since the last byte. The router is idle only when a whole drained reply
// equals the prompt "\r\nZarn-DSL>" exactly. Every wait for that prompt gives
// up after the session's wait limit without seeing it, counted from its own
// start with its drains inside it, and every drain stops at the session's
// drain limit, so a router that chatters or falls silent never freezes the
// program; the caller learns that the wait gave up and stops before sending
// anything more. A line whose device is gone ends every wait at once, and
// nothing more is sent on it.

#include <chrono>
#include <cstddef>
#include <functional>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "command_catalogue.h"
#include "line_composition.h"
#include "router_view.h"
#include "session_state.h"
#include "windows_1252.h"

namespace cofralin {

inline constexpr std::string_view kCliPrompt = "\r\nZarn-DSL>";
inline constexpr std::string_view kNudge = "\r";

// Which of its controls a dialog's copy of the exchange uses.
struct ExchangeDisplay {
    bool hasProgressBar = false;
    bool showsSentLines = false;  // SendLine shows the text before writing it
    bool showsReplies = false;    // DrainReply shows the reply before logging it
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
    Exchange(SessionState& state, RouterView& view, ExchangeDisplay display);

    SessionState& state() { return state_; }
    RouterView& view() { return view_; }
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
    std::string LatestReply() const { return state_.ReplyBuffer; }
    void ClearReply() { state_.ReplyBuffer.clear(); }

    // Repeats nudge and drain until the reply is exactly the prompt. `check`
    // runs on every fresh reply. Result: false when the wait gave up or the
    // line was lost (LineLost tells which).
    bool AwaitPrompt(AwaitOrder order, const std::function<void()>& check = {});
    // The wait for a listing just asked for: a bare prompt ends it only once
    // one of `marks` has shown in the replies drained since it began (a mark
    // may be cut between two drains). A prompt before that answers an earlier
    // nudge of a router slow to start its listing. False when it gave up.
    bool AwaitListing(AwaitOrder order, std::span<const std::string_view> marks,
                      const std::function<void()>& check = {});

    // True once the line has told that its device is gone; nothing is sent then.
    bool LineLost() const;

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
    Deadline startWait() { return Deadline(*this, state_.PromptWaitLimit); }

private:
    void send(std::string_view text, std::string_view shown);
    bool await(AwaitOrder order, const std::function<void()>& check,
               const std::function<bool()>& ready);

    SessionState& state_;
    RouterView& view_;
    ExchangeDisplay display_;
    const Deadline* innermostWait_ = nullptr;
};

}  // namespace cofralin
