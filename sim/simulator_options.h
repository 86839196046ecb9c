#pragma once
// The starting state and the faults of the simulated router, settable from C++
// (tests) and from the q73sim command line.

#include <string>
#include <utility>
#include <vector>

#include "router_state.h"

namespace cofralin {

enum class StartMode { SinglePc, MultiPc };

struct SimulatorOptions {
    // Starting state.
    std::string password = "pelnotra";
    bool loggedIn = false;                 // start at the prompt, no password needed
    bool firstStart = false;               // ask "Quick Setup?" until a line "no"
    bool echoPassword = false;             // echo a password as typed, not as "*"
    bool noVc = false;                     // the internet circuit is missing
    StartMode mode = StartMode::SinglePc;  // single: DHCP server on; multi: off
    std::vector<NatMapping> mappings;      // preloaded static mappings
    std::string version = "1.5.09";        // the word after "System Version:"
    // Lines that start with the first text are answered with the second
    // (an "Error: ..." line), changing nothing: a router that refuses them.
    std::vector<std::pair<std::string, std::string>> answers;
    // A listing label's value printed as given (any bytes), not the real one.
    std::vector<std::pair<std::string, std::string>> listedValues;
    // Listing labels whose whole line is left out.
    std::vector<std::string> omittedLabels;

    // Faults.
    bool silent = false;          // never answers
    bool chatter = false;         // sends text lines forever, never the bare prompt
    int chatterIntervalMs = 200;  // pause after each chatter line
    bool garbage = false;         // random printable garbage and zero bytes in replies
    bool zeroBytes = false;       // zero bytes in replies, otherwise exact
    int hangupAfter = 0;          // closes the line in the middle of this reply (1 = first)
    int slowMs = 0;               // each reply goes out only after this delay
    int slowListingMs = 0;        // listings go out only after this delay; lines echoed whole
    bool pace = false;            // output at 9600 bit/s, 960 bytes a second
    unsigned seed = 73;           // where garbage and zero bytes fall
};

struct CommandLine {
    SimulatorOptions options;
    std::string linkPath;    // --link: a symbolic link to the device
    std::string devicePath;  // --device: serve on this terminal, not a new one
    std::string recordPath;  // --record: a file that keeps every byte received
    bool help = false;
    std::string error;  // not empty: the arguments were refused
};

CommandLine parseCommandLine(const std::vector<std::string>& arguments);

// The --help text: every option and fault.
std::string usageText();

}  // namespace cofralin
