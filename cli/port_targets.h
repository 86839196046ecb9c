#pragma once
// Which serial ports a run drives: the names and devices given with -p, or
// every port the discovery offers with --todos. Names go up to "COM99:",
// so a bench of more than four adapters has a name for each; the window
// keeps its four.
//
// How it works: "COM3", "com3:" and "COM3:" all name "COM3:"; a path names
// its device, and takes the COM name the discovery gives that device, if
// any. A port given twice is refused. A name that stands for no device, like
// a port the discovery does not offer, is kept with the reason, so that its
// refusal is reported beside the other ports' results.

#include <optional>
#include <string>
#include <vector>

#include "cli_request.h"
#include "port_discovery.h"

namespace cofralin::cli {

struct PortTarget {
    std::string name;                    // "COM1:", or the device path when no name stands for it
    std::string device;                  // empty when the name stands for no device
    std::optional<std::string> refusal;  // set when it cannot be driven: why
    std::string product;                 // the device's, where the discovery knows them
    std::string serial;
};

struct PortSelection {
    std::vector<PortTarget> targets;
    // Told on the side: ports the discovery did not offer with --todos, and
    // stale locks removed on the way.
    std::vector<std::string> notes;
    std::string error;  // not empty: the -p arguments were refused (status 2)
};

// The ports of `request`, looked up under `paths`.
PortSelection SelectPorts(const CliRequest& request, const SystemPaths& paths);

// The name "COMn:" a -p argument stands for, or nothing when it is no name.
std::optional<std::string> PortNameOf(const std::string& argument);

// The discovery the command line uses: the system's, with the class folder
// of COFRALIN_TTY_CLASS when that variable names one (tests and benches keep
// the machine's own ports out with an empty folder).
SystemPaths CommandLineSystemPaths();

}  // namespace cofralin::cli
