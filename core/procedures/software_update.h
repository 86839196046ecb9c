#pragma once
// "Actualizar Software": compares the router's software version with the one
// that ships with the program and, when the shipped one is newer and the user
// accepts, hands the serial line over to the upgrade program.
//
// How it works: the procedure runs inside the main window, which is its view
// (no status text, no progress bar, no reply shown). It logs in, asks for the
// system listing and collects every drain of it until the bare prompt, so a
// label and its version split between two drains still give the whole
// version. The version is the six bytes 42 bytes after the start of "System
// Version:". Versions compare part by part, numbers as numbers. The outcome is
// told in a message box; every path but a started upgrade program leaves the
// command line with EXIT_CLI, unless the router stopped answering, in which
// case nothing more is sent. Button 1005 is disabled for the whole run.

#include <string>
#include <string_view>

#include "listing_marks.h"
#include "router_view.h"
#include "session_state.h"
#include "upgrade_handover.h"

namespace cofralin {

// The main window's button that runs the procedure.
inline constexpr int kUpdateButtonId = 1005;

inline constexpr std::string_view kUpdateCaption = "Actualización";
inline constexpr std::string_view kRouterNewerText =
    "La versión actual del software (%s)\nes más antigua que la que tiene instalada el Router Q73 "
    "(%s).\nNo se puede Actualizar.";
inline constexpr std::string_view kSameVersionText =
    "La versión actual del software (%s)\nes la misma que la que tiene instalada el Router Q73 "
    "(%s).\nNo es necesaria la actualización.";
inline constexpr std::string_view kShippedNewerText =
    "La versión actual del software (%s)\nes más nueva que la que tiene instalada el Router Q73 "
    "(%s).\nResponda ACEPTAR y apague y vuelva a encender el Router para que se produzca la "
    "actualización.";
inline constexpr std::string_view kVersionUnreadText =
    "No pudo leerse la versión del software que tiene instalada el Router Q73.";

// The router's version in a system listing: up to six bytes starting 42 bytes
// after the start of the first "System Version:", ended early by a line end,
// trailing blanks dropped. Empty when the label is missing or nothing follows.
std::string CutRouterVersion(std::string_view listing);

// Negative when `a` is older than `b`, zero when equal, positive when newer.
// Dot-separated parts are compared in turn: two numbers by value, anything else
// as text; a version that runs out of parts first is the older. Trailing blanks
// are ignored.
int CompareVersions(std::string_view a, std::string_view b);

enum class UpdateOutcome {
    Returned,    // the main window goes on; 1005 is enabled again
    HandedOver,  // the upgrade program runs; the main window must end the program
};

// The whole procedure. `search` is where the upgrade program is looked for.
UpdateOutcome UpdateRouterSoftware(SessionState& state, RouterView& view,
                                   const ProgramSearch& search = ProgramSearch::OfProcess());

}  // namespace cofralin
