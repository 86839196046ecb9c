#include "exchange.h"

#include <algorithm>
#include <array>
#include <iterator>

namespace cofralin {

namespace {

// How much one read may take: a burst at 9600 bit/s is far smaller.
constexpr std::size_t kReadChunk = 4096;

}  // namespace

bool ListingWatch::see(std::string_view reply) {
    if (listed_) return true;
    collected_ += reply;
    listed_ = std::any_of(marks_.begin(), marks_.end(), [&](std::string_view mark) {
        return collected_.find(mark) != std::string::npos;
    });
    // Once listed, what was gathered is no longer needed.
    if (listed_) collected_.clear();
    return listed_;
}

Exchange::Deadline::Deadline(Exchange& exchange, std::chrono::milliseconds limit)
    : exchange_(exchange),
      outer_(exchange.innermostWait_),
      end_(std::chrono::steady_clock::now() + limit) {
    exchange_.innermostWait_ = this;
}

Exchange::Deadline::~Deadline() { exchange_.innermostWait_ = outer_; }

bool Exchange::Deadline::passed() const { return std::chrono::steady_clock::now() >= end_; }

Exchange::Exchange(RouterSession& session, Frontend& frontend, ExchangeDisplay display)
    : session_(session), frontend_(frontend), display_(display) {}

Exchange::~Exchange() {
    const std::string held = echoMask_.flush();
    if (!held.empty() && session_.runLog.enabled()) session_.runLog.Append(held);
}

void Exchange::SendLine(std::string_view text) { send(text, text, text != kNudge); }

void Exchange::SendPassword(std::string_view password) {
    std::string_view typed = password;
    if (typed.ends_with("\r\n")) typed.remove_suffix(2);
    send(password, std::string(typed.size(), '*'), false);
    echoMask_.expect(password);
}

bool Exchange::LineLost() const { return session_.RouterPort && session_.RouterPort->lost(); }

void Exchange::send(std::string_view text, std::string_view shown, bool keep) {
    if (Interrupted()) return;
    if (display_.showsSentLines) frontend_.status(Windows1252ToUtf8(shown));
    if (session_.RouterPort) session_.RouterPort->write(text);
    if (keep) sent_.emplace_back(text);
    if (display_.hasProgressBar) frontend_.progress(session_.SentLineCount);
    ++session_.SentLineCount;
}

void Exchange::SendCatalogueLine(
    CatalogueKey key, LineEnding ending,
    std::initializer_list<std::pair<std::string_view, std::string_view>> substitutions) {
    SendLine(ComposeLine(session_.catalogue()[key], ending, substitutions));
}

std::size_t Exchange::DrainReply() {
    using Clock = std::chrono::steady_clock;
    std::string& reply = session_.ReplyBuffer;
    reply.clear();
    const Settings& settings = session_.settings();
    if (SerialLine* line = session_.RouterPort.get(); line && !Stopped()) {
        // A router that never falls quiet ends the drain at the byte limit or
        // at the end of the wait it belongs to (its own wait limit when it
        // stands alone), whichever comes first.
        const auto start = Clock::now();
        const auto end = innermostWait_ ? innermostWait_->end() : start + settings.PromptWaitLimit;
        auto quietEnd = start + kQuietTime;
        std::array<char, kReadChunk> chunk{};
        for (std::size_t taken = 0; taken < settings.DrainLimit;) {
            const std::size_t most = std::min(chunk.size(), settings.DrainLimit - taken);
            const std::size_t count =
                line->readSome(std::span<char>(chunk.data(), most), std::min(quietEnd, end));
            if (count == 0) break;
            taken += count;
            std::copy_if(chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(count),
                         std::back_inserter(reply), [](char byte) { return byte != '\0'; });
            // The quiet time counts from the read that took the last byte.
            const auto now = Clock::now();
            if (now >= end || Stopped()) break;
            quietEnd = now + kQuietTime;
        }
    }
    if (keeping_) kept_ += reply;
    if (display_.showsReplies) frontend_.status(Windows1252ToUtf8(reply));
    if (session_.runLog.enabled()) session_.runLog.Append(echoMask_.pass(reply));
    return reply.size();
}

bool Exchange::ReplyContains(std::string_view text) const {
    return session_.ReplyBuffer.find(text) != std::string::npos;
}

bool Exchange::ReplyIsPrompt() const { return session_.ReplyBuffer == kCliPrompt; }

void Exchange::ShowReply() { frontend_.status(Windows1252ToUtf8(session_.ReplyBuffer)); }

bool Exchange::AwaitPrompt(AwaitOrder order, const std::function<void()>& check) {
    return await(order, check, {});
}

bool Exchange::AwaitListing(AwaitOrder order, std::span<const std::string_view> marks,
                            const std::function<void()>& check) {
    ListingWatch watch(marks);
    const auto look = [&] {
        watch.see(session_.ReplyBuffer);
        if (check) check();
    };
    return await(order, look, [&] { return watch.listed(); });
}

bool Exchange::await(AwaitOrder order, const std::function<void()>& check,
                     const std::function<bool()>& ready) {
    session_.ReplyBuffer.clear();
    const Deadline deadline = startWait();
    do {
        if (deadline.passed() || Interrupted()) return false;
        if (order == AwaitOrder::NudgeFirst) {
            SendLine(kNudge);
            DrainReply();
            if (Interrupted()) return false;
            if (check) check();
            ShowReply();
        } else {
            DrainReply();
            if (Interrupted()) return false;
            if (check) check();
            SendLine(kNudge);
        }
    } while (!ReplyIsPrompt() || (ready && !ready()));
    return true;
}

}  // namespace cofralin
