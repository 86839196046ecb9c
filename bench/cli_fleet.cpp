#include "cli_fleet.h"

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>

#include "q73_simulator.h"

namespace cofralin::bench {

namespace {

using Clock = std::chrono::steady_clock;

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

std::size_t occurrences(const std::string& text, const std::string& word) {
    std::size_t count = 0;
    for (std::size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) {
        ++count;
    }
    return count;
}

// One run on `routers` fresh paced simulators; false with `failure` set when a
// router did not report "ok".
bool runOnce(const std::string& cli, int routers, FleetSample& sample, std::string& failure) {
    std::vector<std::unique_ptr<Q73Simulator>> simulators;
    std::vector<std::string> environment{"PATH=/usr/bin:/bin"};
    const std::filesystem::path noPorts =
        std::filesystem::temp_directory_path() / "cofralin-bench-no-ttys";
    std::filesystem::create_directories(noPorts);
    environment.push_back("COFRALIN_TTY_CLASS=" + noPorts.string());
    for (int i = 0; i < routers; ++i) {
        SimulatorOptions options;
        options.pace = true;
        options.mode = StartMode::MultiPc;
        options.mappings = {{NatProtocol::Udp, 5060, {{192, 168, 1, 10}}, 5060}};
        simulators.push_back(std::make_unique<Q73Simulator>(options));
        if (!simulators.back()->start()) {
            failure = "simulator: " + simulators.back()->error();
            return false;
        }
        environment.push_back("COFRALIN_COM" + std::to_string(i + 1) + "=" +
                              simulators.back()->slavePath());
    }
    std::vector<char*> envp;
    for (std::string& entry : environment) envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::vector<std::string> arguments{cli, "estado", "--todos", "--json"};
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);

    int output[2];
    if (::pipe(output) != 0) {
        failure = "pipe failed";
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, output[0]);
    posix_spawn_file_actions_addchdir_np(&actions, COFRALIN_RUN_DIR);
    pid_t child = -1;
    const auto start = Clock::now();
    const int error =
        ::posix_spawn(&child, cli.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(output[1]);
    std::string out;
    if (error == 0) {
        char buffer[4096];
        for (ssize_t n; (n = ::read(output[0], buffer, sizeof buffer)) > 0;) {
            out.append(buffer, static_cast<std::size_t>(n));
        }
    }
    ::close(output[0]);
    if (error != 0) {
        failure = "cofralin-cli could not be started";
        return false;
    }
    int status = 0;
    rusage usage{};
    ::wait4(child, &status, 0, &usage);
    const auto wall = Clock::now() - start;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 ||
        occurrences(out, "\"outcome\":\"ok\"") != static_cast<std::size_t>(routers)) {
        failure = "cofralin-cli with " + std::to_string(routers) + " routers: " + out;
        return false;
    }
    const auto ms = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) * 1000.0 + static_cast<double>(t.tv_usec) / 1000.0;
    };
    sample.routers = routers;
    sample.wallMs = std::chrono::duration<double, std::milli>(wall).count();
    sample.cpuMs = ms(usage.ru_utime) + ms(usage.ru_stime);
    return true;
}

}  // namespace

FleetReport MeasureFleet(const std::string& cli, int routers, int runs) {
    FleetReport report;
    for (const int count : {1, routers}) {
        std::vector<FleetSample> samples;
        for (int run = 0; run < runs; ++run) {
            FleetSample sample;
            if (!runOnce(cli, count, sample, report.failure)) return report;
            samples.push_back(sample);
        }
        std::sort(samples.begin(), samples.end(),
                  [](const FleetSample& a, const FleetSample& b) { return a.wallMs < b.wallMs; });
        FleetSample typical = samples[samples.size() / 2];
        std::vector<double> cpu;
        for (const FleetSample& s : samples) cpu.push_back(s.cpuMs);
        typical.cpuMs = median(cpu);
        report.rows.push_back(typical);
    }
    return report;
}

}  // namespace cofralin::bench
