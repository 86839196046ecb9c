// The port discovery and the exclusive open on the kernel's own drivers: the
// 8250 driver's UARTs (two with a chip, two addresses without one) and an FTDI
// adapter on xHCI, as sysfs and /dev show them to a plain user of group dialout.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "port_discovery.h"
#include "serial_line.h"
#include "uucp_lock.h"
#include "vm_guest.h"

namespace cofralin {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> described(const std::vector<SerialPort>& ports) {
    std::vector<std::string> lines;
    for (const SerialPort& port : ports) {
        lines.push_back(port.name + " " + DeviceDescription(port.device));
    }
    return lines;
}

std::string firstLine(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    return line;
}

TEST(DriverDiscovery, NamesTheUartsWithAChipAndTheAdapterAndOffersWhatThisUserMayOpen) {
    const std::optional<SerialPort> adapter = vm::WaitForAdapter();
    ASSERT_TRUE(adapter) << "the adapter did not appear";
    const std::string usb = adapter->device.path;
    EXPECT_TRUE(usb.starts_with("/dev/ttyUSB")) << usb;

    // The two addresses without a chip are there, as the driver registers
    // them: the discovery leaves them out, it does not miss them.
    for (const char* empty : {"ttyS2", "ttyS3"}) {
        EXPECT_TRUE(fs::exists(fs::path("/dev") / empty)) << empty;
        EXPECT_EQ(firstLine(fs::path("/sys/class/tty") / empty / "type"), "0") << empty;
    }
    EXPECT_EQ(firstLine("/sys/class/tty/ttyS1/type"), "4") << "a 16550A";

    const std::string console = vm::ConsoleDevice();
    const std::string uart = vm::UartDevice();
    const std::string adapterText =
        usb + " · " + vm::AdapterProduct() + " · " + vm::AdapterSerial();
    EXPECT_EQ(
        described(NamePorts(SystemPaths{})),
        (std::vector<std::string>{"COM1: " + console, "COM2: " + uart, "COM3: " + adapterText}));

    // The console's UART is root's, as a logged-in console is: refused for
    // want of permission, so only the test UART and the adapter are offered.
    const PortProbe probe = ProbePorts(SystemPaths{});
    EXPECT_EQ(described(probe.offered),
              (std::vector<std::string>{"COM2: " + uart, "COM3: " + adapterText}));
    ASSERT_EQ(probe.refused.size(), 1u);
    EXPECT_EQ(probe.refused[0].device, console);
    EXPECT_EQ(probe.refused[0].reason, PortRefusal::Reason::Permission);
}

// Another program holds the port: by the UUCP lock alone (as minicom does),
// or by TIOCEXCL alone on its open descriptor.
enum class Hold { UucpLock, Tiocexcl };

struct HoldCase {
    const char* line;  // "adapter" or "uart"
    Hold hold;
};

std::string deviceOf(const char* line) {
    if (std::string(line) == "uart") return vm::UartDevice();
    const std::optional<SerialPort> adapter = vm::WaitForAdapter();
    return adapter ? adapter->device.path : std::string();
}

// A child process that opens nothing, or `device` with TIOCEXCL, and waits to be killed.
pid_t startHolder(const std::string& device, Hold hold) {
    int ready[2];
    if (::pipe(ready) != 0) return -1;
    const pid_t child = ::fork();
    if (child == 0) {
        char done = 1;
        if (hold == Hold::Tiocexcl) {
            const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
            if (fd < 0 || ::ioctl(fd, TIOCEXCL) != 0) done = 0;
        }
        ssize_t ignored = ::write(ready[1], &done, 1);
        (void)ignored;
        ::pause();
        ::_exit(0);
    }
    ::close(ready[1]);
    char done = 0;
    const bool started = child > 0 && ::read(ready[0], &done, 1) == 1 && done == 1;
    ::close(ready[0]);
    if (!started && child > 0) {
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
    }
    return started ? child : -1;
}

void endHolder(pid_t child) {
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
}

class SecondOpen : public ::testing::TestWithParam<HoldCase> {};

TEST_P(SecondOpen, IsRefusedNamingTheHolderUntilItEnds) {
    const HoldCase c = GetParam();
    const std::string device = deviceOf(c.line);
    ASSERT_NE(device, "");
    const fs::path lockFile = LockFilePath(device, kLockDirectory);
    ASSERT_FALSE(fs::exists(lockFile));

    const pid_t holder = startHolder(device, c.hold);
    ASSERT_GT(holder, 0) << "the other program could not take " << device;
    if (c.hold == Hold::UucpLock) {
        std::ofstream(lockFile) << std::string(10 - std::to_string(holder).size(), ' ') << holder
                                << " minicom ana\n";
    } else {
        // The driver itself refuses a plain user, before any lock is looked at.
        const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        EXPECT_LT(fd, 0);
        EXPECT_EQ(errno, EBUSY);
        if (fd >= 0) ::close(fd);
    }

    TermiosSerialLine line;
    const TermiosSerialLine::OpenResult refused = line.open(device);
    EXPECT_FALSE(refused.opened);
    EXPECT_FALSE(line.isOpen());
    ASSERT_TRUE(refused.refusal);
    EXPECT_EQ(refused.refusal->reason, PortRefusal::Reason::Held);
    ASSERT_TRUE(refused.refusal->holder);
    EXPECT_EQ(refused.refusal->holder->pid, holder);
    // The refusal leaves no lock of this program behind.
    EXPECT_EQ(fs::exists(lockFile), c.hold == Hold::UucpLock);

    const PortProbe probe = ProbePorts(SystemPaths{});
    for (const SerialPort& offered : probe.offered) EXPECT_NE(offered.device.path, device);
    bool told = false;
    for (const PortRefusal& refusal : probe.refused) {
        if (refusal.device != device) continue;
        told = true;
        EXPECT_EQ(refusal.reason, PortRefusal::Reason::Held);
        EXPECT_TRUE(refusal.holder && refusal.holder->pid == holder);
    }
    EXPECT_TRUE(told) << device << " is not among the refused ports";

    // Once the other program has ended (leaving its lock file, if any,
    // behind), the port opens; while it is open, a second open is refused.
    endHolder(holder);
    const TermiosSerialLine::OpenResult opened = line.open(device);
    EXPECT_TRUE(opened.opened);
    EXPECT_FALSE(opened.settingsError);
    TermiosSerialLine second;
    const TermiosSerialLine::OpenResult again = second.open(device);
    EXPECT_FALSE(again.opened);
    ASSERT_TRUE(again.refusal);
    EXPECT_EQ(again.refusal->reason, PortRefusal::Reason::Held);
    ASSERT_TRUE(again.refusal->holder);
    EXPECT_EQ(again.refusal->holder->pid, ::getpid());
    line.close();
    EXPECT_FALSE(fs::exists(lockFile));
}

INSTANTIATE_TEST_SUITE_P(
    Drivers, SecondOpen,
    ::testing::Values(HoldCase{"adapter", Hold::UucpLock}, HoldCase{"adapter", Hold::Tiocexcl},
                      HoldCase{"uart", Hold::UucpLock}, HoldCase{"uart", Hold::Tiocexcl}),
    [](const ::testing::TestParamInfo<HoldCase>& info) {
        return std::string(info.param.line) +
               (info.param.hold == Hold::UucpLock ? "ByUucpLock" : "ByTiocexcl");
    });

}  // namespace
}  // namespace cofralin
