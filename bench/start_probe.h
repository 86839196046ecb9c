#pragma once
// The program's start: from nothing to the main window painted, offscreen.
//
// How it works: the bench starts itself again as a probe, so that the probe's
// peak resident memory is that of the start alone. The probe builds the
// application and the main window as the program does (from the folder that
// holds CONFIG.TXT), initialises and shows it, runs the event loop until the
// window's first paint has been handled, and prints its clock readings and
// its peak memory on one line.

#include <string>

namespace cofralin::bench {

struct StartSample {
    double spawnToPaintMs = 0;  // from the spawn of the process
    double appToPaintMs = 0;    // from the construction of the application object
    long peakKiB = 0;           // ru_maxrss of the probe
};

struct StartReport {
    bool available = false;  // false in a build without the window code
    int runs = 0;
    StartSample median;   // each figure the median of the runs
    long maxPeakKiB = 0;  // the largest peak of the runs
    std::string failure;
};

// Starts `self` as a probe `runs` times.
StartReport MeasureStart(const std::string& self, int runs);

// The probe's own work; the result is its exit status.
int RunStartProbe(int argc, char** argv);

// The argument that makes the bench a probe.
inline constexpr const char* kStartProbeArgument = "--start-probe";

}  // namespace cofralin::bench
