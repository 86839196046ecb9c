#pragma once
// Handing the serial line over to the external upgrade program.
//
// How it works: the catalogue's DOS_COMMAND is the upgrade program's command
// line, its words separated by blanks or tabs. For the first two ports each
// argument that is the word "COM" alone becomes the port option ("-p1",
// "-p2"); "COM" inside a path or another word is left alone, and so is the
// program's name. For the third and fourth ports the line reaches the
// program unchanged. The text before the first blank or tab names the
// program, the rest is split at blanks and tabs into its arguments. The program is looked up like a
// command (a name without a slash in the current directory first, then along PATH), the port is
// released so that the program can open it, and the program is started without waiting. If it
// cannot be started the port is opened again, so the front end can go on; only a started program
// lets the caller end.
//
//   ComposeUpgradeCommand      the command line for the port in use
//   SplitUpgradeCommand        program name and argument vector
//   FindUpgradeProgram         where the program lies, or why it cannot run
//   HandOverToUpgradeProgram   closes the port and starts the program

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "frontend.h"
#include "router_session.h"

namespace cofralin {

// DOS_COMMAND with the port option of `portName` in place of each argument
// that is "COM" alone; blanks and tabs are kept as they were.
std::string ComposeUpgradeCommand(std::string_view dosCommand, std::string_view portName);

struct UpgradeCommand {
    std::string program;                 // the text before the first blank or tab
    std::vector<std::string> arguments;  // the program name, then each word after it
};

// A line without a blank or tab names a program with no arguments; runs of
// blanks and tabs separate words without giving empty ones.
UpgradeCommand SplitUpgradeCommand(std::string_view commandLine);

// Where a command is looked for.
struct ProgramSearch {
    std::filesystem::path currentDirectory;
    std::string searchPath;  // directories separated by ':'; an empty one is the current one

    // The process's own current directory and PATH.
    static ProgramSearch OfProcess();
};

struct ProgramLookup {
    enum class Status { Found, Missing, NotExecutable, NoName };
    Status status = Status::Missing;
    std::filesystem::path path;  // set when found
};

// A name with a slash is taken as it stands (relative to the current
// directory); a name without one is tried in the current directory first,
// then in each directory of the search path.
ProgramLookup FindUpgradeProgram(std::string_view program, const ProgramSearch& search);

struct HandoverResult {
    bool started = false;
    pid_t processId = -1;   // the started program
    std::string errorText;  // for the user, when it was not started
};

// Starts the upgrade program of the catalogue for the session's port. The
// port is released before the start; when the start fails the same device is
// opened again (through OpenRouterPort, which tells the user if that fails
// too). The catalogue is left unchanged, so a later attempt composes the
// line afresh.
HandoverResult HandOverToUpgradeProgram(RouterSession& session, Frontend& frontend,
                                        const ProgramSearch& search);

}  // namespace cofralin
