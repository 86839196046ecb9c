#include "serial_line.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <thread>

namespace cofralin {

namespace {

using Clock = std::chrono::steady_clock;

// Opens exclusively; -1 with `error` set when the device is absent, refused
// or held by another program.
int openExclusive(const std::string& device, int& error) {
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = errno;
        return -1;
    }
    if (::ioctl(fd, TIOCEXCL) != 0 || ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        error = errno == EWOULDBLOCK ? EBUSY : errno;
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
    if (std::optional<LockHolder> holder = lock_.acquire(device, lockDirectory_)) {
        result.refusal = HeldByLock(device, std::move(*holder));
        return result;
    }
    int error = 0;
    fd_ = openExclusive(device, error);
    if (fd_ < 0) {
        lock_.release();
        result.refusal = ExplainOpenFailure(device, error);
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
        if (entry.revents & POLLIN) {
            // What a hung-up device still holds is taken before the loss shows.
            const ssize_t n = ::read(fd_, buffer.data(), buffer.size());
            if (n > 0) {
                gatherUntil_ = Clock::now() + kGatherTime;
                return static_cast<std::size_t>(n);
            }
            if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
            // End of file on a terminal is a hang-up.
            if (n == 0 || deviceGone(errno)) {
                lost_ = true;
                return 0;
            }
            std::this_thread::sleep_until(quietEnd);
            return 0;
        }
        // POLLHUP, POLLERR or POLLNVAL without data.
        lost_ = true;
        return 0;
    }
}

std::optional<PortRefusal> TryOpenExclusive(const std::string& device,
                                            const std::filesystem::path& lockDirectory) {
    if (std::optional<LockHolder> holder = LockHolderOf(device, lockDirectory)) {
        return HeldByLock(device, std::move(*holder));
    }
    int error = 0;
    const int fd = openExclusive(device, error);
    if (fd < 0) return ExplainOpenFailure(device, error);
    releaseExclusive(fd);
    return std::nullopt;
}

}  // namespace cofralin
