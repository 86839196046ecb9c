#include "vm_guest.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <thread>

namespace cofralin::vm {

namespace {

using Clock = std::chrono::steady_clock;

std::string variable(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// One line from the console's input; nothing when none came in time.
std::optional<std::string> readAnswer(std::chrono::seconds wait) {
    const auto end = Clock::now() + wait;
    std::string line;
    while (Clock::now() < end) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
        pollfd entry{0, POLLIN, 0};
        if (::poll(&entry, 1, static_cast<int>(std::max<long long>(left.count(), 1))) <= 0) {
            continue;
        }
        char byte = 0;
        if (::read(0, &byte, 1) != 1) return std::nullopt;
        if (byte == '\n') return line;
        if (byte != '\r') line += byte;
    }
    return std::nullopt;
}

// The tests mean nothing outside the machine, and as root TIOCEXCL does not
// hold: both stop the run before the first test.
class GuestCheck : public ::testing::Environment {
public:
    void SetUp() override {
        ASSERT_NE(variable("COFRALIN_VM_SHARED"), "")
            << "the driver tests run inside the machine of scripts/vm-test.sh";
        ASSERT_NE(::geteuid(), 0u) << "the driver tests run as a plain user";
    }
};

[[maybe_unused]] ::testing::Environment* const kGuestCheck =
    ::testing::AddGlobalTestEnvironment(new GuestCheck);

}  // namespace

::testing::AssertionResult HostDoes(std::string_view request, std::chrono::seconds wait) {
    std::fflush(stdout);
    const std::string line = "@@host " + std::string(request) + "\n";
    if (!writeAll(1, line)) return ::testing::AssertionFailure() << "the console takes no request";
    const std::optional<std::string> answer = readAnswer(wait);
    if (!answer) return ::testing::AssertionFailure() << "no answer to \"" << request << "\"";
    if (*answer != "ok") {
        return ::testing::AssertionFailure() << "\"" << request << "\": " << *answer;
    }
    return ::testing::AssertionSuccess();
}

std::string SharedFolder() { return variable("COFRALIN_VM_SHARED"); }

std::string ReadShared(const std::string& name) {
    std::ifstream in(SharedFolder() + "/" + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string AdapterProduct() { return variable("COFRALIN_VM_ADAPTER_PRODUCT"); }
std::string AdapterSerial() { return variable("COFRALIN_VM_ADAPTER_SERIAL"); }
std::string UartDevice() { return variable("COFRALIN_VM_UART"); }
std::string ConsoleDevice() { return variable("COFRALIN_VM_CONSOLE"); }

std::optional<SerialPort> WaitForAdapter(bool openable, std::chrono::seconds wait) {
    const auto end = Clock::now() + wait;
    do {
        const std::vector<SerialPort> ports =
            openable ? ProbePorts(SystemPaths{}).offered : NamePorts(SystemPaths{});
        const auto adapter = std::find_if(ports.begin(), ports.end(), [](const SerialPort& port) {
            return port.device.serial == AdapterSerial();
        });
        if (adapter != ports.end()) return *adapter;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    } while (Clock::now() < end);
    return std::nullopt;
}

}  // namespace cofralin::vm
