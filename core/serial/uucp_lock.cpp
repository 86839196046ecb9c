#include "uucp_lock.h"

#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <string_view>
#include <system_error>

#include "whole_write.h"

namespace cofralin {

namespace {

namespace fs = std::filesystem;

// Ten digits, a program name and a user fit many times over.
constexpr std::size_t kLockSizeLimit = 256;
// PID_MAX_LIMIT of Linux: no process has a higher number.
constexpr long long kHighestPid = 4194304;
// An empty lock younger than this is one that its program is still writing.
constexpr std::chrono::seconds kWritingTime{2};
constexpr std::size_t kProgramNameLimit = 32;

constexpr const char* kNamesNoProcess = "no dice qué proceso lo tiene";

bool processIsAlive(pid_t pid) { return ::kill(pid, 0) == 0 || errno == EPERM; }

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// What a lock file says: the PID in ASCII (the binary four bytes of older
// tools as well) and the program's name where it follows. Nothing when it
// names no process that could exist.
std::optional<LockHolder> parseLock(std::string_view text) {
    LockHolder holder;
    if (text.size() == sizeof(std::int32_t) &&
        !std::isdigit(static_cast<unsigned char>(text.back())) && !isBlank(text.back())) {
        std::int32_t binary = 0;
        std::memcpy(&binary, text.data(), sizeof binary);
        if (binary <= 0 || binary > kHighestPid) return std::nullopt;
        holder.pid = static_cast<pid_t>(binary);
        return holder;
    }
    std::size_t at = 0;
    while (at < text.size() && isBlank(text[at])) ++at;
    std::size_t end = at;
    while (end < text.size() && std::isdigit(static_cast<unsigned char>(text[end]))) ++end;
    if (end == at || (end < text.size() && !isBlank(text[end]))) return std::nullopt;
    long long pid = 0;
    const auto parsed = std::from_chars(text.data() + at, text.data() + end, pid);
    if (parsed.ec != std::errc() || pid <= 0 || pid > kHighestPid) return std::nullopt;
    holder.pid = static_cast<pid_t>(pid);

    while (end < text.size() && isBlank(text[end])) ++end;
    std::size_t nameEnd = end;
    while (nameEnd < text.size() && !isBlank(text[nameEnd])) ++nameEnd;
    const std::string_view name = text.substr(end, nameEnd - end);
    bool printable = name.size() <= kProgramNameLimit;
    for (const char c : name) printable = printable && std::isgraph(static_cast<unsigned char>(c));
    if (printable) holder.program = std::string(name);
    return holder;
}

std::string defectOfKind(mode_t mode) {
    if (S_ISLNK(mode)) return "es un enlace simbólico";
    if (S_ISFIFO(mode)) return "es una FIFO";
    if (S_ISDIR(mode)) return "es una carpeta";
    if (S_ISSOCK(mode)) return "es un socket";
    return "es un dispositivo";
}

bool sameEntry(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_mtim.tv_sec == b.st_mtim.tv_sec &&
           a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

// A lock file as read, without following a link, blocking on a FIFO or
// reading more than a lock can hold.
struct LockRead {
    enum class Kind { Missing, Names, Defective, Unreadable, BeingWritten };
    Kind kind = Kind::Missing;
    LockHolder holder;    // Names
    std::string defect;   // Defective
    int error = 0;        // Unreadable
    struct stat seen {};  // the entry read, so that only that one is removed
};

LockRead readLock(const fs::path& file) {
    LockRead read;
    if (::lstat(file.c_str(), &read.seen) != 0) {
        if (errno != ENOENT && errno != ENOTDIR) {
            read.kind = LockRead::Kind::Unreadable;
            read.error = errno;
        }
        return read;
    }
    read.kind = LockRead::Kind::Defective;
    if (!S_ISREG(read.seen.st_mode)) {
        read.defect = defectOfKind(read.seen.st_mode);
        return read;
    }
    const int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT) {
            read.kind = LockRead::Kind::Missing;
        } else if (errno == ELOOP) {
            read.defect = defectOfKind(S_IFLNK);
        } else {
            read.kind = LockRead::Kind::Unreadable;
            read.error = errno;
        }
        return read;
    }
    // What was opened counts, should the name have changed meanwhile.
    struct stat opened {};
    std::string text;
    if (::fstat(fd, &opened) == 0) {
        read.seen = opened;
        char buffer[kLockSizeLimit + 1];
        std::size_t got = 0;
        while (S_ISREG(opened.st_mode) && got < sizeof buffer) {
            const ssize_t n = ::read(fd, buffer + got, sizeof buffer - got);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            got += static_cast<std::size_t>(n);
        }
        text.assign(buffer, got);
    }
    ::close(fd);

    if (!S_ISREG(read.seen.st_mode)) {
        read.defect = defectOfKind(read.seen.st_mode);
    } else if (text.size() > kLockSizeLimit) {
        read.defect = "es demasiado grande";
    } else if (text.empty() &&
               std::chrono::system_clock::now() -
                       std::chrono::system_clock::from_time_t(read.seen.st_mtim.tv_sec) <
                   kWritingTime) {
        read.kind = LockRead::Kind::BeingWritten;
    } else if (const std::optional<LockHolder> holder = parseLock(text)) {
        read.kind = LockRead::Kind::Names;
        read.holder = *holder;
    } else {
        read.defect = kNamesNoProcess;
    }
    return read;
}

// Removes the entry `seen` at `file`; EAGAIN when another one stands there now.
int removeEntry(const fs::path& file, const struct stat& seen) {
    struct stat now {};
    if (::lstat(file.c_str(), &now) != 0) return errno == ENOENT ? 0 : errno;
    if (!sameEntry(now, seen)) return EAGAIN;
    const int result = S_ISDIR(now.st_mode) ? ::rmdir(file.c_str()) : ::unlink(file.c_str());
    return result == 0 || errno == ENOENT ? 0 : errno;
}

std::string userName() {
    if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_name) {
        return entry->pw_name;
    }
    return std::to_string(::getuid());
}

std::string randomSuffix() {
    std::random_device source;
    char text[17];
    std::snprintf(text, sizeof text, "%08x%08x", source(), source());
    return text;
}

// A draft of the lock under a fresh name nobody can have prepared: created
// exclusively, never through a link. -1 when the folder takes none.
int createDraft(const fs::path& directory, fs::path& draft) {
    for (int attempt = 0; attempt < 8; ++attempt) {
        draft = directory / ("LTMP." + randomSuffix());
        const int fd = ::open(
            draft.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, 0644);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

}  // namespace

fs::path LockFilePath(const std::string& device, const fs::path& directory) {
    std::error_code error;
    fs::path real = fs::canonical(device, error);
    if (error) real = device;
    return directory / ("LCK.." + real.filename().string());
}

bool LockFolderIsUnsafe(const fs::path& directory) {
    struct stat folder {};
    if (::stat(directory.c_str(), &folder) != 0) return false;
    return (folder.st_mode & S_IWOTH) != 0 && (folder.st_mode & S_ISVTX) == 0;
}

std::string ProgramNameOf(pid_t pid) {
    std::ifstream in(fs::path("/proc") / std::to_string(pid) / "comm", std::ios::binary);
    char buffer[64];
    in.read(buffer, sizeof buffer);
    std::string name(buffer, static_cast<std::size_t>(in.gcount()));
    while (!name.empty() && (name.back() == '\n' || name.back() == '\0')) name.pop_back();
    return name;
}

LockCheck CheckLock(const std::string& device, const fs::path& directory) {
    LockCheck check;
    check.file = LockFilePath(device, directory);
    if (LockFolderIsUnsafe(directory)) {
        check.status = LockCheck::Status::UnsafeFolder;
        return check;
    }
    // A lock replaced while it was looked at is looked at again.
    for (int attempt = 0; attempt < 3; ++attempt) {
        const LockRead read = readLock(check.file);
        StaleLock stale{check.file, 0, {}};
        switch (read.kind) {
            case LockRead::Kind::Missing:
                return check;
            case LockRead::Kind::Unreadable:
                check.status = LockCheck::Status::Held;
                check.error = read.error;
                return check;
            case LockRead::Kind::BeingWritten:
                check.status = LockCheck::Status::Held;
                return check;
            case LockRead::Kind::Names:
                if (processIsAlive(read.holder.pid)) {
                    check.status = LockCheck::Status::Held;
                    check.holder = read.holder;
                    // The running process's own name is surer than what the file says.
                    if (std::string running = ProgramNameOf(read.holder.pid); !running.empty()) {
                        check.holder.program = std::move(running);
                    }
                    return check;
                }
                stale.pid = read.holder.pid;
                break;
            case LockRead::Kind::Defective:
                stale.defect = read.defect;
                break;
        }
        const int error = removeEntry(check.file, read.seen);
        if (error == EAGAIN) continue;
        check.stale = std::move(stale);
        if (error != 0) {
            check.status = LockCheck::Status::Stuck;
            check.error = error;
        }
        return check;
    }
    check.status = LockCheck::Status::Held;
    return check;
}

LockCheck UucpLock::acquire(const std::string& device, const fs::path& directory) {
    release();
    LockCheck result;
    // A device that is not there is not opened either: nothing to lock.
    std::error_code absent;
    const fs::path real = fs::canonical(device, absent);
    if (absent || real.filename().empty()) return result;
    result.file = LockFilePath(device, directory);
    if (LockFolderIsUnsafe(directory)) {
        result.status = LockCheck::Status::UnsafeFolder;
        return result;
    }

    // Written under a private name and linked into place, so nobody ever reads
    // a half-written lock and of two programs only one wins.
    fs::path draft;
    const int fd = createDraft(directory, draft);
    if (fd < 0) return result;  // nowhere to lock: go on without
    char content[64];
    std::snprintf(content, sizeof content, "%10ld cofralin %s\n", static_cast<long>(::getpid()),
                  userName().c_str());
    // Readable by the other tools whatever the umask.
    const bool written = ::fchmod(fd, 0644) == 0 && WriteWhole(fd, content);
    if (::close(fd) != 0 || !written) {
        ::unlink(draft.c_str());
        return result;
    }

    std::optional<StaleLock> cleared;
    bool settled = false;
    for (int attempt = 0; attempt < 3 && !settled; ++attempt) {
        if (::link(draft.c_str(), result.file.c_str()) == 0) {
            file_ = result.file;
            settled = true;
        } else if (errno != EEXIST) {
            settled = true;  // nowhere to lock: go on without
        } else {
            const LockCheck check = CheckLock(device, directory);
            if (check.status != LockCheck::Status::Free) {
                result = check;
                settled = true;
            } else if (check.stale) {
                cleared = check.stale;
            }
        }
    }
    ::unlink(draft.c_str());
    // Another program kept putting its lock there: it holds the device.
    if (!settled) result.status = LockCheck::Status::Held;
    if (result.status == LockCheck::Status::Free) result.stale = cleared;
    return result;
}

void UucpLock::release() {
    if (file_.empty()) return;
    const LockRead read = readLock(file_);
    if (read.kind == LockRead::Kind::Names && read.holder.pid == ::getpid()) {
        removeEntry(file_, read.seen);
    }
    file_.clear();
}

}  // namespace cofralin
