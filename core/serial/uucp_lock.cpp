#include "uucp_lock.h"

#include <pwd.h>
#include <signal.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <system_error>

namespace cofralin {

namespace {

namespace fs = std::filesystem;

std::string readSmallFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::string text;
    char buffer[128];
    in.read(buffer, sizeof buffer);
    text.assign(buffer, static_cast<std::size_t>(in.gcount()));
    return text;
}

bool processIsAlive(pid_t pid) { return ::kill(pid, 0) == 0 || errno == EPERM; }

// What a lock file says: the PID in ASCII (the binary four bytes of older
// tools as well) and the program's name where it follows.
LockHolder parseLock(const std::string& text) {
    LockHolder holder;
    if (text.size() == sizeof(int) && !std::isdigit(static_cast<unsigned char>(text.back())) &&
        text.back() != ' ' && text.back() != '\n') {
        int binary = 0;
        std::memcpy(&binary, text.data(), sizeof binary);
        holder.pid = binary > 0 ? binary : 0;
        return holder;
    }
    std::istringstream in(text);
    long pid = 0;
    if (in >> pid && pid > 0) holder.pid = static_cast<pid_t>(pid);
    in >> holder.program;
    return holder;
}

std::string userName() {
    if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_name) {
        return entry->pw_name;
    }
    return std::to_string(::getuid());
}

}  // namespace

fs::path LockFilePath(const std::string& device, const fs::path& directory) {
    std::error_code error;
    fs::path real = fs::canonical(device, error);
    if (error) real = device;
    return directory / ("LCK.." + real.filename().string());
}

std::string ProgramNameOf(pid_t pid) {
    std::string name = readSmallFile(fs::path("/proc") / std::to_string(pid) / "comm");
    while (!name.empty() && (name.back() == '\n' || name.back() == '\0')) name.pop_back();
    return name;
}

std::optional<LockHolder> LockHolderOf(const std::string& device, const fs::path& directory) {
    const fs::path file = LockFilePath(device, directory);
    std::error_code error;
    if (!fs::exists(fs::symlink_status(file, error))) return std::nullopt;

    LockHolder holder = parseLock(readSmallFile(file));
    if (holder.pid == 0) return holder;
    if (!processIsAlive(holder.pid)) {
        fs::remove(file, error);
        return std::nullopt;
    }
    // The running process's own name is surer than what the file says.
    if (std::string running = ProgramNameOf(holder.pid); !running.empty()) {
        holder.program = std::move(running);
    }
    return holder;
}

std::optional<LockHolder> UucpLock::acquire(const std::string& device, const fs::path& directory) {
    release();
    // A device that is not there is not opened either: nothing to lock.
    std::error_code absent;
    const fs::path real = fs::canonical(device, absent);
    if (absent || real.filename().empty()) return std::nullopt;
    const fs::path file = LockFilePath(device, directory);
    // Written under a private name and linked into place, so nobody ever reads
    // a half-written lock and of two programs only one wins.
    const fs::path draft = directory / ("LTMP." + std::to_string(::getpid()));
    char content[64];
    std::snprintf(content, sizeof content, "%10ld cofralin %s\n", static_cast<long>(::getpid()),
                  userName().c_str());
    {
        std::ofstream out(draft, std::ios::binary | std::ios::trunc);
        if (!out) return std::nullopt;
        out << content;
        if (!out.flush()) {
            std::error_code ignored;
            fs::remove(draft, ignored);
            return std::nullopt;
        }
    }
    std::error_code ignored;
    fs::permissions(draft, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read,
                    ignored);

    std::optional<LockHolder> holder;
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (::link(draft.c_str(), file.c_str()) == 0) {
            file_ = file;
            break;
        }
        if (errno != EEXIST) break;  // nowhere to lock: go on without
        holder = LockHolderOf(device, directory);
        if (holder) break;
        // A stale lock was just removed (or could not be): try once more.
    }
    fs::remove(draft, ignored);
    return holder;
}

void UucpLock::release() {
    if (file_.empty()) return;
    const LockHolder holder = parseLock(readSmallFile(file_));
    if (holder.pid == ::getpid()) {
        std::error_code ignored;
        fs::remove(file_, ignored);
    }
    file_.clear();
}

}  // namespace cofralin
