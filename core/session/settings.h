#pragma once
// What the process reads once and every router session only reads: the
// command catalogue, the built-in password, the bounds of the waits and where
// run logs and copies go. One object is made at start and shared, read-only, by all
// sessions and threads; tests build their own, with shorter bounds.

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

#include "command_catalogue.h"

namespace cofralin {

inline constexpr std::string_view kBuiltInPassword = "pelnotra";

// How long a wait for the bare prompt may go on without seeing it, and how
// much one drain may gather, before the router is taken as not answering.
inline constexpr std::chrono::seconds kPromptWaitLimit{30};
inline constexpr std::size_t kDrainLimit = 1024 * 1024;

struct Settings {
    CommandCatalogue catalogue;
    std::string DefaultPassword{kBuiltInPassword};

    std::chrono::milliseconds PromptWaitLimit = kPromptWaitLimit;
    std::size_t DrainLimit = kDrainLimit;

    // Whether the sessions keep a run log, and the folder it goes to.
    int LoggingEnabled = 0;
    std::filesystem::path RunLogFolder = ".";
    // Where a copy of the router is kept before each change; empty: none is.
    std::filesystem::path CopyFolder;
};

}  // namespace cofralin
