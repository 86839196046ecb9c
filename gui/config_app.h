#pragma once
// The application: reads the command line, runs the main window modally and
// ends the program when it closes.

#include <QApplication>
#include <filesystem>
#include <span>

#include "settings.h"

namespace cofralin {

// Whether the arguments after the program's name ask for the run log: any
// lower-case "d" anywhere in them ("-d", but also "debug"; "-D" does not).
bool ArgumentsAskForRunLog(std::span<const char* const> arguments);

// Where the run log goes: "Router.log" in `startFolder` when the user may write
// there, otherwise in `dataFolder` (the user's data folder, created when
// missing). A program started from the desktop menu starts in the installed
// folder, which only root may write.
std::filesystem::path RunLogPathFor(const std::filesystem::path& startFolder,
                                    const std::filesystem::path& dataFolder);

class CConfigApp {
public:
    CConfigApp(int& argc, char** argv);
    CConfigApp(const CConfigApp&) = delete;
    CConfigApp& operator=(const CConfigApp&) = delete;

    // The main window's run; the result is the program's exit status.
    int run();

    Settings& settings() { return settings_; }

private:
    Settings settings_;
    // Read before QApplication takes its own options out of argv.
    int loggingEnabled_;
    QApplication qt_;
};

}  // namespace cofralin
