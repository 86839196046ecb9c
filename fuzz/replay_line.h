#pragma once
// A serial line for the fuzz targets that answers from a byte string instead
// of a device: each read takes the bytes up to the next kQuietMark, and that
// byte (or the end of the string) reads as a line that has fallen quiet. It
// never waits.
//
// A router that has fallen silent for good is ended by the procedures' wait
// limits, which are measured in real time and so would make runs slow and
// their paths depend on the machine's speed. Instead, once the string is spent
// and the procedure has read kQuietReadsAfterEnd more quiet lines, a read
// throws ReplayEnded and the target drops the run: what a procedure does when
// its wait limit runs out is checked against the simulator in tests/faults.
// Writes are counted, and those since the last read are kept, so a target can
// tell what was sent after the router last spoke.

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

#include "serial_line.h"

namespace cofralin::fuzzing {

// Thrown by a read to end a run whose router has nothing more to say.
struct ReplayEnded {};

class ReplayLine final : public SerialLine {
public:
    static constexpr unsigned char kQuietMark = 0xFF;
    // More than the connection's 60 silent passes, so that its own limit is met.
    static constexpr std::size_t kQuietReadsAfterEnd = 256;

    explicit ReplayLine(std::string_view replies) : replies_(replies) {}

    bool isOpen() const override { return true; }

    bool write(std::string_view bytes) override {
        ++writes_;
        sinceRead_.append(bytes);
        return true;
    }

    std::size_t readSome(std::span<char> buffer, Clock::time_point) override {
        sinceRead_.clear();
        ++reads_;
        if (next_ >= replies_.size()) {
            if (++quietAfterEnd_ > kQuietReadsAfterEnd) throw ReplayEnded{};
            return 0;
        }
        std::size_t count = 0;
        while (count < buffer.size() && next_ < replies_.size()) {
            const char byte = replies_[next_];
            if (static_cast<unsigned char>(byte) == kQuietMark) break;
            buffer[count++] = byte;
            ++next_;
        }
        // The mark is the quiet read itself.
        if (count == 0) ++next_;
        return count;
    }

    std::size_t writes() const { return writes_; }
    std::size_t reads() const { return reads_; }
    // Everything written after the last read.
    const std::string& writtenSinceRead() const { return sinceRead_; }

private:
    std::string_view replies_;
    std::size_t next_ = 0;
    std::size_t writes_ = 0;
    std::size_t reads_ = 0;
    std::size_t quietAfterEnd_ = 0;
    std::string sinceRead_;
};

}  // namespace cofralin::fuzzing
