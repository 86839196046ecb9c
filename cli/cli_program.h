#pragma once
// cofralin-cli from its arguments to its exit status.
//
// The whole flow: the arguments are read and checked, the catalogue loaded,
// the password source and the ports settled; anything refused so far ends
// the program with status 2 (3 when no port can be driven) before a byte is
// sent. Then each port gets its own RouterSession and thread, all sharing
// the read-only settings; each thread connects, runs the order and writes its
// result as soon as it has one. Ctrl-C (SIGINT) or SIGTERM asks every
// session to stop: each wait notices within a quiet time and each port
// reports how far it got ("stopped", or "half_configured" once configuration
// lines went out); a second Ctrl-C ends the program at once. The exit status
// is the highest of the ports'.

namespace cofralin::cli {

int RunCli(int argc, char** argv);

}  // namespace cofralin::cli
