#pragma once
// The serial line to the router's console.
//
// How it works: opening is exclusive (the UUCP lock file minicom and picocom
// also honour, then TIOCEXCL and flock), so a port held by another program can
// neither be offered nor opened, and a refusal says why. The line is set to raw
// 9600 bit/s, 8 data bits, no parity, one stop bit; flow control, modem lines
// and HUPCL keep the values found, and everything found is put back on close.
// Which device stands for which port name is port_discovery.h's business.
//
//   open       locks, opens and configures; on failure nothing stays open or locked
//   close      restores the settings found, releases the device and its lock
//   write      all bytes, giving up after 10 ms a byte plus 100 ms
//   readByte   one byte, or nothing after 110 ms of silence or on a read error;
//              while it waits, and between the bytes of a reply, it calls the
//              idle callback every 20 ms

#include <termios.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
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
    virtual bool isOpen() const = 0;
    // Writes every byte or gives up after the write time-out. Result: all written.
    virtual bool write(std::string_view bytes) = 0;
    // One byte, or nothing once the line has been quiet for the quiet time.
    virtual std::optional<char> readByte() = 0;

    // Called about every kIdleInterval while the reads of a reply go on, so
    // that the windows can repaint; neither the quiet time nor the bytes change.
    virtual void setIdle(std::function<void()> idle) { idle_ = std::move(idle); }

protected:
    // Calls the idle callback when kIdleInterval has passed since its last call;
    // the reads call it while they wait and between the bytes of a reply.
    void idleWhenDue();

private:
    std::function<void()> idle_;
    std::chrono::steady_clock::time_point lastIdle_{};
};

inline constexpr std::chrono::milliseconds kQuietTime{110};
inline constexpr std::chrono::milliseconds kWriteTimePerByte{10};
inline constexpr std::chrono::milliseconds kWriteTimeConstant{100};
inline constexpr std::chrono::milliseconds kIdleInterval{20};

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
    std::optional<char> readByte() override;

    int fileDescriptor() const { return fd_; }

private:
    std::filesystem::path lockDirectory_;
    UucpLock lock_;
    int fd_ = -1;
    bool restoreSettings_ = false;
    termios foundSettings_{};
};

// Whether `device` could be opened exclusively right now: nothing when it
// could (it is left closed and unlocked), else why not.
std::optional<PortRefusal> TryOpenExclusive(const std::string& device,
                                            const std::filesystem::path& lockDirectory);

}  // namespace cofralin
