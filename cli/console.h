#pragma once
// What the port threads write and ask, one at a time: whole lines on the
// standard output or error, a status line per port updated in place while
// the output is a terminal, and the questions and the password prompt read
// from a terminal on the standard input.
//
// How it works: one lock guards the streams and the board. Every block of
// lines goes out in one write, so the lines of two ports never mix. While the
// board is shown, the cursor stands below it: a block clears the board,
// writes its lines, and draws the board again under them, so the results
// stay and the status lines follow at the bottom. A question clears the
// board while it waits. A password is read with the terminal's echo off and
// the settings put back afterwards, also when the program is interrupted
// (RestoreTerminal, for the signal handling). Every read of an answer looks
// at the stop flag ten times a second, so Ctrl-C ends a question too.

#include <atomic>
#include <cstddef>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace cofralin::cli {

class Console {
public:
    // `rows` status lines, shown only when `board` is set (text output on a
    // terminal).
    Console(std::size_t rows, bool board);
    ~Console();
    Console(const Console&) = delete;
    Console& operator=(const Console&) = delete;

    // Writes `lines` (each ended by "\n") to the standard output, or to the
    // standard error, as one block.
    void write(const std::string& lines, bool toError = false);
    // Sets the status line of `row` and draws it.
    void setStatus(std::size_t row, const std::string& text);
    // Takes the board away for good.
    void closeBoard();

    // A yes/no question on the terminal: true for "s", "si", "sí", "y",
    // "yes"; nothing when the input ended or `stop` was set.
    std::optional<bool> askYesNo(const std::string& question, const std::atomic<bool>& stop);
    // A line typed without echo; nothing when the input ended or `stop` was set.
    std::optional<std::string> askHidden(const std::string& prompt, const std::atomic<bool>& stop);

    // Puts the terminal's settings back if a hidden read changed them. Safe
    // in a signal handler's thread: it only calls tcsetattr.
    static void RestoreTerminal();

private:
    void clearLocked();
    void drawLocked();
    // Writes `prompt` on the standard error and reads the answer. While it
    // waits, blocks of lines are kept back and the board is not drawn; the
    // threads that set their status go on working.
    std::optional<std::string> ask(const std::string& prompt, bool hidden,
                                   const std::atomic<bool>& stop);
    static std::optional<std::string> readLine(const std::atomic<bool>& stop);

    std::mutex questionMutex_;  // one question at a time
    std::mutex mutex_;          // the streams, the board and what waits for them
    bool board_;
    bool drawn_ = false;
    bool asking_ = false;
    std::vector<std::string> rows_;
    std::vector<std::pair<bool, std::string>> pending_;  // (to the error stream, lines)
};

// The last line of `text` that holds more than blanks, without control
// characters, cut to `width` characters (counted as UTF-8 characters).
std::string StatusExcerpt(const std::string& text, std::size_t width);

}  // namespace cofralin::cli
