#include "measurement.h"

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>

namespace cofralin::bench {

namespace {

using Clock = std::chrono::steady_clock;

std::chrono::nanoseconds fromTimeval(const timeval& time) {
    return std::chrono::seconds(time.tv_sec) + std::chrono::microseconds(time.tv_usec);
}

double toMs(std::chrono::nanoseconds time) {
    return std::chrono::duration<double, std::milli>(time).count();
}

}  // namespace

std::chrono::nanoseconds ThreadCpuTime() {
    rusage usage{};
    ::getrusage(RUSAGE_THREAD, &usage);
    return fromTimeval(usage.ru_utime) + fromTimeval(usage.ru_stime);
}

double Sample::floorMs() const {
    return static_cast<double>(line.quietReads) * toMs(kQuietTime) +
           static_cast<double>(line.bytesRead) * 1000.0 / kLineBytesPerSecond;
}

double Sample::wallMs() const { return toMs(wall); }

double Sample::cpuMs() const { return toMs(cpu); }

double Sample::ratio() const {
    const double floor = floorMs();
    return floor > 0.0 ? wallMs() / floor : 0.0;
}

double Sample::cpuShare() const {
    const double w = wallMs();
    return w > 0.0 ? cpuMs() / w : 0.0;
}

double Sample::quietReadMs() const {
    return line.quietReads > 0 ? toMs(line.inQuietReads) / static_cast<double>(line.quietReads)
                               : 0.0;
}

double Sample::outsideLineMs() const { return toMs(wall - line.inLine); }

Stopwatch::Stopwatch(const CountingSerialLine& line)
    : line_(line),
      startCounts_(line.counts()),
      startCpu_(ThreadCpuTime()),
      startWall_(Clock::now()) {}

Sample Stopwatch::sample() const {
    Sample s;
    s.wall = Clock::now() - startWall_;
    s.cpu = ThreadCpuTime() - startCpu_;
    s.line = line_.counts() - startCounts_;
    return s;
}

Sample Typical(std::vector<Sample> samples) {
    const std::size_t middle = samples.size() / 2;
    std::nth_element(samples.begin(), samples.begin() + middle, samples.end(),
                     [](const Sample& a, const Sample& b) { return a.cpu < b.cpu; });
    const std::chrono::nanoseconds cpu = samples[middle].cpu;
    std::nth_element(samples.begin(), samples.begin() + middle, samples.end(),
                     [](const Sample& a, const Sample& b) { return a.wall < b.wall; });
    Sample typical = samples[middle];
    typical.cpu = cpu;
    for (const Sample& sample : samples) {
        if (sample.longestEventGap &&
            (!typical.longestEventGap || *sample.longestEventGap > *typical.longestEventGap)) {
            typical.longestEventGap = sample.longestEventGap;
        }
    }
    return typical;
}

std::string FormatTable(const std::vector<Row>& rows) {
    std::string table =
        "| Operation | Wall (ms) | Drains | Bytes out | Bytes in | Reads | CPU (ms) "
        "| CPU % of wall | Floor (ms) | Wall ÷ floor | Quiet read (ms) | Outside the line (ms) |\n"
        "|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n";
    for (const Row& row : rows) {
        const Sample& s = row.sample;
        char line[256];
        std::snprintf(
            line, sizeof line,
            "| %.1f | %llu | %llu | %llu | %llu | %.1f | %.2f | %.1f | %.3f | %.2f | %.1f |\n",
            s.wallMs(), static_cast<unsigned long long>(s.line.quietReads),
            static_cast<unsigned long long>(s.line.bytesWritten),
            static_cast<unsigned long long>(s.line.bytesRead),
            static_cast<unsigned long long>(s.line.readsWithBytes), s.cpuMs(), 100.0 * s.cpuShare(),
            s.floorMs(), s.ratio(), s.quietReadMs(), s.outsideLineMs());
        table += "| " + row.operation + " " + line;
    }
    return table;
}

}  // namespace cofralin::bench
