#pragma once
// How a port's result is written: Spanish text lines, each starting with the
// port's name, or one JSON object on one line with the English keys the
// manual page documents.
//
// How it works: router bytes are decoded (Windows-1252) and addresses are
// written plainly ("192.0.2.10", not "192.000.002.010"); a value the router
// did not list is left out, in text and in JSON alike. The lines of a dry
// run are written with their endings shown ("\r\n") and the passwords
// masked.

#include <string>
#include <vector>

#include "order_runs.h"
#include "port_discovery.h"
#include "router_copy.h"

namespace cofralin::cli {

// The text block of `result`: every line "PORT: ..." and ended by "\n".
// `secrets` are masked wherever they would show.
std::string ResultText(const PortResult& result, bool dryRun,
                       const std::vector<std::string>& secrets);
// The JSON line of `result`, ended by "\n".
std::string ResultJson(const PortResult& result, const std::vector<std::string>& secrets);

// `text` with every byte of each occurrence of each of `secrets` (the
// passwords) turned into an asterisk.
std::string Masked(std::string text, const std::vector<std::string>& secrets);

// A line as it would go out, with its control bytes shown: "\r", "\n",
// "\x04".
std::string ShownLine(const std::string& line);

// The "puertos" order: one port the discovery named, offered or not.
struct ListedPort {
    std::string name;
    SerialDevice device;
    std::optional<std::string> refusal;  // why it is not offered
};
std::string ListedPortText(const ListedPort& port);
std::string ListedPortJson(const ListedPort& port);

// The "copias" order: one copy, or why it is refused.
std::string ListedCopyText(const ListedCopy& copy);
std::string ListedCopyJson(const ListedCopy& copy);

// The notes the program writes beside the results (a port not offered, a
// stale lock removed), as text lines or as JSON objects without a port.
std::string NoteText(const std::string& note);

}  // namespace cofralin::cli
