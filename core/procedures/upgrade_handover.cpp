#include "upgrade_handover.h"

#include <spawn.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <system_error>

#include "exchange.h"
#include "port_refusal.h"
#include "router_port.h"

extern char** environ;

namespace cofralin {

namespace {

// Blanks and tabs separate the words of DOS_COMMAND alike.
constexpr std::string_view kWordSeparators = " \t";

// What the port in use puts in place of "COM"; the third and fourth ports
// leave it as it is.
std::string_view portOption(std::string_view portName) {
    if (portName == "COM1:") return "-p1";
    if (portName == "COM2:") return "-p2";
    return {};
}

bool isExecutableFile(const std::filesystem::path& path) {
    std::error_code error;
    return std::filesystem::is_regular_file(path, error) && ::access(path.c_str(), X_OK) == 0;
}

bool isFile(const std::filesystem::path& path) {
    std::error_code error;
    return std::filesystem::is_regular_file(path, error);
}

std::string inQuotes(std::string_view program) { return "\"" + Windows1252ToUtf8(program) + "\""; }

std::string lookupErrorText(const ProgramLookup& lookup, std::string_view program) {
    switch (lookup.status) {
        case ProgramLookup::Status::NoName:
            return "No se ha indicado el programa de actualización (DOS_COMMAND).";
        case ProgramLookup::Status::Missing:
            return "No se encuentra el programa de actualización " + inQuotes(program) + ".";
        case ProgramLookup::Status::NotExecutable:
            return "El programa de actualización " + inQuotes(program) + " no es ejecutable.";
        case ProgramLookup::Status::Found:
            break;
    }
    return {};
}

}  // namespace

std::string ComposeUpgradeCommand(std::string_view dosCommand, std::string_view portName) {
    const std::string_view option = portOption(portName);
    if (option.empty()) return std::string(dosCommand);
    // The word at the start is the program's name, which never names the
    // port; after it only a "COM" standing alone does, not one inside a path.
    std::string composed;
    for (std::size_t at = 0; at < dosCommand.size();) {
        const std::size_t start =
            std::min(dosCommand.find_first_not_of(kWordSeparators, at), dosCommand.size());
        const std::size_t end =
            std::min(dosCommand.find_first_of(kWordSeparators, start), dosCommand.size());
        const std::string_view word = dosCommand.substr(start, end - start);
        composed.append(dosCommand.substr(at, start - at));
        composed.append(start > 0 && word == "COM" ? option : word);
        at = end;
    }
    return composed;
}

UpgradeCommand SplitUpgradeCommand(std::string_view commandLine) {
    UpgradeCommand command;
    const std::size_t blank = commandLine.find_first_of(kWordSeparators);
    command.program = std::string(commandLine.substr(0, blank));
    command.arguments.push_back(command.program);
    if (blank == std::string_view::npos) return command;
    std::string_view rest = commandLine.substr(blank);
    while (!rest.empty()) {
        const std::size_t start = rest.find_first_not_of(kWordSeparators);
        if (start == std::string_view::npos) break;
        rest.remove_prefix(start);
        const std::size_t end = rest.find_first_of(kWordSeparators);
        command.arguments.emplace_back(rest.substr(0, end));
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end);
    }
    return command;
}

ProgramSearch ProgramSearch::OfProcess() {
    ProgramSearch search;
    std::error_code error;
    search.currentDirectory = std::filesystem::current_path(error);
    if (const char* path = std::getenv("PATH")) {
        search.searchPath = path;
    } else {
        search.searchPath = "/bin:/usr/bin";
    }
    return search;
}

ProgramLookup FindUpgradeProgram(std::string_view program, const ProgramSearch& search) {
    ProgramLookup lookup;
    if (program.empty()) {
        lookup.status = ProgramLookup::Status::NoName;
        return lookup;
    }
    const std::filesystem::path name{std::string(program)};

    std::vector<std::filesystem::path> candidates;
    if (program.find('/') != std::string_view::npos) {
        candidates.push_back(name.is_absolute() ? name : search.currentDirectory / name);
    } else {
        candidates.push_back(search.currentDirectory / name);
        std::string_view rest = search.searchPath;
        for (;;) {
            const std::size_t colon = rest.find(':');
            const std::string_view directory = rest.substr(0, colon);
            candidates.push_back(directory.empty()
                                     ? search.currentDirectory / name
                                     : std::filesystem::path(std::string(directory)) / name);
            if (colon == std::string_view::npos) break;
            rest.remove_prefix(colon + 1);
        }
    }

    lookup.status = ProgramLookup::Status::Missing;
    for (const std::filesystem::path& candidate : candidates) {
        if (isExecutableFile(candidate)) {
            lookup.status = ProgramLookup::Status::Found;
            lookup.path = candidate;
            return lookup;
        }
        if (isFile(candidate)) lookup.status = ProgramLookup::Status::NotExecutable;
    }
    return lookup;
}

HandoverResult HandOverToUpgradeProgram(RouterSession& session, Frontend& frontend,
                                        const ProgramSearch& search) {
    HandoverResult result;
    const UpgradeCommand command = SplitUpgradeCommand(
        ComposeUpgradeCommand(session.catalogue()[CatalogueKey::DOS_COMMAND], session.PortName));

    // Looked up before the port is released, so a missing program costs nothing.
    const ProgramLookup lookup = FindUpgradeProgram(command.program, search);
    if (lookup.status != ProgramLookup::Status::Found) {
        result.errorText = lookupErrorText(lookup, command.program);
        return result;
    }

    std::vector<char*> argv;
    argv.reserve(command.arguments.size() + 1);
    for (const std::string& argument : command.arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);

    // The program opens the device itself, so this side must let go first.
    const std::string device = session.PortDevice;
    CloseRouterPort(session);
    pid_t child = -1;
    const int error =
        ::posix_spawnp(&child, lookup.path.c_str(), nullptr, nullptr, argv.data(), environ);
    if (error == 0) {
        result.started = true;
        result.processId = child;
        return result;
    }

    result.errorText = "No pudo iniciarse el programa de actualización " +
                       inQuotes(command.program) + ": " + ErrorInWords(error) + ".";
    OpenRouterPort(session, session.PortName, device, frontend);
    return result;
}

}  // namespace cofralin
