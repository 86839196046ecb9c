#pragma once
// The command line of cofralin-cli: options and orders read with CLI11, every
// value checked before any router is touched, and the Spanish help.
//
// How it works: options may stand before or after the order. An unknown
// option, an unknown order, a missing or extra argument and every value the
// router would refuse (a malformed address or mask, a mask that is not
// contiguous, a port number outside 1 to 65535, an address that is no host)
// give a Spanish message that names the argument; the caller exits with
// status 2 having sent nothing. Addresses are passed on in plain dotted form
// (no leading zeros), masks given as a prefix length as a dotted mask, port
// numbers without leading zeros. No password is ever taken from here.

#include <string>
#include <vector>

#include "cli_request.h"

namespace cofralin::cli {

struct ParsedArguments {
    enum class Kind { Run, Help, Version, Refused };
    Kind kind = Kind::Run;
    CliRequest request;
    std::string error;  // Refused: why, naming the argument
};

// `arguments` without the program's name.
ParsedArguments ParseArguments(const std::vector<std::string>& arguments);

// The --help text and the --version line.
std::string HelpText();
std::string VersionText();

}  // namespace cofralin::cli
