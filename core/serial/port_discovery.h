#pragma once
// Which serial devices of the machine stand behind "COM1:".."COM4:".
//
// How it works: the devices are found in sysfs (/sys/class/tty): on-board
// UARTs whose driver reports a UART behind the node (most ttyS* nodes of a PC
// have none), and USB adapters (ttyUSB*, ttyACM*) with the product and serial
// number they report. The four names go out in a stable order: a variable
// COFRALIN_COMn names "COMn:" itself; the devices found then take the free
// names, on-board UARTs by number first, then USB adapters by their physical
// path, so the only adapter of a laptop is "COM1:". A port that does not
// open is left out, and why is kept for the window to say. The window names
// four ports; a front end that drives a bench of routers may ask for more
// names ("COM5:" on), which the variables and the devices found fill alike.
//
//   NamePorts        the named devices, opened or not
//   ProbePorts       those that open now, and why the others do not
//   PortLineText     what the window says of that
//   DevicePathForPort  the device behind a name

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "port_refusal.h"
#include "uucp_lock.h"

namespace cofralin {

// Where the system is looked at; tests point these at a fake tree.
struct SystemPaths {
    std::filesystem::path ttyClass = "/sys/class/tty";
    std::filesystem::path devices = "/dev";
    std::filesystem::path lockDirectory = kLockDirectory;
};

inline constexpr int kPortCount = 4;
// The most names a front end may ask for: "COM1:" to "COM99:".
inline constexpr int kMaxPortCount = 99;

struct SerialDevice {
    std::string path;     // the node opened
    std::string product;  // as the adapter reports them, where known
    std::string serial;

    bool operator==(const SerialDevice&) const = default;
};

// "/dev/ttyUSB0 · FT232R USB UART · A10K3XYZ", without the parts not known.
std::string DeviceDescription(const SerialDevice& device);

struct SerialPort {
    std::string name;  // "COM%d:"
    SerialDevice device;

    bool operator==(const SerialPort&) const = default;
};

// The serial devices sysfs knows, in naming order (the variables aside).
std::vector<SerialDevice> FindSerialDevices(const SystemPaths& paths);

// At most `count` (1 to kMaxPortCount) named ports in numeric order. `keep`,
// when its device is still there, keeps its name, so that a re-read does not
// move the current choice.
std::vector<SerialPort> NamePorts(const SystemPaths& paths,
                                  const std::optional<SerialPort>& keep = std::nullopt,
                                  int count = kPortCount);

struct PortProbe {
    std::vector<SerialPort> offered;   // those that opened, in numeric order
    std::vector<PortRefusal> refused;  // those named that did not
    std::vector<StaleLock> cleared;    // locks left behind, removed on the way
};

// Names the ports and opens each to test it; `openDevice`, held by this
// program already, is offered without a test. Nothing stays open, and no
// hold of another program is changed.
PortProbe ProbePorts(const SystemPaths& paths, const std::optional<SerialPort>& keep = std::nullopt,
                     const std::string& openDevice = {}, int count = kPortCount);

// What the line under the port selector says of a probe: why each port named
// is not offered, then each stale lock removed; empty when all is well.
std::string PortLineText(const PortProbe& probe);

// The device behind `portName`: the one in `ports` by that name, else the one
// named so now among `count` names; empty for a name that stands for nothing.
std::string DevicePathForPort(std::string_view portName, const std::vector<SerialPort>& ports = {},
                              const SystemPaths& paths = {}, int count = kPortCount);

// 0 for "COM1:", 1 for "COM2:"... below `count`; -1 for any other text.
int PortIndex(std::string_view portName, int count = kPortCount);

}  // namespace cofralin
