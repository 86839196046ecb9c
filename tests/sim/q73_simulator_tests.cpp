// The simulator over a real pseudo-terminal, opened as the program opens its port.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>

#include "pty_pair.h"
#include "q73_simulator.h"

namespace cofralin {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// The slave side, opened and locked the way the program opens a serial port.
class Port {
public:
    explicit Port(const std::string& path) {
        fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd_ >= 0 && (::ioctl(fd_, TIOCEXCL) != 0 || ::flock(fd_, LOCK_EX | LOCK_NB) != 0)) {
            close();
        }
    }
    ~Port() { close(); }
    Port(const Port&) = delete;
    Port& operator=(const Port&) = delete;

    bool open() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    void close() {
        if (fd_ < 0) return;
        ::ioctl(fd_, TIOCNXCL);
        ::close(fd_);
        fd_ = -1;
    }
    void send(std::string_view bytes) const {
        const ssize_t written = ::write(fd_, bytes.data(), bytes.size());
        EXPECT_EQ(written, static_cast<ssize_t>(bytes.size()));
    }
    // Everything that arrives until the line has been quiet for `quiet`; stops
    // at `limit`. `lineGone` tells whether the read ended in an error or EOF.
    std::string drain(std::chrono::milliseconds quiet = 110ms,
                      std::chrono::milliseconds limit = 5s) {
        std::string bytes;
        lineGone = false;
        const auto end = Clock::now() + limit;
        while (Clock::now() < end) {
            pollfd entry{fd_, POLLIN, 0};
            if (::poll(&entry, 1, static_cast<int>(quiet.count())) <= 0) break;
            char buffer[512];
            const ssize_t count = ::read(fd_, buffer, sizeof buffer);
            if (count <= 0) {
                lineGone = true;
                break;
            }
            bytes.append(buffer, static_cast<std::size_t>(count));
        }
        return bytes;
    }
    bool lineGone = false;

private:
    int fd_ = -1;
};

std::string withoutZeroBytes(std::string text) {
    text.erase(std::remove(text.begin(), text.end(), '\0'), text.end());
    return text;
}

SimulatorOptions loggedIn() {
    SimulatorOptions options;
    options.loggedIn = true;
    return options;
}

TEST(Q73Simulator, ProgramOpensExclusivelyAndLogsIn) {
    Q73Simulator simulator;
    ASSERT_TRUE(simulator.start()) << simulator.error();
    Port port(simulator.slavePath());
    ASSERT_TRUE(port.open()) << "the simulator must not hold the port";
    // The lock is the program's alone.
    const int other = ::open(simulator.slavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (other >= 0) {
        EXPECT_NE(::flock(other, LOCK_EX | LOCK_NB), 0);
        ::close(other);
    }
    // Raw from the start: no echo or CR translation in the tty layer.
    termios settings{};
    ASSERT_EQ(::tcgetattr(port.fd(), &settings), 0);
    EXPECT_EQ(settings.c_lflag & (ICANON | ECHO), 0u);
    EXPECT_EQ(settings.c_iflag & (ICRNL | INLCR | IGNCR), 0u);
    EXPECT_EQ(settings.c_oflag & OPOST, 0u);

    port.send("\r");
    EXPECT_EQ(port.drain(), "\r\nLogin incorrect\r\nPassword: ");
    port.send("\r");
    port.send("pelnotra");
    EXPECT_EQ(port.drain(), "\r\nLogin incorrect\r\nPassword: ********");
    port.send("\r");
    EXPECT_EQ(port.drain(), "\r\nZarn-DSL>");
    port.send("set dhcp mode disable\r\nsave all\r\n");
    const std::string reply = port.drain();
    EXPECT_TRUE(reply.ends_with("\r\nZarn-DSL>")) << reply;
    EXPECT_EQ(simulator.snapshot().saved.dhcp.mode, DhcpMode::Disabled);
    EXPECT_EQ(simulator.received(), "\r\rpelnotra\rset dhcp mode disable\r\nsave all\r\n");
    EXPECT_EQ(simulator.replyCount(), 5);
}

TEST(Q73Simulator, SurvivesThePortBeingClosedAndOpenedAgain) {
    Q73Simulator simulator(loggedIn());
    ASSERT_TRUE(simulator.start()) << simulator.error();
    {
        Port port(simulator.slavePath());
        ASSERT_TRUE(port.open());
        port.send("exit\r\n");
        EXPECT_EQ(port.drain(), "exit\r\nBye\r\n");
    }
    ::usleep(50000);
    Port port(simulator.slavePath());
    ASSERT_TRUE(port.open()) << "the port must open again after the program closed it";
    port.send("\r");
    EXPECT_EQ(port.drain(), "\r\nLogin incorrect\r\nPassword: ");
    EXPECT_TRUE(simulator.waitForReceived("exit\r\n\r", 1s));
}

TEST(Q73Simulator, ServesOnATerminalThatExistsWithoutWhatWaitedThere) {
    // The test is the far end, as a virtual machine is for its serial port's
    // host end; the pair's slave stays open the whole time, as there.
    testing::PtyPair line;
    ASSERT_FALSE(line.path().empty());
    line.send("left over\r");
    line.received(50ms);  // the echo of the terminal's cooked mode
    Q73Simulator simulator(loggedIn());
    ASSERT_TRUE(simulator.startOn(line.path())) << simulator.error();
    EXPECT_EQ(simulator.slavePath(), line.path());
    line.send("\r");
    EXPECT_EQ(line.received(1s), "\r\nZarn-DSL>");
    EXPECT_EQ(simulator.received(), "\r");

    for (const char* refused : {"/nonexistent/tty", "/dev/null"}) {
        Q73Simulator other;
        EXPECT_FALSE(other.startOn(refused)) << refused;
        EXPECT_NE(other.error(), "") << refused;
    }
}

// A faulty simulator started with `options`, and its port opened as the
// program opens it.
class Q73SimulatorFaults : public ::testing::Test {
protected:
    void start(const SimulatorOptions& options) {
        simulator = std::make_unique<Q73Simulator>(options);
        ASSERT_TRUE(simulator->start()) << simulator->error();
        port = std::make_unique<Port>(simulator->slavePath());
        ASSERT_TRUE(port->open());
    }

    std::unique_ptr<Q73Simulator> simulator;
    std::unique_ptr<Port> port;
};

TEST_F(Q73SimulatorFaults, SilentRecordsButNeverAnswers) {
    SimulatorOptions options = loggedIn();
    options.silent = true;
    ASSERT_NO_FATAL_FAILURE(start(options));
    port->send("\rsave all\r\n");
    EXPECT_EQ(port->drain(300ms), "");
    EXPECT_TRUE(simulator->waitForReceived("save all\r\n", 1s));
    EXPECT_EQ(simulator->snapshot().saveCount, 0);
}

TEST_F(Q73SimulatorFaults, ZeroBytesLeaveTheReplyExactOtherwise) {
    SimulatorOptions options = loggedIn();
    options.zeroBytes = true;
    ASSERT_NO_FATAL_FAILURE(start(options));
    for (int i = 0; i < 3; ++i) {
        port->send("\r");
        const std::string reply = port->drain();
        EXPECT_NE(reply.find('\0'), std::string::npos);
        EXPECT_EQ(withoutZeroBytes(reply), "\r\nZarn-DSL>");
    }
}

TEST_F(Q73SimulatorFaults, GarbageSpoilsEveryReply) {
    SimulatorOptions options = loggedIn();
    options.garbage = true;
    ASSERT_NO_FATAL_FAILURE(start(options));
    for (int i = 0; i < 3; ++i) {
        port->send("\r");
        const std::string reply = port->drain();
        EXPECT_NE(withoutZeroBytes(reply), "\r\nZarn-DSL>");
        EXPECT_GT(withoutZeroBytes(reply).size(), 11u);
    }
}

TEST_F(Q73SimulatorFaults, HangsUpInTheMiddleOfTheNthReply) {
    SimulatorOptions options = loggedIn();
    options.hangupAfter = 2;
    ASSERT_NO_FATAL_FAILURE(start(options));
    port->send("\r");
    EXPECT_EQ(port->drain(), "\r\nZarn-DSL>");
    port->send("show system\r");
    const std::string half = port->drain();
    EXPECT_TRUE(half.starts_with("show system\r\nModel:")) << half;
    EXPECT_EQ(half.find("Zarn-DSL>"), std::string::npos) << half;
    EXPECT_EQ(port->drain(1s), "");
    EXPECT_TRUE(port->lineGone);
    EXPECT_TRUE(simulator->hungUp());
    char byte = 0;
    EXPECT_LE(::read(port->fd(), &byte, 1), 0);
    EXPECT_LT(::write(port->fd(), "\r", 1), 1);
}

TEST_F(Q73SimulatorFaults, SlowAnswerComesAfterTheQuietTime) {
    SimulatorOptions options = loggedIn();
    options.slowMs = 300;
    ASSERT_NO_FATAL_FAILURE(start(options));
    port->send("\r");
    EXPECT_EQ(port->drain(110ms), "");
    EXPECT_EQ(port->drain(400ms), "\r\nZarn-DSL>");
}

TEST_F(Q73SimulatorFaults, ChatterNeverShowsTheBarePrompt) {
    SimulatorOptions options = loggedIn();
    options.chatter = true;
    options.chatterIntervalMs = 30;
    ASSERT_NO_FATAL_FAILURE(start(options));
    port->send("\r");
    // The line never falls quiet for the quiet time.
    const std::string talk = port->drain(110ms, 700ms);
    EXPECT_GT(std::count(talk.begin(), talk.end(), '\n'), 5);
    EXPECT_EQ(talk.find("Zarn-DSL>"), std::string::npos);
}

TEST_F(Q73SimulatorFaults, PacedOutputGoesAt960BytesASecond) {
    SimulatorOptions options = loggedIn();
    options.pace = true;
    ASSERT_NO_FATAL_FAILURE(start(options));
    const auto start = Clock::now();
    port->send("show system\r");
    const std::string reply = port->drain(110ms, 10s);
    const auto took = Clock::now() - start;
    ASSERT_TRUE(reply.ends_with("\r\nZarn-DSL>"));
    // The last byte goes out (n - 1) byte times after the first.
    EXPECT_GE(took, Q73Simulator::kPacedByteTime * static_cast<long long>(reply.size() - 1));
    EXPECT_LT(took, Q73Simulator::kPacedByteTime * static_cast<long long>(reply.size()) + 1s);
}

TEST(Q73SimProgram, PrintsThePathLinksItAndCleansUpOnSigterm) {
    namespace fs = std::filesystem;
    const fs::path link = fs::temp_directory_path() / ("q73sim-test-" + std::to_string(::getpid()));
    int out[2];
    ASSERT_EQ(::pipe(out), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::dup2(out[1], 1);
        ::execl(Q73SIM_PATH, "q73sim", "--logged-in", "--link", link.c_str(), nullptr);
        ::_exit(127);
    }
    ::close(out[1]);
    std::string path;
    char byte = 0;
    while (::read(out[0], &byte, 1) == 1 && byte != '\n') path += byte;
    ::close(out[0]);
    ASSERT_TRUE(path.starts_with("/dev/")) << path;
    EXPECT_EQ(fs::read_symlink(link), fs::path(path));
    {
        Port port(link.string());
        ASSERT_TRUE(port.open());
        port.send("\r");
        EXPECT_EQ(port.drain(), "\r\nZarn-DSL>");
    }
    ::kill(child, SIGTERM);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
}

TEST(Q73SimProgram, OnAGivenDeviceKeepsEveryByteInTheRecordUpToTheEnd) {
    namespace fs = std::filesystem;
    testing::PtyPair line;
    ASSERT_FALSE(line.path().empty());
    const fs::path record =
        fs::temp_directory_path() / ("q73sim-record-" + std::to_string(::getpid()));
    int out[2];
    ASSERT_EQ(::pipe(out), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::dup2(out[1], 1);
        ::execl(Q73SIM_PATH, "q73sim", "--logged-in", "--device", line.path().c_str(), "--record",
                record.c_str(), nullptr);
        ::_exit(127);
    }
    ::close(out[1]);
    std::string path;
    char byte = 0;
    while (::read(out[0], &byte, 1) == 1 && byte != '\n') path += byte;
    ::close(out[0]);
    EXPECT_EQ(path, line.path());
    line.send("\r");
    EXPECT_EQ(line.received(1s), "\r\nZarn-DSL>");
    // Ended at once: the bytes of the last 100 ms are written on the way out.
    line.send("exit\r\n");
    EXPECT_EQ(line.received(1s), "exit\r\nBye\r\n");
    ::kill(child, SIGTERM);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    std::ifstream in(record, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "\rexit\r\n");
    fs::remove(record);
}

}  // namespace
}  // namespace cofralin
