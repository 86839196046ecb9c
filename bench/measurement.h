#pragma once
// What one benchmarked operation cost, and the least it could cost on the line.
//
// The floor of an operation is what the protocol itself imposes: every drain
// ends only after the quiet time, and every byte the router sends takes ten bit
// times at 9600 bit/s. Time the router spends before it answers is not in it.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "counting_serial_line.h"

namespace cofralin::bench {

// 9600 bit/s with a start and a stop bit around each byte.
inline constexpr double kLineBytesPerSecond = 960.0;

// CPU time of the calling thread, user and system.
std::chrono::nanoseconds ThreadCpuTime();

struct Sample {
    std::chrono::nanoseconds wall{};
    std::chrono::nanoseconds cpu{};  // the calling thread only
    LineCounts line;
    // Runs through a window: the longest time between two turns of the event
    // loop, that is, the longest the window could not repaint.
    std::optional<std::chrono::nanoseconds> longestEventGap;

    double floorMs() const;
    double wallMs() const;
    double cpuMs() const;
    // Wall time over the floor; 0 when the floor is 0.
    double ratio() const;
    double cpuShare() const;  // of wall, 0..1
    // The mean length of the read that ended each drain; the quiet time is its least.
    double quietReadMs() const;
    // Wall time spent outside the line: the program's own work between transfers.
    double outsideLineMs() const;
};

// Marks the start of an operation; sample() gives what passed since.
class Stopwatch {
public:
    explicit Stopwatch(const CountingSerialLine& line);
    Sample sample() const;

private:
    const CountingSerialLine& line_;
    LineCounts startCounts_;
    std::chrono::nanoseconds startCpu_;
    std::chrono::steady_clock::time_point startWall_;
};

struct Row {
    std::string operation;
    Sample sample;
};

// The sample with the median wall time, its CPU time replaced by the median
// CPU time of all: on a shared machine the CPU figure of one run jumps with
// the load of the others; its event gap is the longest of all. The samples
// must not be empty.
Sample Typical(std::vector<Sample> samples);

// A Markdown table of the rows, one line each, with a header.
std::string FormatTable(const std::vector<Row>& rows);

}  // namespace cofralin::bench
