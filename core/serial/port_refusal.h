#pragma once
// Why a serial device would not open, in the words the main window shows
// under the port selector: not there, not a serial port at all, no permission
// (with the group that may open it and the command that adds the user to it),
// held by another program (named where the system tells: its UUCP lock file,
// or the process that has the device open), a lock left behind that could not
// be removed, or a lock folder anyone may tamper with. A system error is told
// in Spanish words, never as a number.

#include <filesystem>
#include <optional>
#include <string>

#include "uucp_lock.h"

namespace cofralin {

struct PortRefusal {
    enum class Reason { Absent, NotSerial, Permission, Held, StaleLock, UnsafeLockFolder, Other };
    Reason reason = Reason::Other;
    std::string device;
    int error = 0;  // errno of the failed open, or of the lock that could not be read or removed
    std::string detail;  // NotSerial: what the path is instead
    // Held, StaleLock, UnsafeLockFolder: the lock file concerned, where one is.
    std::filesystem::path lockFile;
    std::optional<StaleLock> stale;  // StaleLock: the lock that could not be removed
    // Permission: the device's group when its members may open it, else its owner.
    std::string group;
    std::string owner;
    std::string user;  // the user this program runs as
    // Held: the program that holds it, where known.
    std::optional<LockHolder> holder;
};

// Explains an open of `device` that failed with `error`.
PortRefusal ExplainOpenFailure(const std::string& device, int error);

// A refusal because of the lock of `device`: CheckLock or UucpLock::acquire
// found it held, stuck or in an unsafe folder (not Free).
PortRefusal RefusedByLock(const std::string& device, const LockCheck& check);

// A path that names no serial port: `detail` tells what it is instead.
PortRefusal NotASerialPort(const std::string& device, std::string detail);

// The process, other than this one, that has `device` open; none when no
// process this user may look at has.
std::optional<LockHolder> ProcessHolding(const std::string& device);

// The one Spanish line that tells the user why and what to do.
std::string RefusalText(const PortRefusal& refusal);

// The Spanish line that tells of a stale lock removed on the way.
std::string StaleLockText(const StaleLock& stale);

// An errno of opening, locking or removing a file, in Spanish words.
std::string ErrorInWords(int error);

}  // namespace cofralin
