#include <gtest/gtest.h>
#include <sys/file.h>
#include <termios.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>

#include "pty_pair.h"
#include "serial_line.h"

namespace cofralin {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using testing::PtyPair;

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
    ::setenv("COFRALIN_COM2", pty.path().c_str(), 1);
    EXPECT_TRUE(PortCanBeOpened("COM2:"));

    TermiosSerialLine first;
    ASSERT_TRUE(first.open(pty.path()).opened);
    TermiosSerialLine second;
    EXPECT_FALSE(second.open(pty.path()).opened);
    EXPECT_FALSE(second.isOpen());
    EXPECT_FALSE(PortCanBeOpened("COM2:"));

    first.close();
    EXPECT_TRUE(second.open(pty.path()).opened);
    ::unsetenv("COFRALIN_COM2");
}

TEST(SerialLine, ProbeOffersTheFreeMappedPortsInNumericOrder) {
    PtyPair one;
    PtyPair three;
    PtyPair four;
    ::setenv("COFRALIN_COM1", one.path().c_str(), 1);
    ::setenv("COFRALIN_COM2", "/nonexistent/cofralin-port", 1);
    ::setenv("COFRALIN_COM3", three.path().c_str(), 1);
    ::setenv("COFRALIN_COM4", four.path().c_str(), 1);
    TermiosSerialLine holder;
    ASSERT_TRUE(holder.open(one.path()).opened);

    EXPECT_EQ(ProbePorts(), (std::vector<std::string>{"COM3:", "COM4:"}));
    // The probe leaves nothing open.
    TermiosSerialLine again;
    EXPECT_TRUE(again.open(three.path()).opened);
    for (const char* name : {"COFRALIN_COM1", "COFRALIN_COM2", "COFRALIN_COM3", "COFRALIN_COM4"}) {
        ::unsetenv(name);
    }
}

TEST(SerialLine, PortNamesMapToTheirDefaultDevices) {
    for (const char* name : {"COFRALIN_COM1", "COFRALIN_COM2", "COFRALIN_COM3", "COFRALIN_COM4"}) {
        ::unsetenv(name);
    }
    EXPECT_EQ(DevicePathForPort("COM1:"), "/dev/ttyS0");
    EXPECT_EQ(DevicePathForPort("COM2:"), "/dev/ttyS1");
    EXPECT_EQ(DevicePathForPort("COM3:"), "/dev/ttyUSB0");
    EXPECT_EQ(DevicePathForPort("COM4:"), "/dev/ttyUSB1");
    EXPECT_EQ(DevicePathForPort("COM5:"), "");
    EXPECT_EQ(DevicePathForPort("COM1"), "");
}

TEST(SerialLine, AOneByteReadReturnsEmptyAfterTheQuietTime) {
    PtyPair pty;
    TermiosSerialLine line;
    ASSERT_TRUE(line.open(pty.path()).opened);
    for (int i = 0; i < 3; ++i) {
        const auto start = Clock::now();
        EXPECT_FALSE(line.readByte().has_value());
        const auto waited = Clock::now() - start;
        EXPECT_GE(waited, 110ms);
        EXPECT_LT(waited, 160ms);
    }
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
    std::string read;
    while (const auto byte = line.readByte()) read.push_back(*byte);
    EXPECT_EQ(read, reply);
}

TEST(SerialLine, AReadErrorEndsLikeSilence) {
    PtyPair pty;
    TermiosSerialLine line;
    ASSERT_TRUE(line.open(pty.path()).opened);
    pty.closeSlave();
    pty.send("ab");
    pty.closeMaster();  // the device goes away: reads now fail
    const auto start = Clock::now();
    std::string read;
    while (const auto byte = line.readByte()) read.push_back(*byte);
    EXPECT_LT(Clock::now() - start, 300ms);
    EXPECT_TRUE(read.empty() || read == "ab") << read;
    EXPECT_FALSE(line.readByte().has_value());
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
            return;
        }
    }
    FAIL() << "the pty never filled";
}

}  // namespace
}  // namespace cofralin
