#pragma once
// Serves a Q73Router on a pseudo-terminal, so that the program (or a test) can
// open the slave device as if it were the router's serial port.
//
// How it works: start() creates the pseudo-terminal in raw mode (no echo, no
// CR/LF translation in the tty layer, whoever opens the slave first) and starts
// one thread that reads the master, records every byte, feeds the router and
// writes its echoes and replies back, shaped by the faults of the options.
// The simulator never holds the slave open, so the program's exclusive open
// (TIOCEXCL, flock) works as on a real port. While no one has the slave open
// the output is dropped, as a router talking to an unplugged cable.
// stop() ends the thread and closes the master; the slave device then goes away.
// startOn() serves instead on a terminal that exists already, such as the host
// end of a virtual machine's serial line: the simulator then holds it open.

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <thread>

#include "q73_router.h"
#include "simulator_options.h"

namespace cofralin {

class Q73Simulator {
public:
    explicit Q73Simulator(SimulatorOptions options = {});
    ~Q73Simulator();
    Q73Simulator(const Q73Simulator&) = delete;
    Q73Simulator& operator=(const Q73Simulator&) = delete;

    // Creates the pseudo-terminal and starts serving. False (with error()) when
    // the device could not be made; a simulator starts only once.
    bool start();
    // Serves on the terminal `device` instead of a new pseudo-terminal: raw
    // mode, with what was waiting there thrown away, so that the router hears
    // only what comes after. False (with error()) when it cannot be opened.
    bool startOn(const std::string& device);
    // Ends the thread and closes the line. Safe to call more than once.
    void stop();

    // The slave device, e.g. "/dev/pts/3" (the device given to startOn());
    // empty before a start.
    const std::string& slavePath() const { return slavePath_; }
    const std::string& error() const { return error_; }
    const SimulatorOptions& options() const { return options_; }

    // Every byte received so far, in order.
    std::string received() const;
    // The router as it stands after the bytes received so far.
    RouterState snapshot() const;
    // Replies begun so far (echoes do not count).
    int replyCount() const;
    // True once the hang-up fault has closed the line.
    bool hungUp() const;
    // When it did.
    std::optional<std::chrono::steady_clock::time_point> hungUpAt() const;
    // Waits until `text` occurs in the received bytes and they have all been
    // fed to the router. False when the time ran out first.
    bool waitForReceived(std::string_view text, std::chrono::milliseconds timeout) const;

    static constexpr std::chrono::nanoseconds kPacedByteTime{1041667};  // 10 bits at 9600 bit/s

private:
    bool beginServing(const std::string& path);
    void run();
    void serveInput(std::string_view bytes);
    void sendChatter();
    // Writes all bytes (paced if asked); false when the line is gone or stopping.
    bool writeOut(std::string_view bytes);
    bool writeReply(std::string reply);
    std::string spoil(std::string reply);
    // Sleeps until `until` or stop(); false when stopping.
    bool sleepUntil(std::chrono::steady_clock::time_point until);
    bool slaveClosed() const;
    void closeMaster();

    SimulatorOptions options_;
    std::string slavePath_;
    std::string error_;
    int masterFd_ = -1;  // the device served on: the master, or startOn()'s terminal
    std::thread thread_;
    bool started_ = false;

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    bool stopping_ = false;
    Q73Router router_;
    std::string received_;
    int replies_ = 0;
    bool hungUp_ = false;
    std::chrono::steady_clock::time_point hungUpAt_{};
    int chatterLines_ = 0;
    std::string heldEcho_;  // with a slow listing, the echo of the line not yet ended
    std::mt19937 random_;
};

}  // namespace cofralin
