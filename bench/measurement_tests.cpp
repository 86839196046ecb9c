// The figures the benchmarks report: the counting line over a real
// pseudo-terminal as the exchange uses it, and what is derived from the counts.

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "counting_serial_line.h"
#include "exchange.h"
#include "measurement.h"
#include "pty_pair.h"
#include "scripted_frontend.h"

namespace cofralin::bench {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using testing::PtyPair;
using testing::ScriptedFrontend;

class CountedExchange : public ::testing::Test {
protected:
    void SetUp() override {
        auto device = std::make_unique<TermiosSerialLine>();
        ASSERT_TRUE(device->open(pty_.path()).opened);
        auto counted = std::make_unique<CountingSerialLine>(std::move(device));
        line_ = counted.get();
        state_.RouterPort = std::move(counted);
    }

    PtyPair pty_;
    Settings settings_;
    RouterSession state_{settings_};
    ScriptedFrontend view_;
    CountingSerialLine* line_ = nullptr;
};

TEST_F(CountedExchange, EachDrainIsOneQuietReadAndEveryByteReadCounts) {
    Exchange exchange(state_, view_, {});
    // A zero byte never reaches the reply, but it did cross the line.
    pty_.send(std::string("\r\nZarn", 6) + std::string(1, '\0') + "-DSL>");
    EXPECT_EQ(exchange.DrainReply(), 11u);
    EXPECT_EQ(state_.ReplyBuffer, kCliPrompt);
    EXPECT_EQ(line_->counts().bytesRead, 12u);
    EXPECT_EQ(line_->counts().quietReads, 1u);

    EXPECT_EQ(exchange.DrainReply(), 0u);  // a silent router: one more quiet read, no byte
    EXPECT_EQ(line_->counts().bytesRead, 12u);
    EXPECT_EQ(line_->counts().quietReads, 2u);
    EXPECT_EQ(line_->counts().bytesWritten, 0u);
}

TEST_F(CountedExchange, WritesAreCountedAndReachTheRouterUnchanged) {
    Exchange exchange(state_, view_, {});
    exchange.SendLine("show system \r\n");
    exchange.SendLine(kNudge);
    EXPECT_EQ(line_->counts().bytesWritten, 15u);
    EXPECT_EQ(pty_.received(), "show system \r\n\r");
    EXPECT_EQ(line_->counts().bytesRead, 0u);
}

TEST_F(CountedExchange, AStopwatchSeesOnlyWhatHappenedSinceItStarted) {
    Exchange exchange(state_, view_, {});
    pty_.send("before");
    exchange.DrainReply();
    const Stopwatch watch(*line_);
    pty_.send("after!!");
    exchange.SendLine("x\r\n");
    exchange.DrainReply();
    const Sample sample = watch.sample();
    EXPECT_EQ(sample.line.bytesRead, 7u);
    EXPECT_EQ(sample.line.bytesWritten, 3u);
    EXPECT_EQ(sample.line.quietReads, 1u);
    // One drain lasts at least the quiet time, spent in the line; waiting
    // costs the thread little CPU.
    EXPECT_GE(sample.wall, 110ms);
    EXPECT_GE(sample.line.inQuietReads, 110ms);
    EXPECT_GE(sample.line.inLine, sample.line.inQuietReads);
    EXPECT_LE(sample.line.inLine, sample.wall);
    EXPECT_GE(sample.quietReadMs(), 110.0);
    EXPECT_GE(sample.outsideLineMs(), 0.0);
    EXPECT_LT(sample.cpu, sample.wall);
}

TEST_F(CountedExchange, AStreamingReplyIsTakenABurstAReadAndTheDrainEndsAQuietTimeAfterIt) {
    Exchange exchange(state_, view_, {});
    // About a byte a millisecond, as a router at 9600 bit/s sends.
    std::string reply;
    for (int i = 0; i < 300; ++i) reply.push_back(static_cast<char>('a' + i % 26));
    Clock::time_point lastSent;
    std::thread router([&] {
        for (const char byte : reply) {
            lastSent = Clock::now();
            pty_.send(std::string(1, byte));
            std::this_thread::sleep_for(1ms);
        }
    });
    exchange.DrainReply();
    const auto ended = Clock::now();
    router.join();
    EXPECT_EQ(state_.ReplyBuffer, reply);
    // One read a byte would be 300 wake-ups.
    EXPECT_LE(line_->counts().readsWithBytes, 60u);
    EXPECT_GE(ended - lastSent, kQuietTime);
    EXPECT_LT(ended - lastSent, kQuietTime + kGatherTime + 30ms);
}

Sample sampleOf(std::chrono::milliseconds wall, std::uint64_t drains, std::uint64_t bytesIn) {
    Sample sample;
    sample.wall = wall;
    sample.line.quietReads = drains;
    sample.line.bytesRead = bytesIn;
    return sample;
}

TEST(Floor, IsTheQuietTimesPlusTheBytesAt960ASecond) {
    const Sample sample = sampleOf(2163ms, 10, 960);
    EXPECT_DOUBLE_EQ(sample.floorMs(), 10 * 110.0 + 1000.0);
    EXPECT_NEAR(sample.ratio(), 2163.0 / 2100.0, 1e-9);
    EXPECT_DOUBLE_EQ(sampleOf(50ms, 0, 0).ratio(), 0.0);

    Sample busy = sampleOf(200ms, 1, 0);
    busy.cpu = 3ms;
    EXPECT_DOUBLE_EQ(busy.cpuShare(), 0.015);
}

TEST(Floor, TheTypicalRunIsTheMiddleWallTimeWithItsCountsAndTheMedianCpu) {
    std::vector<Sample> runs{sampleOf(900ms, 1, 1), sampleOf(300ms, 2, 2), sampleOf(500ms, 3, 3)};
    runs[0].cpu = 4ms;
    runs[1].cpu = 40ms;  // a run slowed by another program's load
    runs[2].cpu = 3ms;
    const Sample chosen = Typical(runs);
    EXPECT_EQ(chosen.wall, 500ms);
    EXPECT_EQ(chosen.line.quietReads, 3u);
    EXPECT_EQ(chosen.cpu, 4ms);
    EXPECT_EQ(Typical({sampleOf(700ms, 5, 5)}).wall, 700ms);
}

TEST(Floor, TheTableHasAHeaderAndOneLineARow) {
    Sample sample = sampleOf(2163ms, 10, 960);
    sample.line.bytesWritten = 42;
    sample.line.readsWithBytes = 97;
    sample.line.inQuietReads = 1110ms;
    sample.line.inLine = 2100ms;
    sample.cpu = 4ms;
    const std::string table = FormatTable({{"Refresh", sample}});
    EXPECT_EQ(
        table.substr(0, table.find('\n')),
        "| Operation | Wall (ms) | Drains | Bytes out | Bytes in | Reads | CPU (ms) "
        "| CPU % of wall | Floor (ms) | Wall ÷ floor | Quiet read (ms) | Outside the line (ms) |");
    EXPECT_NE(
        table.find("\n| Refresh | 2163.0 | 10 | 42 | 960 | 97 | 4.0 | 0.18 | 2100.0 | 1.030 | "
                   "111.00 | 63.0 |\n"),
        std::string::npos)
        << table;
}

}  // namespace
}  // namespace cofralin::bench
