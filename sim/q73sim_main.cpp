// q73sim: a simulated Q73 router on a pseudo-terminal (or on a terminal given
// with --device), for trying the program without the router. Prints the device
// path first, then serves until SIGINT or SIGTERM.

#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <string>
#include <system_error>
#include <vector>

#include "q73_simulator.h"
#include "sim_files.h"
#include "simulator_options.h"

int main(int argc, char** argv) {
    using namespace cofralin;
    const CommandLine commandLine =
        parseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (commandLine.help) {
        std::cout << usageText();
        return 0;
    }
    if (!commandLine.error.empty()) {
        std::cerr << "q73sim: " << commandLine.error << "\nTry q73sim --help.\n";
        return 2;
    }

    // The signals are taken by sigwait below; blocked before the serving thread
    // starts, so that it inherits the mask and never takes them itself.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    namespace fs = std::filesystem;
    int record = -1;
    if (!commandLine.recordPath.empty()) {
        std::string error;
        record = OpenRecordFile(commandLine.recordPath, error);
        if (record < 0) {
            std::cerr << "q73sim: will not record in " << commandLine.recordPath << ": " << error
                      << "\n";
            return 1;
        }
    }

    Q73Simulator simulator(commandLine.options);
    const bool started = commandLine.devicePath.empty() ? simulator.start()
                                                        : simulator.startOn(commandLine.devicePath);
    if (!started) {
        std::cerr << "q73sim: " << simulator.error() << "\n";
        return 1;
    }

    const fs::path link = commandLine.linkPath;
    if (std::string error; !link.empty() && !MakeDeviceLink(link, simulator.slavePath(), error)) {
        std::cerr << "q73sim: cannot make the link " << link << ": " << error << "\n";
        return 1;
    }

    std::cout << simulator.slavePath() << std::endl;

    // Wakes every 100 ms to bring the record up to date.
    const timespec tick{0, 100'000'000};
    std::size_t recorded = 0;
    // The bytes received only grow: what is new goes after what is there.
    const auto bringRecordUpToDate = [&] {
        if (record < 0) return;
        const std::string received = simulator.received();
        while (recorded < received.size()) {
            const ssize_t n =
                ::write(record, received.data() + recorded, received.size() - recorded);
            if (n <= 0 && errno != EINTR) break;
            if (n > 0) recorded += static_cast<std::size_t>(n);
        }
    };
    for (;;) {
        if (sigtimedwait(&signals, nullptr, &tick) >= 0) break;
        bringRecordUpToDate();
    }
    simulator.stop();
    // What came in since the last tick, so that the record is whole on exit.
    bringRecordUpToDate();
    if (record >= 0) ::close(record);
    if (!link.empty()) RemoveDeviceLink(link, simulator.slavePath());
    return 0;
}
