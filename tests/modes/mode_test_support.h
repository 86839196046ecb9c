#pragma once
// Helpers shared by the mode switch tests: the router's login as the switches
// send it, a raw configuration step to bring the simulated router into a
// chosen state, and a tiny scripted router for listings the simulator never
// prints.

#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <initializer_list>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "connection.h"
#include "exchange.h"
#include "login.h"
#include "pty_pair.h"
#include "scripted_frontend.h"
#include "simulator_session.h"

namespace cofralin::testing {

// What EnsureLogin sends to a logged-out router that takes the built-in
// password: a nudge, the password, and the nudges until a bare prompt.
inline constexpr std::string_view kLoginBytes = "\rpelnotra\r\r\r";

// Catalogue lines as the switches send them: the value, a blank, CR LF.
inline std::string line(std::string_view text) { return std::string(text) + " \r\n"; }

// The read-back that follows the save of a switch on a prompt router: each
// listing command and the two nudges of its drain-first wait.
inline std::string ReadBackBytes() {
    return line("show dhcp server") + "\r\r" + line("show vc internet") + "\r\r";
}

// Runs `lines` on the router through a separate exchange (login, lines, wait,
// exit) so that a test starts from a chosen router state. Result: how many
// bytes the router had received afterwards.
inline std::size_t ConfigureRouter(SimulatorSession& session,
                                   std::initializer_list<std::string_view> lines) {
    ScriptedFrontend quiet;
    Exchange exchange(session.routerSession, quiet, ExchangeDisplay{});
    session.routerSession.KeepTrying = 1;
    EXPECT_EQ(EnsureLogin(exchange, false), LoginOutcome::LoggedIn);
    for (const std::string_view text : lines) exchange.SendLine(line(text));
    EXPECT_TRUE(exchange.AwaitPrompt(AwaitOrder::NudgeFirst));
    exchange.SendLine(line("exit"));
    // Let the router answer before the test starts counting.
    session.receivedThrough("exit \r\n");
    exchange.DrainReply();
    session.routerSession.ReplyBuffer.clear();
    return session.simulator.received().size();
}

// A router that is logged in and answers every CR-ended line at once, without
// echo: a blank line with the bare prompt, a listing command with its scripted
// text, any other line with an empty answer and the prompt.
class ScriptedRouter {
public:
    using Listing = std::function<std::string(const std::string& line)>;

    // The pair keeps its own slave open, so the master never sees a hang-up
    // between the program's opening and closing of the device.
    explicit ScriptedRouter(Listing listing) : listing_(std::move(listing)) {
        thread_ = std::thread([this] { serve(); });
    }
    ~ScriptedRouter() {
        stopping_ = true;
        thread_.join();
    }
    ScriptedRouter(const ScriptedRouter&) = delete;
    ScriptedRouter& operator=(const ScriptedRouter&) = delete;

    const std::string& path() const { return pty_.path(); }
    std::string received() const {
        std::lock_guard lock(mutex_);
        return received_;
    }
    // Everything received, once it ends with `last` (or after `wait` when it never does).
    std::string receivedThrough(std::string_view last,
                                std::chrono::milliseconds wait = std::chrono::seconds(2)) const {
        std::unique_lock lock(mutex_);
        arrived_.wait_for(lock, wait, [&] { return received_.ends_with(last); });
        return received_;
    }

private:
    void serve() {
        std::string pending;
        while (!stopping_) {
            pollfd entry{pty_.master(), POLLIN, 0};
            if (::poll(&entry, 1, 20) <= 0 || !(entry.revents & POLLIN)) continue;
            char buffer[256];
            const ssize_t n = ::read(pty_.master(), buffer, sizeof buffer);
            if (n <= 0) continue;
            {
                std::lock_guard lock(mutex_);
                received_.append(buffer, static_cast<std::size_t>(n));
            }
            arrived_.notify_all();
            for (ssize_t i = 0; i < n; ++i) {
                const char c = buffer[i];
                if (c == '\n') continue;
                if (c != '\r') {
                    pending.push_back(c);
                    continue;
                }
                while (!pending.empty() && pending.back() == ' ') pending.pop_back();
                const std::string answer =
                    pending.empty() ? std::string() : "\r\n" + listing_(pending);
                pty_.send(answer + std::string(kCliPrompt));
                pending.clear();
            }
        }
    }

    PtyPair pty_;
    Listing listing_;
    std::atomic<bool> stopping_{false};
    mutable std::mutex mutex_;
    mutable std::condition_variable arrived_;
    std::string received_;
    std::thread thread_;
};

// A session on the scripted router's device, with the shipped catalogue.
struct ScriptedSession {
    explicit ScriptedSession(const ScriptedRouter& router) {
        EXPECT_TRUE(LoadShippedCatalogue(settings));
        EXPECT_TRUE(OpenSessionPort(session, router.path()));
        session.PortName = "COM1:";
    }
    Settings settings;
    RouterSession session{settings};
    ScriptedFrontend frontend;
};

// A label followed, `distance` characters from its first character, by `value`.
inline std::string Labelled(std::string_view label, std::size_t distance, std::string_view value) {
    std::string text(label);
    text.append(distance - label.size(), ' ');
    text.append(value);
    text.append("\r\n");
    return text;
}

}  // namespace cofralin::testing
