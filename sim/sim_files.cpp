#include "sim_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>
#include <system_error>

namespace cofralin {

namespace {

namespace fs = std::filesystem;

// Where the pseudo-terminals a simulator serves live.
constexpr std::string_view kPseudoTerminals = "/dev/pts/";

std::string randomSuffix() {
    std::random_device source;
    char text[17];
    std::snprintf(text, sizeof text, "%08x%08x", source(), source());
    return text;
}

}  // namespace

int OpenRecordFile(const fs::path& path, std::string& error) {
    // No O_TRUNC here: what stands there is looked at before it is emptied.
    // What a program sent holds its passwords: the record is its owner's alone.
    const int fd = ::open(
        path.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0600);
    if (fd < 0) {
        error = errno == ELOOP   ? "is a symbolic link"
                : errno == ENXIO ? "is not a regular file"
                                 : std::strerror(errno);
        return -1;
    }
    struct stat opened {};
    if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
        error = "is not a regular file";
    } else if (opened.st_uid != ::geteuid()) {
        error = "belongs to another user";
    } else if (::fchmod(fd, 0600) != 0 || ::ftruncate(fd, 0) != 0) {
        error = std::strerror(errno);
    } else {
        return fd;
    }
    ::close(fd);
    return -1;
}

bool MakeDeviceLink(const fs::path& link, const std::string& device, std::string& error) {
    struct stat found {};
    if (::lstat(link.c_str(), &found) != 0) {
        if (errno != ENOENT) {
            error = std::strerror(errno);
            return false;
        }
        // Nothing there: made as it is, and refused should something appear meanwhile.
        std::error_code made;
        fs::create_symlink(device, link, made);
        if (made) error = made.message();
        return !made;
    }
    std::error_code unreadable;
    const std::string target = fs::read_symlink(link, unreadable).string();
    if (!S_ISLNK(found.st_mode)) {
        error = "exists and is not a symbolic link";
    } else if (found.st_uid != ::geteuid()) {
        error = "is a symbolic link of another user";
    } else if (unreadable || !target.starts_with(kPseudoTerminals)) {
        error = "leads to " + target + ", not to a pseudo-terminal";
    } else {
        // The old link of an earlier run is replaced in one step.
        const fs::path fresh =
            link.parent_path() / ("." + link.filename().string() + ".q73sim-" + randomSuffix());
        std::error_code failed;
        fs::create_symlink(device, fresh, failed);
        if (!failed) fs::rename(fresh, link, failed);
        if (!failed) return true;
        std::error_code ignored;
        fs::remove(fresh, ignored);
        error = failed.message();
    }
    return false;
}

void RemoveDeviceLink(const fs::path& link, const std::string& device) {
    std::error_code error;
    if (!fs::is_symlink(fs::symlink_status(link, error))) return;
    if (fs::read_symlink(link, error) != fs::path(device) || error) return;
    fs::remove(link, error);
}

}  // namespace cofralin
