#pragma once
// The Frontend of one port on the command line: its status line shows the
// step, the lines sent and the router's latest words; what the procedures
// tell is kept for the result; questions are answered by --si, by the dry
// run, or on the terminal; passwords come from the run's password source.
//
// How it works: the port's thread calls beginStep before each procedure.
// Within a step the given password is offered once, so a router that refuses
// it again ends the log-in instead of being asked for ever; a typed password
// is asked again after each refusal and offered first in the next step. The
// upgrade program's offer (OK/Cancel) is accepted only by "actualizar", with
// --si or on the terminal, never in a dry run.

#include <atomic>
#include <cstddef>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "cli_request.h"
#include "console.h"
#include "frontend.h"
#include "password_source.h"

namespace cofralin::cli {

class CliFrontend final : public Frontend {
public:
    CliFrontend(Console& console, std::size_t row, std::string port, const CliRequest& request,
                const PasswordConfig& passwords, const std::atomic<bool>& stop);

    // A new procedure starts: its name for the status line.
    void beginStep(std::string step);

    void status(const std::string& text) override;
    void progress(int linesSent) override;
    void busy(bool) override {}
    void tell(const Message& message) override;
    bool confirm(const Message& question, Answers answers) override;
    std::optional<std::string> askPassword() override;

    // What the procedures told since the port's run began, one message a line.
    const std::string& told() const { return told_; }
    // The upgrade program was offered (the shipped version is newer).
    bool upgradeOffered() const { return upgradeOffered_; }
    // Texts never to show: the passwords given or typed on this port.
    std::vector<std::string> secrets() const;

private:
    void show();

    Console& console_;
    std::size_t row_;
    std::string port_;
    const CliRequest& request_;
    const PasswordConfig& passwords_;
    const std::atomic<bool>& stop_;

    std::string step_;
    int linesSent_ = 0;
    std::string latest_;
    std::string told_;
    bool upgradeOffered_ = false;
    std::optional<std::string> typed_;  // the last password typed on this port
    int asksInStep_ = 0;
};

}  // namespace cofralin::cli
