#pragma once
// The serial line to the router's console.
//
// How it works: a port name "COM1:".."COM4:" maps to a device (the environment
// variable COFRALIN_COM1..COFRALIN_COM4 when set, else /dev/ttyS0, /dev/ttyS1,
// /dev/ttyUSB0, /dev/ttyUSB1). Opening is exclusive (TIOCEXCL and flock), so a
// port held by another program can neither be offered nor opened. The line is
// set to raw 9600 bit/s, 8 data bits, no parity, one stop bit; flow control,
// modem lines and HUPCL keep the values found, and everything found is put back
// on close.
//
//   open       opens and configures; on failure nothing stays open
//   close      restores the settings found and releases the device
//   write      all bytes, giving up after 10 ms a byte plus 100 ms
//   readByte   one byte, or nothing after 110 ms of silence or on a read error

#include <termios.h>

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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
};

inline constexpr std::chrono::milliseconds kQuietTime{110};
inline constexpr std::chrono::milliseconds kWriteTimePerByte{10};
inline constexpr std::chrono::milliseconds kWriteTimeConstant{100};

class TermiosSerialLine final : public SerialLine {
public:
    TermiosSerialLine() = default;
    ~TermiosSerialLine() override;
    TermiosSerialLine(const TermiosSerialLine&) = delete;
    TermiosSerialLine& operator=(const TermiosSerialLine&) = delete;

    struct OpenResult {
        bool opened = false;
        // Set when the device opened but refused the line settings: errno of
        // tcsetattr, or of the read-back that found them not applied.
        std::optional<int> settingsError;
    };
    // Opens `device` exclusively and configures it. An open line is closed first.
    OpenResult open(const std::string& device);
    void close();

    bool isOpen() const override { return fd_ >= 0; }
    bool write(std::string_view bytes) override;
    std::optional<char> readByte() override;

    int fileDescriptor() const { return fd_; }

private:
    int fd_ = -1;
    bool restoreSettings_ = false;
    termios foundSettings_{};
};

// The device that stands for "COM1:".."COM4:"; empty for any other name.
std::string DevicePathForPort(std::string_view portName);

// Whether the device of `portName` can be opened exclusively right now.
bool PortCanBeOpened(std::string_view portName);

// The names among "COM1:".."COM4:" that can be opened now, in numeric order.
std::vector<std::string> ProbePorts();

}  // namespace cofralin
