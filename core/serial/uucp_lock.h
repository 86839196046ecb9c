#pragma once
// UUCP lock files, the convention minicom and picocom share: before a program
// opens /dev/ttyUSB0 it creates /run/lock/LCK..ttyUSB0 holding its PID as ten
// ASCII characters (then its name and user), and removes it when done. A lock
// whose process is gone is stale and is removed by the next program to look.
//
// The lock folder is shared with every local user, and this program may run
// as root, so nothing in it is trusted: a lock is read only when it is a plain
// file of bounded size, opened without following links and without blocking;
// anything else by that name (a FIFO, a folder, a link, garbage, a PID that
// cannot be) is a stale lock of unknown owner. The lock is written under a
// fresh random name created exclusively, never through a link, then linked
// into place. A folder that anyone may write to and that is not sticky lets
// anyone replace or remove any lock, so no port is used through it.
//
//   CheckLock      where a device's lock stands; a stale lock is removed
//   UucpLock       takes a device's lock and gives it back when released

#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string>

namespace cofralin {

inline const std::filesystem::path kLockDirectory = "/run/lock";

struct LockHolder {
    pid_t pid = 0;        // 0 when the lock file does not say
    std::string program;  // empty when unknown
};

// A lock left behind: its holder has ended, or it names none.
struct StaleLock {
    std::filesystem::path file;
    pid_t pid = 0;       // the ended process it named; 0 when it names none
    std::string defect;  // when it names none: what is wrong with it, in Spanish
};

struct LockCheck {
    enum class Status {
        Free,          // no lock stands in the way (`stale`: one that was removed)
        Held,          // `holder` holds it (pid 0: a lock that cannot be read, `error`)
        Stuck,         // `stale` could not be removed (`error`)
        UnsafeFolder,  // the folder is writable by others and not sticky
    };
    Status status = Status::Free;
    std::filesystem::path file;  // the device's lock file
    LockHolder holder;
    std::optional<StaleLock> stale;
    int error = 0;
};

// "LCK.." and the device's own name (symbolic links followed).
std::filesystem::path LockFilePath(const std::string& device,
                                   const std::filesystem::path& directory);

// Whether anyone may add, replace or remove files in `directory`: writable by
// others and without the sticky bit.
bool LockFolderIsUnsafe(const std::filesystem::path& directory);

// Where the lock of `device` stands. A stale lock is removed on the way.
LockCheck CheckLock(const std::string& device, const std::filesystem::path& directory);

// The name a running process goes by, from /proc; empty when it cannot be read.
std::string ProgramNameOf(pid_t pid);

class UucpLock {
public:
    UucpLock() = default;
    ~UucpLock() { release(); }
    UucpLock(const UucpLock&) = delete;
    UucpLock& operator=(const UucpLock&) = delete;

    // Takes the lock of `device`: Free when it is taken. Where no lock file can
    // be written (no such directory, no right to it) the result is Free too
    // and the device is opened without one, as the other tools do.
    LockCheck acquire(const std::string& device, const std::filesystem::path& directory);
    // Removes the lock file, if it still holds this process's PID.
    void release();

private:
    std::filesystem::path file_;
};

}  // namespace cofralin
