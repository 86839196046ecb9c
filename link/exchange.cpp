#include "exchange.h"

#include <algorithm>

#include "run_log.h"

namespace cofralin {

std::string ReplaceAll(std::string_view text, std::string_view token,
                       std::string_view replacement) {
    if (token.empty()) return std::string(text);
    std::string result;
    result.reserve(text.size());
    std::size_t from = 0;
    for (std::size_t at = text.find(token); at != std::string_view::npos;
         at = text.find(token, from)) {
        result.append(text.substr(from, at - from));
        result.append(replacement);
        from = at + token.size();
    }
    result.append(text.substr(from));
    return result;
}

std::string ComposeLine(
    std::string_view value, LineEnding ending,
    std::initializer_list<std::pair<std::string_view, std::string_view>> substitutions) {
    std::string line(value);
    line += ending == LineEnding::BlankCrLf ? " \r\n" : "\r\n";
    for (const auto& [token, replacement] : substitutions) {
        line = ReplaceAll(line, token, replacement);
    }
    return line;
}

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

Exchange::Deadline::Deadline(std::chrono::milliseconds limit)
    : end_(std::chrono::steady_clock::now() + limit) {}

bool Exchange::Deadline::passed() const { return std::chrono::steady_clock::now() >= end_; }

Exchange::Exchange(SessionState& state, RouterView& view, ExchangeDisplay display)
    : state_(state), view_(view), display_(display) {}

void Exchange::SendLine(std::string_view text) { send(text, text); }

void Exchange::SendPassword(std::string_view password) {
    std::string_view typed = password;
    if (typed.ends_with("\r\n")) typed.remove_suffix(2);
    send(password, std::string(typed.size(), '*'));
}

void Exchange::send(std::string_view text, std::string_view shown) {
    if (display_.showsSentLines) view_.setStatusText(Windows1252ToUtf8(shown));
    if (state_.RouterPort) state_.RouterPort->write(text);
    if (display_.hasProgressBar) view_.setProgress(state_.SentLineCount);
    ++state_.SentLineCount;
}

void Exchange::SendCatalogueLine(
    CatalogueKey key, LineEnding ending,
    std::initializer_list<std::pair<std::string_view, std::string_view>> substitutions) {
    SendLine(ComposeLine(state_.CommandCatalogue[key], ending, substitutions));
}

std::size_t Exchange::DrainReply() {
    std::string& reply = state_.ReplyBuffer;
    reply.clear();
    if (state_.RouterPort) {
        // A router that never falls quiet ends the drain at the byte limit or
        // after the wait limit, whichever comes first.
        const Deadline deadline = startWait();
        for (std::size_t taken = 0; taken < state_.DrainLimit; ++taken) {
            const std::optional<char> byte = state_.RouterPort->readByte();
            if (!byte) break;
            if (*byte != '\0') reply.push_back(*byte);
            if ((taken & 0x3F) == 0x3F && deadline.passed()) break;
        }
    }
    if (display_.showsReplies) view_.setStatusText(Windows1252ToUtf8(reply));
    if (state_.LoggingEnabled == 1) LogReply(state_, reply);
    return reply.size();
}

bool Exchange::ReplyContains(std::string_view text) const {
    return state_.ReplyBuffer.find(text) != std::string::npos;
}

bool Exchange::ReplyIsPrompt() const { return state_.ReplyBuffer == kCliPrompt; }

void Exchange::ShowReply() { view_.setStatusText(Windows1252ToUtf8(state_.ReplyBuffer)); }

bool Exchange::AwaitPrompt(AwaitOrder order, const std::function<void()>& check) {
    return await(order, check, {});
}

bool Exchange::AwaitListing(AwaitOrder order, std::span<const std::string_view> marks,
                            const std::function<void()>& check) {
    ListingWatch watch(marks);
    const auto look = [&] {
        watch.see(state_.ReplyBuffer);
        if (check) check();
    };
    return await(order, look, [&] { return watch.listed(); });
}

bool Exchange::await(AwaitOrder order, const std::function<void()>& check,
                     const std::function<bool()>& ready) {
    state_.ReplyBuffer.clear();
    const Deadline deadline = startWait();
    do {
        if (deadline.passed()) return false;
        if (order == AwaitOrder::NudgeFirst) {
            SendLine(kNudge);
            DrainReply();
            if (check) check();
            ShowReply();
        } else {
            DrainReply();
            if (check) check();
            SendLine(kNudge);
        }
    } while (!ReplyIsPrompt() || (ready && !ready()));
    return true;
}

}  // namespace cofralin
