#pragma once
// Helpers for starting a real stand-in upgrade program in the tests: a scratch
// folder, and a shell script that records its arguments and whether the
// serial device was free for it to lock.

#include <stdlib.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "temp_folder.h"

namespace cofralin::testing {

// A private folder, removed at the end.
using TempDir = TempFolder;

inline void WriteFile(const std::filesystem::path& path, const std::string& text, bool executable) {
    std::ofstream(path) << text;
    ::chmod(path.c_str(), executable ? 0755 : 0644);
}

// Writes to `out` "free" or "held" (could it lock `device`?), then each
// argument on a line of its own; the file appears only when complete.
inline void WriteRecorder(const std::filesystem::path& program, const std::filesystem::path& out,
                          const std::string& device) {
    const std::string part = out.string() + ".part";
    WriteFile(program,
              "#!/bin/sh\n"
              "if flock -n '" +
                  device +
                  "' true; then port=free; else port=held; fi\n"
                  "{ echo \"$port\"; for a in \"$@\"; do printf '%s\\n' \"$a\"; done; } > '" +
                  part +
                  "'\n"
                  "mv '" +
                  part + "' '" + out.string() + "'\n",
              true);
}

// The lines of the record, waiting up to five seconds for it to appear.
inline std::vector<std::string> ReadRecord(const std::filesystem::path& out) {
    for (int i = 0; i < 500 && !std::filesystem::exists(out); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::vector<std::string> lines;
    std::ifstream in(out);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

}  // namespace cofralin::testing
