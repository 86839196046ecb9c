#include "simulator_options.h"

#include <charconv>
#include <climits>
#include <optional>

namespace cofralin {

namespace {

bool parseCount(const std::string& text, int& value) {
    int parsed = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (error != std::errc() || end != text.data() + text.size() || parsed < 0) return false;
    value = parsed;
    return true;
}

// "FIRST=SECOND" split at its first "="; \xNN in the second stands for that byte.
std::optional<std::pair<std::string, std::string>> parsePair(const std::string& text) {
    const std::size_t equals = text.find('=');
    if (equals == std::string::npos || equals == 0) return std::nullopt;
    std::string second;
    for (std::size_t i = equals + 1; i < text.size(); ++i) {
        unsigned byte = 0;
        if (text.compare(i, 2, "\\x") == 0 && i + 3 < text.size() &&
            std::from_chars(text.data() + i + 2, text.data() + i + 4, byte, 16).ptr ==
                text.data() + i + 4) {
            second += static_cast<char>(byte);
            i += 3;
        } else {
            second += text[i];
        }
    }
    return std::pair{text.substr(0, equals), second};
}

}  // namespace

CommandLine parseCommandLine(const std::vector<std::string>& arguments) {
    CommandLine result;
    SimulatorOptions& options = result.options;
    for (std::size_t i = 0; i < arguments.size() && result.error.empty(); ++i) {
        const std::string& name = arguments[i];
        // The value of an option that takes one, or nothing when it is missing.
        auto value = [&]() -> const std::string* {
            if (i + 1 >= arguments.size()) {
                result.error = name + " needs a value";
                return nullptr;
            }
            return &arguments[++i];
        };
        auto count = [&](int& target) {
            if (const std::string* text = value(); text && !parseCount(*text, target)) {
                result.error = name + ": not a number: " + *text;
            }
        };

        if (name == "--help" || name == "-h") {
            result.help = true;
        } else if (name == "--link") {
            if (const std::string* text = value()) result.linkPath = *text;
        } else if (name == "--device") {
            if (const std::string* text = value()) result.devicePath = *text;
        } else if (name == "--record") {
            if (const std::string* text = value()) result.recordPath = *text;
        } else if (name == "--password") {
            if (const std::string* text = value()) options.password = *text;
        } else if (name == "--logged-in") {
            options.loggedIn = true;
        } else if (name == "--first-start") {
            options.firstStart = true;
        } else if (name == "--echo-password") {
            options.echoPassword = true;
        } else if (name == "--no-vc") {
            options.noVc = true;
        } else if (name == "--mode") {
            if (const std::string* text = value()) {
                if (*text == "single") {
                    options.mode = StartMode::SinglePc;
                } else if (*text == "multi") {
                    options.mode = StartMode::MultiPc;
                } else {
                    result.error = "--mode takes single or multi, not " + *text;
                }
            }
        } else if (name == "--mapping") {
            if (const std::string* text = value()) {
                if (const auto mapping = parseMappingSpec(*text)) {
                    options.mappings.push_back(*mapping);
                } else {
                    result.error = "--mapping takes udp|tcp:PUBLIC:ADDRESS:PRIVATE, not " + *text;
                }
            }
        } else if (name == "--version") {
            if (const std::string* text = value()) {
                if (!text->empty() && text->size() <= 16 &&
                    text->find_first_of(" \t\r\n") == std::string::npos) {
                    options.version = *text;
                } else {
                    result.error = "--version takes one word of 1 to 16 characters, not " + *text;
                }
            }
        } else if (name == "--answer" || name == "--list") {
            if (const std::string* text = value()) {
                if (const auto pair = parsePair(*text)) {
                    (name == "--answer" ? options.answers : options.listedValues).push_back(*pair);
                } else {
                    result.error = name + " takes TEXT=VALUE, not " + *text;
                }
            }
        } else if (name == "--without") {
            if (const std::string* text = value()) options.omittedLabels.push_back(*text);
        } else if (name == "--silent") {
            options.silent = true;
        } else if (name == "--chatter") {
            options.chatter = true;
        } else if (name == "--chatter-interval") {
            count(options.chatterIntervalMs);
        } else if (name == "--garbage") {
            options.garbage = true;
        } else if (name == "--zero-bytes") {
            options.zeroBytes = true;
        } else if (name == "--hangup-after") {
            count(options.hangupAfter);
            if (result.error.empty() && options.hangupAfter == 0) {
                result.error = "--hangup-after counts replies from 1";
            }
        } else if (name == "--slow") {
            count(options.slowMs);
        } else if (name == "--slow-listing") {
            count(options.slowListingMs);
        } else if (name == "--pace") {
            options.pace = true;
        } else if (name == "--seed") {
            int seed = 0;
            count(seed);
            options.seed = static_cast<unsigned>(seed);
        } else {
            result.error = "unknown option " + name;
        }
    }
    if (result.error.empty() && options.noVc && !options.mappings.empty()) {
        result.error = "--mapping needs the internet circuit, which --no-vc removes";
    }
    return result;
}

std::string usageText() {
    return R"(Usage: q73sim [OPTION]...
Serves a simulated Q73 router on a pseudo-terminal. The first line printed is
the device path; run the program with COFRALIN_COM1=<path>. Runs until
interrupted (SIGINT or SIGTERM).

  --link PATH            also make PATH a symbolic link to the device
                         (removed on exit); replaces only a link of this
                         user's to a pseudo-terminal, left by an earlier run
  --device PATH          serve on the terminal PATH instead of a new
                         pseudo-terminal, e.g. the host end of a virtual
                         machine's serial port; what waits there is thrown
                         away first, and it is held open until the end
  --record FILE          keep every byte received in FILE, written as bytes
                         arrive and once more on exit (for checking what a
                         program sent); FILE is made or emptied at start, and
                         refused when it is a symbolic link, not a regular
                         file, or another user's

Starting state:
  --password TEXT        the router password (default "pelnotra")
  --logged-in            start at the prompt, no password needed
  --first-start          ask "Quick Setup? [yes/no]: " until a line "no"
  --echo-password        echo the characters of a password as typed instead
                         of "*", as a careless router does
  --no-vc                the internet circuit is missing ("not in table")
  --mode single|multi    single: DHCP server enabled (default);
                         multi: DHCP server disabled, address translation on,
                         input filter "filtro" on atm:1
  --mapping udp|tcp:PUBLIC:ADDRESS:PRIVATE
                         a static port mapping to start with; repeatable,
                         e.g. --mapping udp:5060:192.168.1.10:5060
  --version TEXT         software version shown by "show system", one word
                         of up to 16 characters (default "1.5.09")

Faults:
  --silent               never answer anything
  --chatter              send text lines forever and never the bare prompt
  --chatter-interval MS  pause after each chatter line (default 200; below
                         110 the line never falls quiet)
  --garbage              mix random printable garbage and zero bytes into
                         every reply
  --zero-bytes           mix zero bytes into every reply, which is otherwise
                         exact
  --hangup-after N       close the line in the middle of the N-th reply; the
                         device then gives errors or end of file
  --slow MS              send each reply only after MS milliseconds (more
                         than 110 makes the program's drains end early)
  --slow-listing MS      answer "show vc internet", "show dhcp server" and
                         "show system" only MS milliseconds after their line
                         ends, and echo every line only when it ends, with its
                         answer (as a router that is slow to start a listing;
                         300 leaves only the bare prompt on the line for a
                         program that reads too soon)
  --answer PREFIX=TEXT   answer every command line that starts with PREFIX
                         with the line TEXT (say "Error: ..."), changing
                         nothing: a router that refuses that line; repeatable
  --list LABEL=VALUE     print VALUE after LABEL in the listings instead of
                         the real value; \xNN in VALUE stands for that byte;
                         repeatable
  --without LABEL        leave the line of LABEL out of the listings;
                         repeatable
  --pace                 send output at 9600 bit/s (960 bytes a second)
  --seed N               where garbage and zero bytes fall (default 73)

  -h, --help             show this text
)";
}

}  // namespace cofralin
