// The connection procedure over the kernel's serial drivers, with the router
// simulator on the host end of the line: the whole exchange at 9600 8N1 over
// the FTDI adapter and over the 16550 UART, and the adapter pulled out while
// the procedure waits for the router, then put back.
#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "command_catalogue.h"
#include "connection.h"
#include "exchange.h"
#include "login.h"
#include "port_discovery.h"
#include "router_session.h"
#include "scripted_frontend.h"
#include "serial_line.h"
#include "simulator_session.h"
#include "vm_guest.h"

namespace cofralin {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// What the simulator receives from a connection that logs in with the
// built-in password and finds single-PC mode.
const std::string kConnectionBytes =
    "\r\rpelnotra\r"
    "set adsl open ansi \r\nshow vc internet \r\n\r\r"
    "show dhcp server\r\n\r\r"
    "exit\r\n";

// A session with the shipped catalogue, its port opened on `port`'s device.
struct Session {
    ::testing::AssertionResult open(const SerialPort& port) {
        if (auto loaded = testing::LoadShippedCatalogue(settings); !loaded) return loaded;
        auto line = std::make_unique<TermiosSerialLine>();
        const TermiosSerialLine::OpenResult opened = line->open(port.device.path);
        if (!opened.opened)
            return ::testing::AssertionFailure() << "cannot open " << port.device.path;
        if (opened.settingsError) {
            return ::testing::AssertionFailure()
                   << port.device.path << " refused 9600 8N1: errno " << *opened.settingsError;
        }
        fd = line->fileDescriptor();
        state.RouterPort = std::move(line);
        state.PortName = port.name;
        state.PortDevice = port.device.path;
        return ::testing::AssertionSuccess();
    }
    Outcome connect() { return RunConnectionProcedure(state, view); }
    // Takes the router's answer to the last line, then closes the port. The
    // program keeps the port open after a connection; closed at once, the
    // settings found at the open (echo on) would send that answer back.
    void close() {
        char buffer[256];
        while (state.RouterPort->readSome(buffer, Clock::now() + 300ms) > 0) {
        }
        state.RouterPort.reset();
    }

    Settings settings;
    RouterSession state{settings};
    testing::ScriptedFrontend view;
    int fd = -1;
};

std::optional<SerialPort> portOf(const std::string& line) {
    if (line == "adapter") return vm::WaitForAdapter();
    for (const SerialPort& port : NamePorts(SystemPaths{})) {
        if (port.device.path == vm::UartDevice()) return port;
    }
    return std::nullopt;
}

class DriverConnection : public ::testing::TestWithParam<std::string> {};

TEST_P(DriverConnection, LogsInAt9600EightNOneWithTheBytesOfAPseudoTerminal) {
    const std::string line = GetParam();
    const std::optional<SerialPort> port = portOf(line);
    ASSERT_TRUE(port) << line;
    ASSERT_TRUE(vm::HostDoes("sim " + line));

    Session session;
    ASSERT_TRUE(session.open(*port));
    // What the driver kept of the settings, read back from it.
    termios kept{};
    ASSERT_EQ(::tcgetattr(session.fd, &kept), 0);
    EXPECT_EQ(::cfgetospeed(&kept), B9600);
    EXPECT_EQ(::cfgetispeed(&kept), B9600);
    EXPECT_EQ(kept.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(kept.c_cflag & (PARENB | CSTOPB), 0u);

    const Outcome outcome = session.connect();
    EXPECT_EQ(outcome.ending, Ending::Done) << outcome.message;
    EXPECT_EQ(outcome.message, kConnectedText);
    EXPECT_EQ(session.state.SinglePcActive, 1);
    EXPECT_EQ(session.state.MultiPcActive, 0);
    EXPECT_FALSE(session.state.RouterPort->lost());
    session.close();

    // Stopped, the simulator's record is whole.
    ASSERT_TRUE(vm::HostDoes("stop " + line));
    EXPECT_EQ(vm::ReadShared(line + ".record"), kConnectionBytes);
}

INSTANTIATE_TEST_SUITE_P(Drivers, DriverConnection, ::testing::Values("adapter", "uart"),
                         [](const auto& info) { return info.param; });

TEST(DriverUnplug, DuringAWaitIsToldWithinASecondAndThePlugAgainIsANewDevice) {
    const std::optional<SerialPort> port = vm::WaitForAdapter();
    ASSERT_TRUE(port);
    // A silent router keeps the procedure nudging and waiting for ~6.6 s.
    ASSERT_TRUE(vm::HostDoes("sim adapter --silent"));
    Session session;
    ASSERT_TRUE(session.open(*port));

    Clock::time_point asked{};
    ::testing::AssertionResult unplug = ::testing::AssertionSuccess();
    std::thread host([&] {
        std::this_thread::sleep_for(1500ms);
        asked = Clock::now();
        unplug = vm::HostDoes("unplug adapter");
    });
    const Clock::time_point started = Clock::now();
    const Outcome outcome = session.connect();
    const Clock::time_point told = Clock::now();
    host.join();
    ASSERT_TRUE(unplug);

    EXPECT_EQ(outcome.ending, Ending::LineLost);
    EXPECT_EQ(outcome.message, "Se perdió la conexión con el puerto " + port->name + ".");
    EXPECT_GT(told, asked) << "the procedure ended before the unplug";
    // From the request on the console, so the host's share is counted too.
    const auto delay = std::chrono::duration_cast<std::chrono::milliseconds>(told - asked);
    EXPECT_LT(delay, 1000ms);
    std::cout << "unplug: told " << delay.count()
              << " ms after the request; the procedure had waited "
              << std::chrono::duration_cast<std::chrono::milliseconds>(asked - started).count()
              << " ms" << std::endl;
    EXPECT_TRUE(session.state.RouterPort->lost());
    EXPECT_FALSE(session.state.RouterPort->write("\r"));
    // What the loss rests on: the driver hangs the descriptor up.
    char byte = 0;
    EXPECT_LE(::read(session.fd, &byte, 1), 0);
    errno = 0;
    EXPECT_EQ(::write(session.fd, "\r", 1), -1);
    EXPECT_EQ(errno, EIO);
    ASSERT_TRUE(vm::HostDoes("stop adapter"));

    // Plugged in again while the old descriptor is still open: a new device
    // node, offered under the same name with the same product and serial.
    ASSERT_TRUE(vm::HostDoes("plug adapter"));
    const std::optional<SerialPort> again = vm::WaitForAdapter();
    ASSERT_TRUE(again) << "the adapter was not offered again";
    EXPECT_NE(again->device.path, port->device.path);
    EXPECT_EQ(again->name, port->name);
    EXPECT_EQ(again->device.product, port->device.product);
    for (const SerialPort& named : NamePorts(SystemPaths{})) {
        EXPECT_NE(named.device.path, port->device.path);
    }
    session.state.RouterPort.reset();

    // Chosen again, it connects afresh.
    ASSERT_TRUE(vm::HostDoes("sim adapter"));
    Session fresh;
    ASSERT_TRUE(fresh.open(*again));
    const Outcome reconnected = fresh.connect();
    EXPECT_EQ(reconnected.ending, Ending::Done) << reconnected.message;
    fresh.close();
    ASSERT_TRUE(vm::HostDoes("stop adapter"));
    EXPECT_EQ(vm::ReadShared("adapter.record"), kConnectionBytes);
}

}  // namespace
}  // namespace cofralin
