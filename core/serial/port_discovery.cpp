#include "port_discovery.h"

#include <string.h>  // strverscmp

#include <algorithm>
#include <array>
#include <cstdlib>
#include <fstream>
#include <system_error>

#include "serial_line.h"

namespace cofralin {

namespace {

namespace fs = std::filesystem;

// The first line of a sysfs attribute; empty when there is none.
std::string readAttribute(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == ' ' || line.back() == '\r')) line.pop_back();
    return line;
}

// "ttyS2" before "ttyS10": digit runs compare as numbers.
bool naturallyBefore(const std::string& a, const std::string& b) {
    return ::strverscmp(a.c_str(), b.c_str()) < 0;
}

// The USB device a tty hangs from: the nearest ancestor with a vendor id.
std::optional<fs::path> usbDeviceOf(fs::path physical) {
    for (int depth = 0; depth < 8 && physical.has_relative_path(); ++depth) {
        std::error_code error;
        if (fs::exists(physical / "idVendor", error)) return physical;
        if (physical.filename() == "devices") break;
        physical = physical.parent_path();
    }
    return std::nullopt;
}

void describeUsb(SerialDevice& device, const fs::path& usb) {
    device.product = readAttribute(usb / "product");
    device.serial = readAttribute(usb / "serial");
}

// Product and serial number of a node sysfs knows, such as a variable's.
SerialDevice describeNode(const std::string& node, const SystemPaths& paths) {
    SerialDevice device{node, {}, {}};
    std::error_code error;
    const fs::path real = fs::canonical(node, error);
    if (error) return device;
    const fs::path physical = fs::canonical(paths.ttyClass / real.filename() / "device", error);
    if (error) return device;
    if (const auto usb = usbDeviceOf(physical)) describeUsb(device, *usb);
    return device;
}

bool sameDevice(const std::string& a, const std::string& b) {
    if (a == b) return true;
    std::error_code errorA;
    std::error_code errorB;
    const fs::path realA = fs::canonical(a, errorA);
    const fs::path realB = fs::canonical(b, errorB);
    return !errorA && !errorB && realA == realB;
}

std::string portName(int index) { return "COM" + std::to_string(index + 1) + ":"; }

}  // namespace

int PortIndex(std::string_view name, int count) {
    if (name.size() < 5 || name.size() > 6 || !name.starts_with("COM") || !name.ends_with(':')) {
        return -1;
    }
    const std::string_view digits = name.substr(3, name.size() - 4);
    if (digits.front() == '0') return -1;
    int number = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') return -1;
        number = number * 10 + (c - '0');
    }
    return number <= std::clamp(count, 1, kMaxPortCount) ? number - 1 : -1;
}

std::string DeviceDescription(const SerialDevice& device) {
    std::string text = device.path;
    for (const std::string* part : {&device.product, &device.serial}) {
        if (!part->empty()) text += " · " + *part;
    }
    return text;
}

std::vector<SerialDevice> FindSerialDevices(const SystemPaths& paths) {
    struct Found {
        SerialDevice device;
        std::string order;
    };
    std::vector<Found> onBoard;
    std::vector<Found> usb;
    std::error_code error;
    for (fs::directory_iterator entry(paths.ttyClass, error), end; !error && entry != end;
         entry.increment(error)) {
        const std::string name = entry->path().filename().string();
        // Consoles and pseudo-terminals have no device behind them.
        std::error_code noDevice;
        const fs::path physical = fs::canonical(entry->path() / "device", noDevice);
        if (noDevice) continue;
        const fs::path node = paths.devices / name;
        std::error_code noNode;
        if (!fs::exists(node, noNode)) continue;

        SerialDevice device{node.string(), {}, {}};
        if (const auto adapter = usbDeviceOf(physical)) {
            describeUsb(device, *adapter);
            usb.push_back({std::move(device), physical.string()});
        } else if (readAttribute(entry->path() / "type") != "0") {
            // Type 0 is the driver's "unknown": no UART answered at that address.
            onBoard.push_back({std::move(device), name});
        }
    }
    const auto byOrder = [](const Found& a, const Found& b) {
        return naturallyBefore(a.order, b.order);
    };
    std::sort(onBoard.begin(), onBoard.end(), byOrder);
    std::sort(usb.begin(), usb.end(), byOrder);

    std::vector<SerialDevice> devices;
    for (const std::vector<Found>* group : {&onBoard, &usb}) {
        for (const Found& found : *group) devices.push_back(found.device);
    }
    return devices;
}

std::vector<SerialPort> NamePorts(const SystemPaths& paths, const std::optional<SerialPort>& keep,
                                  int count) {
    count = std::clamp(count, 1, kMaxPortCount);
    std::vector<std::optional<SerialDevice>> slots(static_cast<std::size_t>(count));
    for (int index = 0; index < count; ++index) {
        const std::string variable = "COFRALIN_COM" + std::to_string(index + 1);
        if (const char* node = std::getenv(variable.c_str()); node && *node) {
            slots[index] = describeNode(node, paths);
        }
    }
    const auto named = [&](const SerialDevice& device) {
        return std::any_of(slots.begin(), slots.end(), [&](const auto& slot) {
            return slot && sameDevice(slot->path, device.path);
        });
    };

    const std::vector<SerialDevice> found = FindSerialDevices(paths);
    if (keep) {
        const int index = PortIndex(keep->name, count);
        const auto still = std::find_if(found.begin(), found.end(), [&](const SerialDevice& d) {
            return d.path == keep->device.path;
        });
        if (index >= 0 && !slots[index] && still != found.end() && !named(*still)) {
            slots[index] = *still;
        }
    }
    for (const SerialDevice& device : found) {
        if (named(device)) continue;
        const auto free = std::find_if(slots.begin(), slots.end(),
                                       [](const auto& slot) { return !slot.has_value(); });
        if (free == slots.end()) break;
        *free = device;
    }

    std::vector<SerialPort> ports;
    for (int index = 0; index < count; ++index) {
        if (slots[index]) ports.push_back({portName(index), *slots[index]});
    }
    return ports;
}

PortProbe ProbePorts(const SystemPaths& paths, const std::optional<SerialPort>& keep,
                     const std::string& openDevice, int count) {
    PortProbe probe;
    for (SerialPort& port : NamePorts(paths, keep, count)) {
        if (!openDevice.empty() && port.device.path == openDevice) {
            probe.offered.push_back(std::move(port));
            continue;
        }
        OpenTrial trial = TryOpenExclusive(port.device.path, paths.lockDirectory);
        if (trial.clearedLock) probe.cleared.push_back(std::move(*trial.clearedLock));
        // Every port named and not offered is told, the one a variable names
        // to a path that is not there as well.
        if (trial.refusal) {
            probe.refused.push_back(std::move(*trial.refusal));
        } else {
            probe.offered.push_back(std::move(port));
        }
    }
    return probe;
}

std::string PortLineText(const PortProbe& probe) {
    std::string text;
    const auto add = [&text](const std::string& line) {
        if (!text.empty()) text += '\n';
        text += line;
    };
    for (const PortRefusal& refusal : probe.refused) add(RefusalText(refusal));
    for (const StaleLock& stale : probe.cleared) add(StaleLockText(stale));
    return text;
}

std::string DevicePathForPort(std::string_view portName, const std::vector<SerialPort>& ports,
                              const SystemPaths& paths, int count) {
    if (PortIndex(portName, count) < 0) return {};
    const auto find = [&](const std::vector<SerialPort>& list) -> const SerialPort* {
        const auto port = std::find_if(list.begin(), list.end(),
                                       [&](const SerialPort& p) { return p.name == portName; });
        return port == list.end() ? nullptr : &*port;
    };
    if (const SerialPort* offered = find(ports)) return offered->device.path;
    const std::vector<SerialPort> now = NamePorts(paths, std::nullopt, count);
    const SerialPort* named = find(now);
    return named ? named->device.path : std::string();
}

}  // namespace cofralin
