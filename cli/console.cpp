#include "console.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace cofralin::cli {

namespace {

// The settings a hidden read found, while it runs.
termios savedTerminal{};
std::atomic<bool> terminalChanged{false};

void writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

std::size_t terminalWidth() {
    winsize size{};
    if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 10) return size.ws_col;
    return 80;
}

bool isContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// The first `width` UTF-8 characters of `text`.
std::string cut(const std::string& text, std::size_t width) {
    std::size_t characters = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (isContinuationByte(text[i])) continue;
        if (characters++ == width) return text.substr(0, i);
    }
    return text;
}

}  // namespace

std::string StatusExcerpt(const std::string& text, std::size_t width) {
    std::string last;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos) end = text.size();
        std::string line;
        for (std::size_t i = start; i < end; ++i) {
            const auto c = static_cast<unsigned char>(text[i]);
            if (c >= 0x20 && c != 0x7F) line += text[i];
        }
        if (line.find_first_not_of(' ') != std::string::npos) last = line;
        start = end + 1;
    }
    return cut(last, width);
}

Console::Console(std::size_t rows, bool board) : board_(board), rows_(rows) {}

Console::~Console() { closeBoard(); }

void Console::write(const std::string& lines, bool toError) {
    const std::lock_guard lock(mutex_);
    if (asking_) {
        pending_.emplace_back(toError, lines);
        return;
    }
    clearLocked();
    writeAll(toError ? STDERR_FILENO : STDOUT_FILENO, lines);
    drawLocked();
}

void Console::setStatus(std::size_t row, const std::string& text) {
    const std::lock_guard lock(mutex_);
    if (row >= rows_.size()) return;
    rows_[row] = text;
    if (asking_ || !board_) return;
    clearLocked();
    drawLocked();
}

void Console::closeBoard() {
    const std::lock_guard lock(mutex_);
    clearLocked();
    board_ = false;
}

void Console::clearLocked() {
    if (!drawn_) return;
    // Up to the board's first line, then everything below is wiped.
    writeAll(STDOUT_FILENO, "\x1b[" + std::to_string(rows_.size()) + "A\r\x1b[J");
    drawn_ = false;
}

void Console::drawLocked() {
    if (!board_ || drawn_ || rows_.empty()) return;
    const std::size_t width = terminalWidth() - 1;
    std::string board;
    for (const std::string& row : rows_) board += "\x1b[2K" + cut(row, width) + "\n";
    writeAll(STDOUT_FILENO, board);
    drawn_ = true;
}

std::optional<std::string> Console::readLine(const std::atomic<bool>& stop) {
    std::string line;
    for (;;) {
        if (stop.load()) return std::nullopt;
        pollfd input{STDIN_FILENO, POLLIN, 0};
        const int ready = ::poll(&input, 1, 100);
        if (ready < 0 && errno != EINTR) return std::nullopt;
        if (ready <= 0) continue;
        char c = 0;
        const ssize_t n = ::read(STDIN_FILENO, &c, 1);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return std::nullopt;
        if (c == '\n') return line;
        if (c != '\r') line += c;
    }
}

std::optional<std::string> Console::ask(const std::string& prompt, bool hidden,
                                        const std::atomic<bool>& stop) {
    const std::lock_guard question(questionMutex_);
    // The echo goes off before the prompt shows, so nothing typed after it
    // can show.
    if (hidden && ::tcgetattr(STDIN_FILENO, &savedTerminal) == 0) {
        termios quiet = savedTerminal;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        terminalChanged = true;
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    {
        const std::lock_guard lock(mutex_);
        clearLocked();
        asking_ = true;
        writeAll(STDERR_FILENO, prompt);
    }
    std::optional<std::string> answer = readLine(stop);
    if (hidden) {
        RestoreTerminal();
        // The line end the user typed was not echoed.
        writeAll(STDERR_FILENO, "\n");
    }
    const std::lock_guard lock(mutex_);
    asking_ = false;
    for (const auto& [toError, lines] : pending_) {
        writeAll(toError ? STDERR_FILENO : STDOUT_FILENO, lines);
    }
    pending_.clear();
    drawLocked();
    return answer;
}

std::optional<bool> Console::askYesNo(const std::string& question, const std::atomic<bool>& stop) {
    const std::optional<std::string> answer = ask(question + " [s/N] ", false, stop);
    if (!answer) return std::nullopt;
    std::string word = *answer;
    word.erase(0, word.find_first_not_of(' '));
    word.erase(word.find_last_not_of(' ') + 1);
    std::transform(word.begin(), word.end(), word.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return word == "s" || word == "si" || word == "sí" || word == "y" || word == "yes";
}

std::optional<std::string> Console::askHidden(const std::string& prompt,
                                              const std::atomic<bool>& stop) {
    return ask(prompt, true, stop);
}

void Console::RestoreTerminal() {
    if (terminalChanged.exchange(false)) ::tcsetattr(STDIN_FILENO, TCSANOW, &savedTerminal);
}

}  // namespace cofralin::cli
