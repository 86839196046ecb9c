#pragma once
// A line that gives fixed chunks byte by byte, each followed by a quiet time,
// whatever is written: the router's answers split exactly where a test wants.

#include <deque>
#include <optional>
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
    std::optional<char> readByte() override {
        if (chunks_.empty()) return std::nullopt;
        if (chunks_.front().empty()) {
            chunks_.pop_front();
            return std::nullopt;
        }
        const char byte = chunks_.front().front();
        chunks_.front().erase(0, 1);
        return byte;
    }

    std::string written;

private:
    std::deque<std::string> chunks_;
};

}  // namespace cofralin::testing
