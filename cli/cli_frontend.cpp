#include "cli_frontend.h"

#include <unistd.h>

#include <utility>

#include "report.h"
#include "settings.h"

namespace cofralin::cli {

namespace {

// Enough of the router's words for one status line; the console cuts it to
// the terminal's width.
constexpr std::size_t kExcerptWidth = 200;

// `text` with every line after the first prefixed by `prefix`.
std::string indented(const std::string& text, const std::string& prefix) {
    std::string out;
    for (const char c : text) {
        out += c;
        if (c == '\n') out += prefix;
    }
    return out;
}

}  // namespace

CliFrontend::CliFrontend(Console& console, std::size_t row, std::string port,
                         const CliRequest& request, const PasswordConfig& passwords,
                         const std::atomic<bool>& stop)
    : console_(console),
      row_(row),
      port_(std::move(port)),
      request_(request),
      passwords_(passwords),
      stop_(stop) {}

void CliFrontend::beginStep(std::string step) {
    step_ = std::move(step);
    linesSent_ = 0;
    latest_.clear();
    asksInStep_ = 0;
    show();
}

void CliFrontend::status(const std::string& text) {
    latest_ = StatusExcerpt(Masked(text, secrets()), kExcerptWidth);
    show();
}

void CliFrontend::progress(int linesSent) {
    // The count of the line just sent, from 0.
    linesSent_ = linesSent + 1;
    show();
}

void CliFrontend::tell(const Message& message) {
    if (!told_.empty()) told_ += "\n";
    told_ += message.text;
}

bool CliFrontend::confirm(const Message& question, Answers answers) {
    if (answers == Answers::OkCancel) {
        // Only the software update asks OK or Cancel: the upgrade program's offer.
        upgradeOffered_ = true;
        if (request_.order != Order::Update || request_.dryRun) return false;
    }
    // A dry run changes nothing, so the questions before a change let it go on.
    if (request_.dryRun || request_.yes) return true;
    if (::isatty(STDIN_FILENO) != 1) return false;
    const std::string prefix = port_ + " ";
    return console_.askYesNo(prefix + indented(question.text, prefix), stop_).value_or(false);
}

std::optional<std::string> CliFrontend::askPassword() {
    ++asksInStep_;
    if (stop_.load()) return std::nullopt;
    if (passwords_.given) {
        if (asksInStep_ == 1) return passwords_.given;
        return std::nullopt;
    }
    if (!passwords_.canPrompt) return std::nullopt;
    if (asksInStep_ == 1 && typed_) return typed_;
    std::optional<std::string> typed = console_.askHidden(
        "El Router de " + port_ + " está protegido mediante password. Escríbala y pulse Intro: ",
        stop_);
    if (typed) typed_ = typed;
    return typed;
}

std::vector<std::string> CliFrontend::secrets() const {
    std::vector<std::string> texts{std::string(kBuiltInPassword)};
    if (passwords_.given) texts.push_back(*passwords_.given);
    if (typed_) texts.push_back(*typed_);
    return texts;
}

void CliFrontend::show() {
    std::string line = port_ + " " + step_;
    if (linesSent_ > 0) {
        line += " · " + std::to_string(linesSent_) + (linesSent_ == 1 ? " línea" : " líneas");
    }
    if (!latest_.empty()) line += " · " + latest_;
    console_.setStatus(row_, line);
}

}  // namespace cofralin::cli
