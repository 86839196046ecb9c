#pragma once
// The Q73 router's console command line as a model: received bytes in, output
// bytes out, no timing and no device.
//
// How it works: typed characters collect into a line and are echoed as they
// arrive ("*" for each while a password is wanted, or the password itself when
// the options ask for it in clear); LF is ignored; CR ends the line and
// produces the reply. At the prompt a blank line answers exactly
// "\r\nZarn-DSL>"; a command answers "\r\n", its output lines and
// "\r\nZarn-DSL>". Logged out, a line is a password: the right one answers the
// prompt, anything else "\r\nLogin incorrect\r\nPassword: ". "exit" answers
// "\r\nBye\r\n" and logs out. "capture text_file NAME" takes every following
// byte, unechoed, as the text file NAME until the byte 4, then shows the prompt.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "router_state.h"
#include "simulator_options.h"

namespace cofralin {

inline constexpr std::string_view kRouterPrompt = "\r\nZarn-DSL>";
inline constexpr std::string_view kLoginIncorrect = "\r\nLogin incorrect\r\nPassword: ";
inline constexpr std::string_view kQuickSetupQuestion = "\r\nQuick Setup? [yes/no]: ";

// What one received byte made the router send.
struct RouterOutput {
    std::string bytes;
    bool reply = false;    // the answer to a line (or to the end of a capture), not an echo
    bool listing = false;  // the answer to "show dhcp server", "show vc internet" or "show system"
};

class Q73Router {
public:
    explicit Q73Router(const SimulatorOptions& options = {});

    // Empty when the byte makes the router send nothing.
    RouterOutput feedByte(char byte);
    // Everything the bytes made the router send, echoes and replies, in order.
    std::string feed(std::string_view bytes);

    const RouterState& state() const { return state_; }

    // Longest command line kept; further characters are dropped unechoed.
    static constexpr std::size_t kLineLimit = 1024;
    // Longest captured text file; further bytes are dropped.
    static constexpr std::size_t kCaptureLimit = 64 * 1024;

private:
    std::string endLine();
    std::string runCommand(const std::vector<std::string>& words, bool& noPrompt);

    // A listing line: the label, its value from `column` on, as the options
    // may change or leave out.
    std::string listingLine(std::string_view label, std::size_t column,
                            std::string_view value) const;
    // The answer the options give to `line`, if any.
    const std::string* answerFor(std::string_view line) const;

    std::string showDhcpServer() const;
    std::string showVcInternet() const;
    std::string showSystem() const;

    std::string ipNetworkCommand(const std::vector<std::string>& words);
    std::string vcCommand(const std::vector<std::string>& words);
    std::string dhcpCommand(const std::vector<std::string>& words);
    std::string natCommand(const std::vector<std::string>& words);
    std::string filterCommand(const std::vector<std::string>& words);

    RouterState state_;
    SimulatorOptions options_;
    std::string password_;
    bool loggedInAfterSetup_ = false;
    bool echoPassword_ = false;
    std::string line_;
    bool listed_ = false;  // the line just ended asked for a listing
    std::string captureName_;
    std::string captureText_;
};

}  // namespace cofralin
