#include "port_refusal.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace cofralin {

namespace {

namespace fs = std::filesystem;

std::string groupName(gid_t gid) {
    if (const group* entry = ::getgrgid(gid); entry && entry->gr_name) return entry->gr_name;
    return std::to_string(gid);
}

std::string userName(uid_t uid) {
    if (const passwd* entry = ::getpwuid(uid); entry && entry->pw_name) return entry->pw_name;
    return std::to_string(uid);
}

bool isNumber(const std::string& text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

}  // namespace

PortRefusal ExplainOpenFailure(const std::string& device, int error) {
    PortRefusal refusal;
    refusal.device = device;
    refusal.error = error;
    switch (error) {
        case ENOENT:
        case ENOTDIR:
        case ENODEV:
        case ENXIO:
            refusal.reason = PortRefusal::Reason::Absent;
            break;
        case EACCES:
        case EPERM: {
            refusal.reason = PortRefusal::Reason::Permission;
            refusal.user = userName(::getuid());
            struct stat node {};
            if (::stat(device.c_str(), &node) == 0) {
                // A group that may not read and write gives no way in.
                if ((node.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP)) {
                    refusal.group = groupName(node.st_gid);
                }
                refusal.owner = userName(node.st_uid);
            }
            break;
        }
        case EBUSY:
        case EWOULDBLOCK:
            refusal.reason = PortRefusal::Reason::Held;
            refusal.holder = ProcessHolding(device);
            break;
        default:
            refusal.reason = PortRefusal::Reason::Other;
            break;
    }
    return refusal;
}

PortRefusal HeldByLock(const std::string& device, LockHolder holder) {
    PortRefusal refusal;
    refusal.reason = PortRefusal::Reason::Held;
    refusal.device = device;
    refusal.error = EBUSY;
    refusal.holder = std::move(holder);
    return refusal;
}

std::optional<LockHolder> ProcessHolding(const std::string& device) {
    std::error_code error;
    const fs::path real = fs::canonical(device, error);
    if (error) return std::nullopt;
    const std::string self = std::to_string(::getpid());
    for (fs::directory_iterator process("/proc", error), end; !error && process != end;
         process.increment(error)) {
        const std::string pid = process->path().filename().string();
        if (!isNumber(pid) || pid == self) continue;
        std::error_code unreadable;
        for (fs::directory_iterator fd(process->path() / "fd", unreadable);
             !unreadable && fd != end; fd.increment(unreadable)) {
            std::error_code gone;
            if (fs::read_symlink(fd->path(), gone) == real) {
                const auto number = static_cast<pid_t>(std::atol(pid.c_str()));
                return LockHolder{number, ProgramNameOf(number)};
            }
        }
    }
    return std::nullopt;
}

std::string RefusalText(const PortRefusal& refusal) {
    const std::string& device = refusal.device;
    switch (refusal.reason) {
        case PortRefusal::Reason::Absent:
            return device + " no existe.";
        case PortRefusal::Reason::Permission:
            if (!refusal.group.empty()) {
                return "Sin permiso para abrir " + device + " (grupo " + refusal.group +
                       "): ejecute «sudo usermod -aG " + refusal.group + " " + refusal.user +
                       "» y vuelva a iniciar la sesión.";
            }
            if (!refusal.owner.empty()) {
                return "Sin permiso para abrir " + device + ": sólo puede usarlo " + refusal.owner +
                       ".";
            }
            return "Sin permiso para abrir " + device + ".";
        case PortRefusal::Reason::Held:
            if (refusal.holder && refusal.holder->pid > 0) {
                const std::string pid = std::to_string(refusal.holder->pid);
                if (!refusal.holder->program.empty()) {
                    return device + " está en uso por " + refusal.holder->program + " (PID " + pid +
                           ").";
                }
                return device + " está en uso por el proceso " + pid + ".";
            }
            return device + " está en uso por otro programa.";
        case PortRefusal::Reason::Other:
            break;
    }
    return "No pudo abrirse " + device + " (error " + std::to_string(refusal.error) + ").";
}

}  // namespace cofralin
