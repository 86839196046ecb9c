#pragma once
// A serial line that counts what passes through another one, so that the
// benchmarks see the traffic of the real procedures without touching them.
//
//   write      counts the bytes handed to the inner line, then writes them
//   readSome   counts the bytes of a read and the reads that took bytes (the
//              program's wake-ups while the router talks), or one quiet read
//              when nothing came: the exchange ends a drain on the first read
//              that returns nothing, so the quiet reads are the drains
//
// It also adds up the time spent inside the inner line, and inside the quiet
// reads alone: what is left of an operation's wall time is the program's own
// work, and a quiet read that lasts much beyond the quiet time is a drain
// that ends late.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string_view>
#include <utility>

#include "serial_line.h"

namespace cofralin::bench {

struct LineCounts {
    std::uint64_t bytesWritten = 0;
    std::uint64_t bytesRead = 0;
    std::uint64_t quietReads = 0;
    std::uint64_t readsWithBytes = 0;
    std::chrono::nanoseconds inLine{};        // inside write and readSome
    std::chrono::nanoseconds inQuietReads{};  // inside the reads that returned nothing

    friend LineCounts operator-(const LineCounts& after, const LineCounts& before) {
        return {after.bytesWritten - before.bytesWritten,
                after.bytesRead - before.bytesRead,
                after.quietReads - before.quietReads,
                after.readsWithBytes - before.readsWithBytes,
                after.inLine - before.inLine,
                after.inQuietReads - before.inQuietReads};
    }
};

class CountingSerialLine final : public SerialLine {
public:
    explicit CountingSerialLine(std::unique_ptr<SerialLine> inner) : inner_(std::move(inner)) {}

    bool isOpen() const override { return inner_ && inner_->isOpen(); }

    bool write(std::string_view bytes) override {
        counts_.bytesWritten += bytes.size();
        const auto start = Clock::now();
        const bool written = inner_->write(bytes);
        counts_.inLine += Clock::now() - start;
        return written;
    }

    std::size_t readSome(std::span<char> buffer, Clock::time_point quietEnd) override {
        const auto start = Clock::now();
        const std::size_t count = inner_->readSome(buffer, quietEnd);
        const auto spent = Clock::now() - start;
        counts_.inLine += spent;
        if (count > 0) {
            counts_.bytesRead += count;
            ++counts_.readsWithBytes;
        } else {
            ++counts_.quietReads;
            counts_.inQuietReads += spent;
        }
        return count;
    }

    bool lost() const override { return inner_->lost(); }

    // The waiting is done by the inner line.
    void setIdle(std::function<void()> idle) override { inner_->setIdle(std::move(idle)); }

    const LineCounts& counts() const { return counts_; }

private:
    std::unique_ptr<SerialLine> inner_;
    LineCounts counts_;
};

}  // namespace cofralin::bench
