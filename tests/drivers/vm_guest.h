#pragma once
// What the driver tests share inside the virtual machine that
// scripts/vm-test.sh boots: the requests only the host can carry out (a
// simulated router on the far end of a line, the adapter pulled out and put
// back), the folder shared with the host, and the serial devices it set up.
//
// A request goes out on the console as one line "@@host REQUEST"; the host
// answers on the console's input with one line, "ok" or "fail WHY".

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "port_discovery.h"

namespace cofralin::vm {

// Asks the host and waits for its answer: success on "ok".
::testing::AssertionResult HostDoes(std::string_view request,
                                    std::chrono::seconds wait = std::chrono::seconds(30));

// The folder shared with the host (records of the simulators).
std::string SharedFolder();
// A file of the shared folder, whole; empty when it is not there.
std::string ReadShared(const std::string& name);

// What the host set up: the adapter's product and serial number, the test
// UART, and the UART that carries the machine's console.
std::string AdapterProduct();
std::string AdapterSerial();
std::string UartDevice();
std::string ConsoleDevice();

// The adapter as the discovery names it, once it is there (and, for
// `openable`, once this user may open it): nothing after `wait`.
std::optional<SerialPort> WaitForAdapter(bool openable = true,
                                         std::chrono::seconds wait = std::chrono::seconds(15));

}  // namespace cofralin::vm
