#pragma once
// UUCP lock files, the convention minicom and picocom share: before a program
// opens /dev/ttyUSB0 it creates /run/lock/LCK..ttyUSB0 holding its PID as ten
// ASCII characters (then its name and user), and removes it when done. A lock
// whose process is gone is stale and is removed by the next program to look.
//
//   LockHolderOf   the live process that holds a device's lock, if any
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

// "LCK.." and the device's own name (symbolic links followed).
std::filesystem::path LockFilePath(const std::string& device,
                                   const std::filesystem::path& directory);

// The process whose lock on `device` is live. A stale lock is removed on the way;
// a lock file that names no process counts as held by an unknown one.
std::optional<LockHolder> LockHolderOf(const std::string& device,
                                       const std::filesystem::path& directory);

// The name a running process goes by, from /proc; empty when it cannot be read.
std::string ProgramNameOf(pid_t pid);

class UucpLock {
public:
    UucpLock() = default;
    ~UucpLock() { release(); }
    UucpLock(const UucpLock&) = delete;
    UucpLock& operator=(const UucpLock&) = delete;

    // Takes the lock of `device`. Result: the live process that holds it instead.
    // Where no lock file can be written (no such directory, no right to it) the
    // device is opened without one, as the other tools do.
    std::optional<LockHolder> acquire(const std::string& device,
                                      const std::filesystem::path& directory);
    // Removes the lock file, if it still holds this process's PID.
    void release();

private:
    std::filesystem::path file_;
};

}  // namespace cofralin
