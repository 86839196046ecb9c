#pragma once
// "Actualizar Software": compares the router's software version with the one
// that ships with the program and, when the shipped one is newer and the user
// accepts, hands the serial line over to the upgrade program.
//
// How it works: the procedure tells no status, no progress and no reply;
// only its messages. It logs in, asks for the
// system listing and collects every drain of it until the bare prompt, so a
// label and its version split between two drains still give the whole
// version. The version is the word 42 bytes after the start of "System
// Version:". Versions compare part by part, numbers as numbers. The outcome is
// told in a message box; every path but a started upgrade program leaves the
// command line with EXIT_CLI, unless the router stopped answering, in which
// case nothing more is sent.

#include <string>
#include <string_view>

#include "frontend.h"
#include "listing_marks.h"
#include "outcome.h"
#include "upgrade_handover.h"

namespace cofralin {

// The router's version in a system listing: the word (up to a blank, a tab
// or a line end) that starts 42 bytes after the start of the first "System
// Version:", blanks before it skipped. Empty when the label is missing or
// nothing follows it on its line.
std::string CutRouterVersion(std::string_view listing);

// Negative when `a` is older than `b`, zero when equal, positive when newer.
// Dot-separated parts are compared in turn: two numbers by value, anything else
// as text; a version that runs out of parts first is the older. Trailing blanks
// are ignored.
int CompareVersions(std::string_view a, std::string_view b);

// The whole procedure. `search` is where the upgrade program is looked for.
// Done when the versions were compared and no upgrade program started (the
// router's version in the outcome); HandedOver when the upgrade program has
// the line and the program must end; MissingCommand when it could not be
// started (told, the port opened again).
Outcome UpdateRouterSoftware(RouterSession& session, Frontend& frontend,
                             const ProgramSearch& search = ProgramSearch::OfProcess());

}  // namespace cofralin
