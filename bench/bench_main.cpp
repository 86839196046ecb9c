// cofralin_bench: times the router operations against the simulator paced at
// 9600 bit/s and the program's start, and prints the figures as Markdown.
//
//   cofralin_bench [--runs N] [--start-runs N] [--no-start] [--no-operations]
//                  [--routers N] [--no-cli]
//
// Each operation's row is its run with the median wall time, with the median
// CPU time of all its runs (default 5 runs); each start figure is the median of
// 5 starts, the peak memory the largest. The exit status is 1 when an
// operation did not end as it should; missed targets are listed, not treated
// as failures. The command line's row drives one and then N routers (default
// 8) at once through one cofralin-cli, each set the median of the runs.

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli_fleet.h"
#include "measurement.h"
#include "operation_runs.h"
#include "start_probe.h"

namespace {

using namespace cofralin::bench;

// The targets the figures are held to.
constexpr double kMaxRatio = 1.03;
constexpr double kMaxCpuShare = 0.003;
constexpr double kMaxStartMs = 300.0;
constexpr double kMaxEventGapMs = 50.0;
constexpr double kMaxPeakMiB = 60.0;
// Many routers at once against one.
constexpr double kMaxFleetRatio = 1.15;

struct Options {
    int runs = 5;
    int startRuns = 5;
    bool start = true;
    bool operations = true;
    bool cli = true;
    int routers = 8;
    bool valid = true;
};

Options parse(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        const bool hasValue = i + 1 < argc;
        if (argument == "--runs" && hasValue) {
            options.runs = std::atoi(argv[++i]);
        } else if (argument == "--start-runs" && hasValue) {
            options.startRuns = std::atoi(argv[++i]);
        } else if (argument == "--no-start") {
            options.start = false;
        } else if (argument == "--no-operations") {
            options.operations = false;
        } else if (argument == "--no-cli") {
            options.cli = false;
        } else if (argument == "--routers" && hasValue) {
            options.routers = std::atoi(argv[++i]);
        } else {
            options.valid = false;
        }
    }
    if (options.runs < 1 || options.startRuns < 1 || options.routers < 1) options.valid = false;
    return options;
}

std::string fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::string_view(argv[1]) == kStartProbeArgument) {
        return RunStartProbe(argc, argv);
    }
    const Options options = parse(argc, argv);
    if (!options.valid) {
        std::fprintf(stderr,
                     "usage: cofralin_bench [--runs N] [--start-runs N] [--no-start] "
                     "[--no-operations] [--routers N] [--no-cli]\n");
        return 2;
    }

    // Thread CPU per wake-up grows with the other programs' load on the cores,
    // so the figures carry the load they were taken under.
    double loadBefore[1] = {0};
    ::getloadavg(loadBefore, 1);

    std::vector<std::string> missed;
    int status = 0;
    // The procedures' own CPU for what "estado" runs, to set the command line's beside.
    std::optional<double> windowStateCpuMs;
    if (options.operations) {
        const OperationReport report = RunOperations(options.runs);
        double stateCpu = 0;
        int stateRows = 0;
        for (const Row& row : report.rows) {
            if (row.operation == "Connection" || row.operation == "RouterState") {
                stateCpu += row.sample.cpuMs();
                ++stateRows;
            }
        }
        if (stateRows == 2) windowStateCpuMs = stateCpu;
        std::printf(
            "Router operations, simulator paced at 9600 bit/s over a pseudo-terminal "
            "(%d runs each: the run with the median wall time, CPU the median of the runs, "
            "CPU of the calling thread, user + system; "
            "floor = drains × 110 ms + bytes in ÷ 960 bytes/s):\n\n%s\n",
            options.runs, FormatTable(report.rows).c_str());
        std::string gaps;
        for (const Row& row : report.rows) {
            if (!row.sample.longestEventGap) continue;
            const double gapMs =
                std::chrono::duration<double, std::milli>(*row.sample.longestEventGap).count();
            gaps += "| " + row.operation + " | " + fixed(gapMs, 1) + " ms |\n";
            if (gapMs > kMaxEventGapMs) {
                missed.push_back(row.operation + ": longest event-loop gap " + fixed(gapMs, 1) +
                                 " ms > " + fixed(kMaxEventGapMs, 0) + " ms");
            }
        }
        if (!gaps.empty()) {
            std::printf(
                "Repaint while waiting (the longest time between two turns of the event loop "
                "during the run, the longest of the runs):\n\n| Operation | Longest event-loop "
                "gap |\n|---|---:|\n%s\n",
                gaps.c_str());
        }
        for (const Row& row : report.rows) {
            if (row.sample.ratio() > kMaxRatio) {
                missed.push_back(row.operation + ": wall ÷ floor " + fixed(row.sample.ratio(), 3) +
                                 " > " + fixed(kMaxRatio, 2));
            }
            if (row.sample.cpuShare() > kMaxCpuShare) {
                missed.push_back(row.operation + ": CPU " + fixed(100 * row.sample.cpuShare(), 2) +
                                 " % of wall > " + fixed(100 * kMaxCpuShare, 1) + " %");
            }
        }
        for (const std::string& failure : report.failures) {
            std::fprintf(stderr, "failed: %s\n", failure.c_str());
            status = 1;
        }
    }

    if (options.cli) {
        const FleetReport fleet = MeasureFleet(COFRALIN_CLI_PATH, options.routers, options.runs);
        if (!fleet.failure.empty()) {
            std::fprintf(stderr, "failed: %s\n", fleet.failure.c_str());
            status = 1;
        } else {
            const FleetSample& one = fleet.rows.front();
            std::printf(
                "Routers at once through one \"cofralin-cli estado --todos --json\", simulators "
                "paced at 9600 bit/s (%d runs each: the run with the median wall time, CPU the "
                "median, of the whole process, user + system):\n\n"
                "| Routers | Wall (ms) | Wall ÷ one router | CPU (ms) | CPU per router (ms) |\n"
                "|---:|---:|---:|---:|---:|\n",
                options.runs);
            for (const FleetSample& row : fleet.rows) {
                std::printf("| %d | %.1f | %.3f | %.1f | %.1f |\n", row.routers, row.wallMs,
                            row.wallMs / one.wallMs, row.cpuMs, row.cpuMs / row.routers);
            }
            if (windowStateCpuMs) {
                std::printf(
                    "\nThe same procedures in-process (Connection + RouterState rows, the "
                    "procedure's thread only): %.1f ms CPU a router.\n",
                    *windowStateCpuMs);
            }
            std::printf("\n");
            const FleetSample& many = fleet.rows.back();
            if (many.wallMs / one.wallMs > kMaxFleetRatio) {
                missed.push_back(std::to_string(many.routers) + " routers at once: wall " +
                                 fixed(many.wallMs / one.wallMs, 3) + " × one router > " +
                                 fixed(kMaxFleetRatio, 2));
            }
        }
    }

    if (options.start) {
        const StartReport start = MeasureStart("/proc/self/exe", options.startRuns);
        if (!start.available) {
            std::printf("Start: not measured (built without the window code).\n\n");
        } else if (!start.failure.empty()) {
            std::fprintf(stderr, "failed: start: %s\n", start.failure.c_str());
            status = 1;
        } else {
            const double peakMiB = static_cast<double>(start.maxPeakKiB) / 1024.0;
            std::printf(
                "Start, offscreen (median of %d starts; peak memory the largest):\n\n"
                "| Start | Figure |\n|---|---:|\n"
                "| Process spawn to first paint of the main window | %.1f ms |\n"
                "| Application object to first paint of the main window | %.1f ms |\n"
                "| Peak resident memory of the start (ru_maxrss) | %.1f MiB |\n\n",
                start.runs, start.median.spawnToPaintMs, start.median.appToPaintMs, peakMiB);
            if (start.median.spawnToPaintMs > kMaxStartMs) {
                missed.push_back("start to window " + fixed(start.median.spawnToPaintMs, 1) +
                                 " ms > " + fixed(kMaxStartMs, 0) + " ms");
            }
            if (peakMiB > kMaxPeakMiB) {
                missed.push_back("peak memory " + fixed(peakMiB, 1) + " MiB > " +
                                 fixed(kMaxPeakMiB, 0) + " MiB");
            }
        }
    }

    double loadAfter[1] = {0};
    ::getloadavg(loadAfter, 1);
    std::printf("Load average (1 min) of the machine: %.2f before, %.2f after, on %ld cores.\n\n",
                loadBefore[0], loadAfter[0], ::sysconf(_SC_NPROCESSORS_ONLN));

    if (missed.empty()) {
        std::printf("All targets met.\n");
    } else {
        std::printf("Targets missed:\n\n");
        for (const std::string& line : missed) std::printf("- %s\n", line.c_str());
    }
    return status;
}
