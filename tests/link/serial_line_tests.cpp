#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "fake_serial_tree.h"
#include "pty_pair.h"
#include "serial_line.h"

namespace cofralin {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using testing::PtyPair;

// One read with the quiet time counted from now.
std::size_t readOnce(SerialLine& line, std::string& into) {
    char buffer[512];
    const std::size_t count = line.readSome(buffer, Clock::now() + kQuietTime);
    into.append(buffer, count);
    return count;
}

// Reads until a read comes back empty.
std::string readAll(SerialLine& line) {
    std::string read;
    while (readOnce(line, read) > 0) {
    }
    return read;
}

TEST(SerialLine, OpeningSetsRawNineThousandSixHundredEightNoneOneAndKeepsTheRest) {
    PtyPair pty;
    termios found{};
    ASSERT_EQ(::tcgetattr(pty.slave(), &found), 0);
    found.c_cflag |= CRTSCTS | HUPCL | PARENB | CSTOPB;
    found.c_iflag |= IXON | IXOFF | ICRNL;
    cfsetospeed(&found, B115200);
    cfsetispeed(&found, B115200);
    ASSERT_EQ(::tcsetattr(pty.slave(), TCSANOW, &found), 0);

    TermiosSerialLine line;
    const auto result = line.open(pty.path());
    ASSERT_TRUE(result.opened);
    EXPECT_FALSE(result.settingsError.has_value());

    termios applied{};
    ASSERT_EQ(::tcgetattr(pty.slave(), &applied), 0);
    EXPECT_EQ(cfgetospeed(&applied), static_cast<speed_t>(B9600));
    EXPECT_EQ(applied.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(applied.c_cflag & (PARENB | CSTOPB), 0u);
    EXPECT_EQ(applied.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(applied.c_iflag & ICRNL, 0u);
    EXPECT_EQ(applied.c_oflag & OPOST, 0u);
    // Flow control and the hang-up on close stay as they were found.
    EXPECT_NE(applied.c_cflag & CRTSCTS, 0u);
    EXPECT_NE(applied.c_cflag & HUPCL, 0u);
    EXPECT_EQ(applied.c_iflag & (IXON | IXOFF), static_cast<tcflag_t>(IXON | IXOFF));

    // Closing puts back what was found.
    line.close();
    termios restored{};
    ASSERT_EQ(::tcgetattr(pty.slave(), &restored), 0);
    EXPECT_EQ(cfgetospeed(&restored), static_cast<speed_t>(B115200));
    // (A pty forces 8 data bits and no parity itself, so those cannot be seen here.)
    EXPECT_NE(restored.c_cflag & CSTOPB, 0u);
    EXPECT_NE(restored.c_iflag & ICRNL, 0u);
}

TEST(SerialLine, APortHeldByAnotherProgramCanBeNeitherOfferedNorOpened) {
    PtyPair pty;
    const testing::FakeSerialTree tree;
    const std::filesystem::path locks = tree.paths().lockDirectory;
    EXPECT_FALSE(TryOpenExclusive(pty.path(), locks).refusal.has_value());

    TermiosSerialLine first(locks);
    ASSERT_TRUE(first.open(pty.path()).opened);
    TermiosSerialLine second(locks);
    const auto refused = second.open(pty.path());
    EXPECT_FALSE(refused.opened);
    ASSERT_TRUE(refused.refusal.has_value());
    EXPECT_EQ(refused.refusal->reason, PortRefusal::Reason::Held);
    EXPECT_FALSE(second.isOpen());
    const auto probed = TryOpenExclusive(pty.path(), locks).refusal;
    ASSERT_TRUE(probed.has_value());
    EXPECT_EQ(probed->reason, PortRefusal::Reason::Held);

    first.close();
    EXPECT_TRUE(second.open(pty.path()).opened);
}

// Another program that opens the device and sets TIOCEXCL, without a flock
// or a lock file, and keeps it open until the end of the test.
class ExclusiveHolder {
public:
    explicit ExclusiveHolder(const std::string& device) {
        int ready[2];
        if (::pipe(ready) != 0) return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(ready[0]);
            const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
            const char told = fd >= 0 && ::ioctl(fd, TIOCEXCL) == 0 ? 'y' : 'n';
            if (::write(ready[1], &told, 1) == 1) {
                for (;;) ::pause();
            }
            ::_exit(1);
        }
        ::close(ready[1]);
        char told = 'n';
        holding_ = pid_ > 0 && ::read(ready[0], &told, 1) == 1 && told == 'y';
        ::close(ready[0]);
    }
    ~ExclusiveHolder() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    ExclusiveHolder(const ExclusiveHolder&) = delete;
    ExclusiveHolder& operator=(const ExclusiveHolder&) = delete;

    bool holding() const { return holding_; }
    pid_t pid() const { return pid_; }

private:
    pid_t pid_ = -1;
    bool holding_ = false;
};

bool exclusiveFlag(int fd) {
    int on = 0;
    return ::ioctl(fd, TIOCGEXCL, &on) == 0 && on != 0;
}

TEST(SerialLine, LookingAtAPortNeverClearsTheExclusiveHoldOfAnotherProgram) {
    PtyPair pty;
    const testing::FakeSerialTree tree;
    const std::filesystem::path locks = tree.paths().lockDirectory;
    const ExclusiveHolder other(pty.path());
    ASSERT_TRUE(other.holding());
    const std::string held = pty.path() + " está en uso por " + ProgramNameOf(other.pid()) +
                             " (PID " + std::to_string(other.pid()) + ").";

    // Root may open a port another program holds with TIOCEXCL: it must
    // neither use it nor clear the flag on its way out.
    for (int look = 0; look < 2; ++look) {
        const auto probed = TryOpenExclusive(pty.path(), locks).refusal;
        ASSERT_TRUE(probed.has_value());
        EXPECT_EQ(RefusalText(*probed), held);
        EXPECT_TRUE(exclusiveFlag(pty.slave()));
    }
    TermiosSerialLine line(locks);
    const auto refused = line.open(pty.path());
    EXPECT_FALSE(refused.opened);
    ASSERT_TRUE(refused.refusal.has_value());
    EXPECT_EQ(RefusalText(*refused.refusal), held);
    EXPECT_TRUE(exclusiveFlag(pty.slave()));
    EXPECT_TRUE(std::filesystem::is_empty(locks));

    // A free port is looked at without being taken: no flag stays behind.
    PtyPair free;
    EXPECT_FALSE(TryOpenExclusive(free.path(), locks).refusal.has_value());
    EXPECT_FALSE(exclusiveFlag(free.slave()));
    ASSERT_TRUE(line.open(free.path()).opened);
    EXPECT_TRUE(exclusiveFlag(free.slave()));
    line.close();
    EXPECT_FALSE(exclusiveFlag(free.slave()));
}

TEST(SerialLine, AReadReturnsEmptyAfterTheQuietTime) {
    PtyPair pty;
    TermiosSerialLine line;
    ASSERT_TRUE(line.open(pty.path()).opened);
    for (int i = 0; i < 3; ++i) {
        const auto start = Clock::now();
        std::string read;
        EXPECT_EQ(readOnce(line, read), 0u);
        const auto waited = Clock::now() - start;
        EXPECT_GE(waited, 110ms);
        EXPECT_LT(waited, 160ms);
    }
}

TEST(SerialLine, TheIdleCallbackRunsWhileAReadWaitsAndChangesNeitherTheQuietTimeNorTheBytes) {
    PtyPair pty;
    TermiosSerialLine line;
    ASSERT_TRUE(line.open(pty.path()).opened);
    std::vector<Clock::time_point> calls;
    line.setIdle([&calls] { calls.push_back(Clock::now()); });
    const auto start = Clock::now();
    EXPECT_EQ(readAll(line), "");
    const auto waited = Clock::now() - start;
    EXPECT_GE(waited, 110ms);
    EXPECT_LT(waited, 160ms);
    ASSERT_GE(calls.size(), 3u);
    for (std::size_t i = 1; i < calls.size(); ++i) EXPECT_LT(calls[i] - calls[i - 1], 80ms);

    // A reply that starts during an idle call is read whole.
    const std::string reply("\r\nZarn-DSL>", 11);
    bool sent = false;
    line.setIdle([&] {
        if (!sent) pty.send(reply);
        sent = true;
    });
    EXPECT_EQ(readAll(line), reply);
    EXPECT_TRUE(sent);
}

TEST(SerialLine, BytesTravelUnchangedBothWays) {
    PtyPair pty;
    TermiosSerialLine line;
    ASSERT_TRUE(line.open(pty.path()).opened);
    const std::string sent("no\r\n\r\xe9\x04", 8);
    EXPECT_TRUE(line.write(sent));
    EXPECT_EQ(pty.received(), sent);

    const std::string reply("\r\nZarn-DSL>\0\xff", 13);
    pty.send(reply);
    EXPECT_EQ(readAll(line), reply);
}

TEST(SerialLine, AHangUpIsNoticedAtOnceAndNothingIsWrittenAfterIt) {
    PtyPair pty;
    TermiosSerialLine line;
    ASSERT_TRUE(line.open(pty.path()).opened);
    pty.closeSlave();
    pty.send("ab");
    EXPECT_TRUE(line.write("x"));
    EXPECT_FALSE(line.lost());
    pty.closeMaster();  // the device goes away
    const auto start = Clock::now();
    const std::string read = readAll(line);
    EXPECT_LT(Clock::now() - start, kQuietTime);
    EXPECT_TRUE(read.empty() || read == "ab") << read;
    EXPECT_TRUE(line.lost());
    // From now on every read returns at once, and nothing is written.
    std::string more;
    const auto again = Clock::now();
    EXPECT_EQ(readOnce(line, more), 0u);
    EXPECT_LT(Clock::now() - again, 5ms);
    EXPECT_FALSE(line.write("\r"));
    // A port opened afresh starts sound.
    PtyPair back;
    ASSERT_TRUE(line.open(back.path()).opened);
    EXPECT_FALSE(line.lost());
}

TEST(SerialLine, AWriteToADeviceThatTakesNothingGivesUpInTime) {
    PtyPair pty;
    TermiosSerialLine line;
    ASSERT_TRUE(line.open(pty.path()).opened);
    // Nobody reads the master, so the pty buffer fills; the write that finds it
    // full must give up after 10 ms a byte plus 100 ms instead of blocking.
    const std::string block(50, 'x');
    for (int i = 0; i < 20000; ++i) {
        const auto start = Clock::now();
        if (!line.write(block)) {
            const auto waited = Clock::now() - start;
            EXPECT_GE(waited, 550ms);
            EXPECT_LT(waited, 900ms);
            // Half a command went out: the line counts as lost.
            EXPECT_TRUE(line.lost());
            return;
        }
    }
    FAIL() << "the pty never filled";
}

}  // namespace
}  // namespace cofralin
