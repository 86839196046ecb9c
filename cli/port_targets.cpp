#include "port_targets.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace cofralin::cli {

namespace {

std::string realPath(const std::string& path) {
    std::error_code error;
    const std::filesystem::path real = std::filesystem::canonical(path, error);
    return error ? path : real.string();
}

// A device given by its path: the name the discovery gives it, if any.
PortTarget byDevice(const std::string& device, const std::vector<SerialPort>& named) {
    const std::string real = realPath(device);
    for (const SerialPort& port : named) {
        if (realPath(port.device.path) == real) {
            return {port.name, device, std::nullopt, port.device.product, port.device.serial};
        }
    }
    return {device, device, std::nullopt, {}, {}};
}

PortTarget byName(const std::string& name, const SystemPaths& paths) {
    const std::vector<SerialPort> named = NamePorts(paths, std::nullopt, kMaxPortCount);
    const std::string device = DevicePathForPort(name, named, paths, kMaxPortCount);
    if (device.empty()) {
        return {
            name, "", "El puerto " + name + " no corresponde a ningún dispositivo serie.", {}, {}};
    }
    PortTarget target{name, device, std::nullopt, {}, {}};
    for (const SerialPort& port : named) {
        if (port.name != name) continue;
        target.product = port.device.product;
        target.serial = port.device.serial;
    }
    return target;
}

PortSelection everyPort(const SystemPaths& paths) {
    PortSelection selection;
    const PortProbe probe = ProbePorts(paths, std::nullopt, {}, kMaxPortCount);
    for (const SerialPort& port : probe.offered) {
        selection.targets.push_back(
            {port.name, port.device.path, std::nullopt, port.device.product, port.device.serial});
    }
    for (const PortRefusal& refusal : probe.refused) {
        selection.notes.push_back(RefusalText(refusal));
    }
    for (const StaleLock& stale : probe.cleared) selection.notes.push_back(StaleLockText(stale));
    return selection;
}

}  // namespace

std::optional<std::string> PortNameOf(const std::string& argument) {
    if (argument.size() < 4) return std::nullopt;
    std::string name = argument;
    std::transform(name.begin(), name.begin() + 3, name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    if (!name.ends_with(':')) name += ':';
    if (PortIndex(name, kMaxPortCount) < 0) return std::nullopt;
    return name;
}

PortSelection SelectPorts(const CliRequest& request, const SystemPaths& paths) {
    if (request.allPorts) return everyPort(paths);
    PortSelection selection;
    const std::vector<SerialPort> named = NamePorts(paths, std::nullopt, kMaxPortCount);
    for (const std::string& argument : request.ports) {
        PortTarget target;
        if (argument.starts_with('/')) {
            target = byDevice(argument, named);
        } else if (const std::optional<std::string> name = PortNameOf(argument)) {
            target = byName(*name, paths);
        } else {
            selection.error = "-p: «" + argument +
                              "» no es un puerto: escriba COM1 a COM99 o la ruta de un "
                              "dispositivo, como /dev/ttyUSB0.";
            return selection;
        }
        const bool twice = std::any_of(
            selection.targets.begin(), selection.targets.end(), [&](const PortTarget& other) {
                return other.name == target.name ||
                       (!target.device.empty() && !other.device.empty() &&
                        realPath(other.device) == realPath(target.device));
            });
        if (twice) {
            selection.error = "-p: el puerto " + target.name + " se indica dos veces.";
            return selection;
        }
        selection.targets.push_back(std::move(target));
    }
    return selection;
}

SystemPaths CommandLineSystemPaths() {
    SystemPaths paths;
    if (const char* folder = std::getenv("COFRALIN_TTY_CLASS"); folder && *folder) {
        paths.ttyClass = folder;
    }
    return paths;
}

}  // namespace cofralin::cli
