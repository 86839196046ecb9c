#pragma once
// Why a serial device that exists would not open, in the words the main
// window shows under the port selector: no permission (with the group that
// may open it and the command that adds the user to it), or held by another
// program (named where the system tells: its UUCP lock file, or the process
// that has the device open).

#include <optional>
#include <string>

#include "uucp_lock.h"

namespace cofralin {

struct PortRefusal {
    enum class Reason { Absent, Permission, Held, Other };
    Reason reason = Reason::Other;
    std::string device;
    int error = 0;  // errno of the failed open
    // Permission: the device's group when its members may open it, else its owner.
    std::string group;
    std::string owner;
    std::string user;  // the user this program runs as
    // Held: the program that holds it, where known.
    std::optional<LockHolder> holder;
};

// Explains an open of `device` that failed with `error`.
PortRefusal ExplainOpenFailure(const std::string& device, int error);

// A refusal because of the live lock of another program.
PortRefusal HeldByLock(const std::string& device, LockHolder holder);

// The process, other than this one, that has `device` open; none when no
// process this user may look at has.
std::optional<LockHolder> ProcessHolding(const std::string& device);

// The one Spanish line that tells the user why and what to do.
std::string RefusalText(const PortRefusal& refusal);

}  // namespace cofralin
