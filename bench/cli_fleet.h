#pragma once
// A bench of routers through one cofralin-cli: the program started as a shell
// starts it, "estado --todos --json", against simulated routers paced at
// 9600 bit/s, once with one router and once with several at once.
//
// How it works: the simulators run in this process, each on its own
// pseudo-terminal, named COM1: on by COFRALIN_COMn, with the machine's own
// ports kept out (COFRALIN_TTY_CLASS). The wall time runs from the spawn to
// the exit; the CPU time is the child's, user and system, of all its threads,
// as wait4 reports it. Each run must report "ok" for every router.

#include <string>
#include <vector>

namespace cofralin::bench {

struct FleetSample {
    int routers = 0;
    double wallMs = 0;
    double cpuMs = 0;  // the whole process
};

struct FleetReport {
    std::vector<FleetSample> rows;  // each the median wall of its runs, the median CPU
    std::string failure;
};

// `cli` with 1 and with `routers` routers, `runs` times each.
FleetReport MeasureFleet(const std::string& cli, int routers, int runs);

}  // namespace cofralin::bench
