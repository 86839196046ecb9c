#pragma once
// Copies of the router taken before a change, and the way back to one.
//
// How it works: when the settings name a copies folder, every change (the
// two switches, the add and the delete of a mapping) calls KeepCopy right
// before its first configuration line: the three listings are read with
// their drain-first waits, the copy is written, its file named in the status
// and in the run log. A copy that cannot be written stops the change with
// nothing configured. A dry run keeps no copy, as it changes nothing.
//
// A restore reads the router and, before its first step, keeps a copy of
// what it read; it reaches the copy's state through the same procedures a
// user would run: the switch to the
// copy's mode with the copy's addresses when the mode or its addresses
// differ, then the mapping adds and deletes that make both tables equal to
// the copy's. It reads the router again at the end and says what still
// differs.
//
//   KeepCopy          inside a change: the copy, or how the change ends
//   KeepRouterCopy    a copy and nothing else (log-in, listings, exit)
//   CheckCopyValues   the copy's values pass the checks typed values pass
//   RestoreRouterCopy the way back

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "frontend.h"
#include "outcome.h"
#include "router_copy.h"

namespace cofralin {

class Operation;

// Nothing once the copy is kept (or none is to be kept); else the ending of
// the change, the user told: the wait that gave up, or CopyNotKept.
std::optional<Ending> KeepCopy(Operation& run, std::string_view change);

// Reads the router and keeps a copy of it, naming `change`; the copy's file
// in the outcome. A dry run reads and keeps nothing.
Outcome KeepRouterCopy(RouterSession& session, Frontend& frontend, std::string_view change);

// Nothing when every value a restore of `copy` would send is fit to be
// sent; else what is wrong, in Spanish.
std::optional<std::string> CheckCopyValues(const RouterCopy& copy);

struct RestoreOutcome {
    // Done when the router now shows what the copy holds (or a dry run
    // planned it); what was told, sent and planned over all the steps; what
    // the router shows at the end.
    Outcome outcome;
    // What was done or planned, in words, one a step; empty: nothing to do.
    std::vector<std::string> steps;
};

// Brings the router to the state `copy` holds. Asks nothing: the front end
// asked before. `change` names the restore in the copy it keeps first.
RestoreOutcome RestoreRouterCopy(RouterSession& session, Frontend& frontend, const RouterCopy& copy,
                                 std::string_view change);

}  // namespace cofralin
