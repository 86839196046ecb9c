#include "serial_line.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <thread>

namespace cofralin {

namespace {

using Clock = std::chrono::steady_clock;

// What a path that is not a serial port is instead; nothing for one that
// may be. The program's own terminal and the pseudo-terminal multiplexer are
// character devices, but no port: one would write router commands on the
// user's terminal, the other makes a new pseudo-terminal at each open.
std::optional<std::string> notSerialReason(const struct stat& node) {
    if (S_ISDIR(node.st_mode)) return "es una carpeta";
    if (S_ISREG(node.st_mode)) return "es un fichero normal";
    if (S_ISFIFO(node.st_mode)) return "es una FIFO";
    if (S_ISSOCK(node.st_mode)) return "es un socket";
    if (!S_ISCHR(node.st_mode)) return "no es un dispositivo de caracteres";
    if (node.st_rdev == makedev(5, 0)) return "es el terminal de control de este programa";
    if (node.st_rdev == makedev(5, 2)) return "es el multiplexor de pseudoterminales";
    return std::nullopt;
}

// The device node behind `device` (links followed), or why it is no port.
std::optional<PortRefusal> checkDeviceNode(const std::string& device, struct stat& node) {
    if (::stat(device.c_str(), &node) != 0) return ExplainOpenFailure(device, errno);
    if (std::optional<std::string> reason = notSerialReason(node)) {
        return NotASerialPort(device, std::move(*reason));
    }
    return std::nullopt;
}

// Opens the device `node` without blocking and without making it the
// controlling terminal. -1 with `refusal` set when it does not open or what
// opened is not that device any more.
int openNode(const std::string& device, const struct stat& node,
             std::optional<PortRefusal>& refusal) {
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        refusal = ExplainOpenFailure(device, errno);
        return -1;
    }
    struct stat opened {};
    std::optional<std::string> reason;
    if (::fstat(fd, &opened) != 0 || opened.st_rdev != node.st_rdev) {
        reason = "cambió al abrirlo";
    } else {
        reason = notSerialReason(opened);
        if (!reason && !::isatty(fd)) reason = "no es un terminal";
    }
    if (reason) {
        ::close(fd);
        refusal = NotASerialPort(device, std::move(*reason));
        return -1;
    }
    return fd;
}

// Whether a program has set TIOCEXCL on the terminal: the kernel lets root
// open it all the same, and clearing it would take that program's hold away.
bool exclusiveAlready(int fd) {
    int exclusive = 0;
    return ::ioctl(fd, TIOCGEXCL, &exclusive) == 0 && exclusive != 0;
}

// Opens exclusively; -1 with `refusal` set when the device is absent, refused
// or held by another program. A hold of another program is left as it is.
int openExclusive(const std::string& device, const struct stat& node,
                  std::optional<PortRefusal>& refusal) {
    const int fd = openNode(device, node, refusal);
    if (fd < 0) return -1;
    if (exclusiveAlready(fd)) {
        ::close(fd);
        refusal = ExplainOpenFailure(device, EBUSY);
        return -1;
    }
    if (::ioctl(fd, TIOCEXCL) != 0) {
        refusal = ExplainOpenFailure(device, errno);
        ::close(fd);
        return -1;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        refusal = ExplainOpenFailure(device, errno == EWOULDBLOCK ? EBUSY : errno);
        // The flag was clear before this program set it.
        ::ioctl(fd, TIOCNXCL);
        ::close(fd);
        return -1;
    }
    // Transfers are synchronous; time-outs come from poll.
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    return fd;
}

void releaseExclusive(int fd) {
    ::ioctl(fd, TIOCNXCL);
    ::flock(fd, LOCK_UN);
    ::close(fd);
}

// Raw 9600 8N1; flow control (CRTSCTS, IXON, IXOFF), CLOCAL and HUPCL stay as found.
termios lineSettings(const termios& found) {
    termios wanted = found;
    wanted.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR |
                                             ICRNL | INPCK | IUCLC | IMAXBEL);
    wanted.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    wanted.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    wanted.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB);
    wanted.c_cflag |= CS8 | CREAD;
    wanted.c_cc[VMIN] = 1;
    wanted.c_cc[VTIME] = 0;
    cfsetispeed(&wanted, B9600);
    cfsetospeed(&wanted, B9600);
    return wanted;
}

bool sameLineSettings(const termios& a, const termios& b) {
    constexpr tcflag_t cflagMask = CSIZE | PARENB | CSTOPB;
    return (a.c_cflag & cflagMask) == (b.c_cflag & cflagMask) &&
           (a.c_lflag & ICANON) == (b.c_lflag & ICANON) &&
           (a.c_lflag & ECHO) == (b.c_lflag & ECHO) && cfgetospeed(&a) == cfgetospeed(&b);
}

// What a read error says of the device: gone, or only this read failed.
bool deviceGone(int error) { return error == EIO || error == ENXIO || error == ENODEV; }

}  // namespace

TermiosSerialLine::~TermiosSerialLine() { close(); }

TermiosSerialLine::OpenResult TermiosSerialLine::open(const std::string& device) {
    close();
    OpenResult result;
    struct stat node {};
    if ((result.refusal = checkDeviceNode(device, node))) return result;
    if (const LockCheck lock = lock_.acquire(device, lockDirectory_);
        lock.status != LockCheck::Status::Free) {
        result.refusal = RefusedByLock(device, lock);
        return result;
    }
    fd_ = openExclusive(device, node, result.refusal);
    if (fd_ < 0) {
        lock_.release();
        return result;
    }
    result.opened = true;

    restoreSettings_ = ::tcgetattr(fd_, &foundSettings_) == 0;
    if (!restoreSettings_) {
        result.settingsError = errno;
        return result;
    }
    const termios wanted = lineSettings(foundSettings_);
    if (::tcsetattr(fd_, TCSANOW, &wanted) != 0) {
        result.settingsError = errno;
        return result;
    }
    // tcsetattr succeeds when any one change was made: read back to be sure.
    termios applied{};
    if (::tcgetattr(fd_, &applied) != 0) {
        result.settingsError = errno;
    } else if (!sameLineSettings(applied, wanted)) {
        result.settingsError = EINVAL;
    }
    return result;
}

void TermiosSerialLine::close() {
    lost_ = false;
    gatherUntil_.reset();
    if (fd_ < 0) return;
    if (restoreSettings_) ::tcsetattr(fd_, TCSANOW, &foundSettings_);
    releaseExclusive(fd_);
    lock_.release();
    fd_ = -1;
    restoreSettings_ = false;
}

void SerialLine::idleWhenDue() {
    if (!idle_) return;
    const auto now = Clock::now();
    if (now - lastIdle_ < kIdleInterval) return;
    idle_();
    lastIdle_ = Clock::now();
}

bool TermiosSerialLine::write(std::string_view bytes) {
    if (fd_ < 0 || lost_) return false;
    const auto deadline = Clock::now() + kWriteTimePerByte * bytes.size() + kWriteTimeConstant;
    std::size_t written = 0;
    // Bytes that do not all go out leave the router with half a command: the
    // line is as good as gone.
    while (written < bytes.size()) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) break;
        pollfd entry{fd_, POLLOUT, 0};
        const int ready = ::poll(&entry, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0 || (entry.revents & (POLLERR | POLLHUP | POLLNVAL))) break;
        const ssize_t n = ::write(fd_, bytes.data() + written, bytes.size() - written);
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN) continue;
            break;
        }
        written += static_cast<std::size_t>(n);
    }
    if (written < bytes.size()) lost_ = true;
    return !lost_;
}

std::size_t TermiosSerialLine::readSome(std::span<char> buffer, Clock::time_point quietEnd) {
    if (fd_ < 0 || lost_ || buffer.empty()) return 0;
    // The bytes of a reply still coming in gather meanwhile: one wake-up takes them all.
    if (gatherUntil_) {
        std::this_thread::sleep_until(std::min(*gatherUntil_, quietEnd));
        gatherUntil_.reset();
    }
    for (;;) {
        idleWhenDue();
        // Rounded up: the quiet time is a minimum, poll's unit is the millisecond.
        // With an idle callback the wait goes in slices so that its calls keep
        // coming; once the quiet end has passed, one look without waiting still
        // takes a byte that came during the last idle call.
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(quietEnd - Clock::now());
        const auto wait = std::clamp(left, std::chrono::milliseconds{0},
                                     hasIdle() ? kIdleInterval : std::max(left, kIdleInterval));
        pollfd entry{fd_, POLLIN, 0};
        const int ready = ::poll(&entry, 1, static_cast<int>(wait.count()));
        if (ready < 0 && errno == EINTR) continue;
        if (ready == 0) {
            if (left.count() <= 0) return 0;
            continue;  // wait out the rest of the quiet time
        }
        if (ready < 0) {
            // Not the device: ends the read like a quiet line, without spinning.
            std::this_thread::sleep_until(quietEnd);
            return 0;
        }
        // POLLHUP, POLLERR or POLLNVAL without data.
        if (!(entry.revents & POLLIN)) {
            lost_ = true;
            return 0;
        }
        if (const std::optional<std::size_t> taken = takeWaiting(buffer, quietEnd)) return *taken;
    }
}

std::optional<std::size_t> TermiosSerialLine::takeWaiting(std::span<char> buffer,
                                                          Clock::time_point quietEnd) {
    // What a hung-up device still holds is taken before the loss shows.
    const ssize_t n = ::read(fd_, buffer.data(), buffer.size());
    if (n > 0) {
        gatherUntil_ = Clock::now() + kGatherTime;
        return static_cast<std::size_t>(n);
    }
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) return std::nullopt;
    // End of file on a terminal is a hang-up.
    if (n == 0 || deviceGone(errno)) {
        lost_ = true;
        return 0;
    }
    std::this_thread::sleep_until(quietEnd);
    return 0;
}

OpenTrial TryOpenExclusive(const std::string& device, const std::filesystem::path& lockDirectory) {
    OpenTrial trial;
    struct stat node {};
    if ((trial.refusal = checkDeviceNode(device, node))) return trial;
    const LockCheck lock = CheckLock(device, lockDirectory);
    trial.clearedLock = lock.stale;
    if (lock.status != LockCheck::Status::Free) {
        trial.clearedLock.reset();
        trial.refusal = RefusedByLock(device, lock);
        return trial;
    }
    // Looked at, not taken: neither TIOCEXCL nor the flock stays behind, and
    // the TIOCEXCL of another program is never cleared.
    const int fd = openNode(device, node, trial.refusal);
    if (fd < 0) return trial;
    if (exclusiveAlready(fd) || ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        trial.refusal = ExplainOpenFailure(device, EBUSY);
    }
    ::close(fd);
    return trial;
}

}  // namespace cofralin
