#pragma once
// Runs the built cofralin-cli as a process, as a shell would: its arguments,
// an environment of its own (the machine's serial ports kept out, the
// simulators named by COFRALIN_COMn), its standard input from /dev/null or a
// terminal, and what it writes collected. A hook sees the output while the
// program runs, to answer a prompt or to send it a signal.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace cofralin::testing {

struct CliResult {
    int status = -1;  // the exit status, or -1 when it did not exit
    std::string out;
    std::string err;
    std::chrono::steady_clock::time_point ended;

    // Every line of the standard output parsed as JSON.
    std::vector<nlohmann::json> json() const {
        std::vector<nlohmann::json> lines;
        std::istringstream in(out);
        for (std::string line; std::getline(in, line);) {
            lines.push_back(nlohmann::json::parse(line));
        }
        return lines;
    }
};

struct CliCall {
    CliCall(std::vector<std::string> arguments_,
            std::vector<std::pair<std::string, std::string>> environment_ = {})
        : arguments(std::move(arguments_)), environment(std::move(environment_)) {}

    std::vector<std::string> arguments;
    std::vector<std::pair<std::string, std::string>> environment;
    // The catalogue folder of the build, with the stand-in upgrade program.
    std::filesystem::path folder = COFRALIN_RUN_DIR;
    int input = -1;   // a terminal for the standard input; /dev/null otherwise
    int output = -1;  // a terminal for the standard output; a pipe otherwise
    // Called about every 10 ms with the program's id and what it wrote so far.
    std::function<void(pid_t, const CliResult&)> whileRunning;
    std::chrono::seconds limit{60};
};

// An empty folder for the tty class: no port of the machine gets a name.
inline const std::filesystem::path& NoMachinePorts() {
    static const std::filesystem::path folder = [] {
        const auto path = std::filesystem::temp_directory_path() / "cofralin-cli-tests-no-ttys";
        std::filesystem::create_directories(path);
        return path;
    }();
    return folder;
}

inline CliResult RunCofralinCli(const CliCall& call) {
    std::vector<std::string> environment{"PATH=/usr/bin:/bin", "LANG=C.UTF-8",
                                         "COFRALIN_TTY_CLASS=" + NoMachinePorts().string()};
    // The sanitizers' settings of a sanitizer build reach the program too.
    for (const char* name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"}) {
        if (const char* value = std::getenv(name))
            environment.push_back(std::string(name) + "=" + value);
    }
    for (const auto& [name, value] : call.environment) environment.push_back(name + "=" + value);
    // Copies before a change go to a folder of the tests', unless the test names its own.
    if (std::none_of(call.environment.begin(), call.environment.end(),
                     [](const auto& variable) { return variable.first == "XDG_DATA_HOME"; })) {
        environment.push_back(
            "XDG_DATA_HOME=" +
            (std::filesystem::temp_directory_path() / "cofralin-cli-tests-data").string());
    }
    std::vector<char*> envp;
    for (std::string& entry : environment) envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::vector<std::string> arguments{COFRALIN_CLI_PATH};
    arguments.insert(arguments.end(), call.arguments.begin(), call.arguments.end());
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);

    int outPipe[2];
    int errPipe[2];
    CliResult result;
    if (::pipe2(outPipe, O_CLOEXEC) != 0 || ::pipe2(errPipe, O_CLOEXEC) != 0) return result;
    const int devNull = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, call.input >= 0 ? call.input : devNull, 0);
    posix_spawn_file_actions_adddup2(&actions, call.output >= 0 ? call.output : outPipe[1], 1);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
    posix_spawn_file_actions_addchdir_np(&actions, call.folder.c_str());
    pid_t child = -1;
    const int spawned = ::posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(devNull);
    ::close(outPipe[1]);
    ::close(errPipe[1]);
    if (spawned != 0) return result;

    const auto deadline = std::chrono::steady_clock::now() + call.limit;
    bool open[2] = {true, true};
    int status = 0;
    bool exited = false;
    while (!exited || open[0] || open[1]) {
        pollfd entries[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
        ::poll(entries, 2, 10);
        for (int i = 0; i < 2; ++i) {
            if (!open[i] || !(entries[i].revents & (POLLIN | POLLHUP))) continue;
            char buffer[4096];
            const ssize_t n = ::read(entries[i].fd, buffer, sizeof buffer);
            if (n <= 0) {
                open[i] = false;
            } else {
                (i == 0 ? result.out : result.err).append(buffer, static_cast<std::size_t>(n));
            }
        }
        if (!exited && ::waitpid(child, &status, WNOHANG) == child) {
            exited = true;
            result.ended = std::chrono::steady_clock::now();
        }
        if (!exited && call.whileRunning) call.whileRunning(child, result);
        if (!exited && std::chrono::steady_clock::now() > deadline) {
            ::kill(child, SIGKILL);
            ::waitpid(child, &status, 0);
            break;
        }
    }
    ::close(outPipe[0]);
    ::close(errPipe[0]);
    if (exited && WIFEXITED(status)) result.status = WEXITSTATUS(status);
    return result;
}

}  // namespace cofralin::testing
