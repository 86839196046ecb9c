#pragma once
// A line that gives fixed chunks, each in one read and followed by a quiet
// time, whatever is written: the router's answers split exactly where a test wants.

#include <algorithm>
#include <deque>
#include <string>
#include <string_view>
#include <utility>

#include "serial_line.h"

namespace cofralin::testing {

class ChunkedLine final : public SerialLine {
public:
    explicit ChunkedLine(std::deque<std::string> chunks) : chunks_(std::move(chunks)) {}

    bool isOpen() const override { return true; }
    bool write(std::string_view bytes) override {
        written += bytes;
        return true;
    }
    std::size_t readSome(std::span<char> buffer, Clock::time_point) override {
        if (chunks_.empty()) return 0;
        std::string& chunk = chunks_.front();
        if (chunk.empty()) {
            chunks_.pop_front();
            return 0;
        }
        const std::size_t count = std::min(buffer.size(), chunk.size());
        std::copy_n(chunk.begin(), count, buffer.begin());
        chunk.erase(0, count);
        return count;
    }

    std::string written;

private:
    std::deque<std::string> chunks_;
};

}  // namespace cofralin::testing
