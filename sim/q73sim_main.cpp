// q73sim: a simulated Q73 router on a pseudo-terminal, for trying the program
// without the router. Prints the device path first, then serves until SIGINT
// or SIGTERM.

#include <csignal>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <system_error>
#include <vector>

#include "q73_simulator.h"
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

    Q73Simulator simulator(commandLine.options);
    if (!simulator.start()) {
        std::cerr << "q73sim: " << simulator.error() << "\n";
        return 1;
    }

    namespace fs = std::filesystem;
    const fs::path link = commandLine.linkPath;
    if (!link.empty()) {
        std::error_code error;
        // Only an old link is replaced, never a file of someone else's.
        if (fs::is_symlink(fs::symlink_status(link, error))) fs::remove(link, error);
        fs::create_symlink(simulator.slavePath(), link, error);
        if (error) {
            std::cerr << "q73sim: cannot make the link " << link << ": " << error.message() << "\n";
            return 1;
        }
    }

    std::cout << simulator.slavePath() << std::endl;

    // Wakes every 100 ms to bring the record up to date.
    const timespec tick{0, 100'000'000};
    std::size_t recorded = 0;
    for (;;) {
        if (sigtimedwait(&signals, nullptr, &tick) >= 0) break;
        if (commandLine.recordPath.empty()) continue;
        const std::string received = simulator.received();
        if (received.size() == recorded) continue;
        std::ofstream(commandLine.recordPath, std::ios::binary | std::ios::trunc) << received;
        recorded = received.size();
    }
    simulator.stop();
    if (!link.empty()) {
        std::error_code error;
        fs::remove(link, error);
    }
    return 0;
}
