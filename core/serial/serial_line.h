#pragma once
// The serial line to the router's console.
//
// How it works: only a character device is a port (not the program's own
// terminal). Opening is exclusive (the UUCP lock file minicom and picocom
// also honour, then TIOCEXCL and flock), so a port held by another program can
// neither be offered nor opened, and a refusal says why. The line is set to raw
// 9600 bit/s, 8 data bits, no parity, one stop bit; flow control, modem lines
// and HUPCL keep the values found, and everything found is put back on close.
// Which device stands for which port name is port_discovery.h's business.
//
//   open       locks, opens and configures; on failure nothing stays open or locked
//   close      restores the settings found, releases the device and its lock
//   write      all bytes, giving up after 10 ms a byte plus 100 ms
//   readSome   what is waiting, in one read; nothing once the caller's quiet
//              end has passed without a byte. A read that follows one that
//              took bytes first lets the next ones gather for kGatherTime, so
//              a router that talks wakes the program about a hundred times a
//              second, not once a byte. While it waits it calls the idle
//              callback every 20 ms
//   lost       true once a transfer has told that the device is gone (hang-up,
//              error, a vanished device, a failed or short write); from then on
//              nothing is written and every read returns nothing at once

#include <termios.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "port_refusal.h"
#include "uucp_lock.h"

namespace cofralin {

// What the exchange needs of a line; the termios line is the real one.
class SerialLine {
public:
    virtual ~SerialLine() = default;
    using Clock = std::chrono::steady_clock;

    virtual bool isOpen() const = 0;
    // Writes every byte or gives up after the write time-out. Result: all written.
    virtual bool write(std::string_view bytes) = 0;
    // Reads what the line holds into `buffer`, at most its size: at once when
    // bytes are waiting, else as soon as some come. 0 once `quietEnd` has
    // passed without a byte, and at once on a lost line.
    virtual std::size_t readSome(std::span<char> buffer, Clock::time_point quietEnd) = 0;
    // True once a read or write has told that the device is gone.
    virtual bool lost() const { return false; }

    // Called about every kIdleInterval while the reads of a reply go on, so
    // that the windows can repaint; neither the quiet time nor the bytes change.
    virtual void setIdle(std::function<void()> idle) { idle_ = std::move(idle); }

protected:
    // Calls the idle callback when kIdleInterval has passed since its last call;
    // the reads call it while they wait and between the bytes of a reply.
    void idleWhenDue();
    bool hasIdle() const { return static_cast<bool>(idle_); }

private:
    std::function<void()> idle_;
    std::chrono::steady_clock::time_point lastIdle_{};
};

inline constexpr std::chrono::milliseconds kQuietTime{110};
inline constexpr std::chrono::milliseconds kWriteTimePerByte{10};
inline constexpr std::chrono::milliseconds kWriteTimeConstant{100};
inline constexpr std::chrono::milliseconds kIdleInterval{20};
// How long bytes that stream in may gather between two reads: well inside the
// 20 ms interval time-out of the line settings.
inline constexpr std::chrono::milliseconds kGatherTime{9};

class TermiosSerialLine final : public SerialLine {
public:
    explicit TermiosSerialLine(std::filesystem::path lockDirectory = kLockDirectory)
        : lockDirectory_(std::move(lockDirectory)) {}
    ~TermiosSerialLine() override;
    TermiosSerialLine(const TermiosSerialLine&) = delete;
    TermiosSerialLine& operator=(const TermiosSerialLine&) = delete;

    struct OpenResult {
        bool opened = false;
        // Set when the device opened but refused the line settings: errno of
        // tcsetattr, or of the read-back that found them not applied.
        std::optional<int> settingsError;
        // Set when it did not open: why.
        std::optional<PortRefusal> refusal;
    };
    // Opens `device` exclusively and configures it. An open line is closed first.
    OpenResult open(const std::string& device);
    void close();

    bool isOpen() const override { return fd_ >= 0; }
    bool write(std::string_view bytes) override;
    std::size_t readSome(std::span<char> buffer, Clock::time_point quietEnd) override;
    bool lost() const override { return lost_; }

    int fileDescriptor() const { return fd_; }

private:
    // Reads what poll said is waiting: the count taken (0 when the read
    // ended the wait), nothing when poll is to be asked again.
    std::optional<std::size_t> takeWaiting(std::span<char> buffer, Clock::time_point quietEnd);

    std::filesystem::path lockDirectory_;
    UucpLock lock_;
    int fd_ = -1;
    bool restoreSettings_ = false;
    termios foundSettings_{};
    bool lost_ = false;
    // Set while the last read took bytes: the next one lets more gather until then.
    std::optional<Clock::time_point> gatherUntil_;
};

struct OpenTrial {
    std::optional<PortRefusal> refusal;    // set when it could not be opened: why
    std::optional<StaleLock> clearedLock;  // a stale lock removed on the way
};

// Whether `device` could be opened exclusively right now. It is left closed
// and unlocked, and the hold of another program (TIOCEXCL, flock, its lock
// file) is only looked at, never changed.
OpenTrial TryOpenExclusive(const std::string& device, const std::filesystem::path& lockDirectory);

}  // namespace cofralin
