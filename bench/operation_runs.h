#pragma once
// The router operations timed against the simulator, paced at 9600 bit/s over
// a pseudo-terminal, each on a fresh router and driven as the tests drive
// them: the real procedures with a scripted view.

#include <string>
#include <vector>

#include "measurement.h"

namespace cofralin::bench {

struct OperationReport {
    std::vector<Row> rows;  // the typical run of each row (see Typical)
    std::vector<std::string> failures;
};

// Runs every operation `runs` times.
OperationReport RunOperations(int runs);

}  // namespace cofralin::bench
