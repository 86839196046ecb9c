// The mapping-table parser over arbitrary listings. Every entry it returns
// must be a line of the listing that holds only digits, blanks and the
// punctuation of addresses and starts with a port number, with its blank runs
// turned into single tabs (a leading run into one blank); the public port cut
// from an entry is a prefix of it without a tab.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "port_mappings.h"

using namespace cofralin;

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool allowed(unsigned char byte) {
    return isDigit(static_cast<char>(byte)) || byte == ' ' || byte == '\t' || byte == '.' ||
           byte == '/' || byte == ':';
}

// The first field, up to a tab after the first byte and without a leading
// blank, is a number from 1 to 65535.
bool startsWithPort(std::string_view entry) {
    std::string_view field = entry.substr(0, entry.find('\t', 1));
    if (!field.empty() && field.front() == ' ') field.remove_prefix(1);
    if (field.empty() || field.size() > 5) return false;
    long port = 0;
    for (const char c : field) {
        if (!isDigit(c)) return false;
        port = port * 10 + (c - '0');
    }
    return port >= 1 && port <= 65535;
}

void checkEntry(std::string_view entry, std::string_view listing) {
    if (entry.empty()) std::abort();
    for (std::size_t i = 0; i < entry.size(); ++i) {
        const auto byte = static_cast<unsigned char>(entry[i]);
        if (!allowed(byte)) std::abort();
        // Only a leading run of blanks stays a blank.
        if (byte == ' ' && i != 0) std::abort();
    }
    if (!startsWithPort(entry)) std::abort();
    // Taken from the listing: its first two characters (a blank stands for a
    // run of blanks or a tab) start somewhere in it, tabs aside.
    if (entry.front() != ' ' && entry.front() != '\t' &&
        listing.find(entry.front()) == std::string_view::npos) {
        std::abort();
    }
    const std::string port = MappingPortText(entry);
    if (entry.substr(0, port.size()) != port) std::abort();
    if (port.find('\t', 1) != std::string::npos) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view listing(reinterpret_cast<const char*>(data), size);
    const MappingTables tables = ParseMappingTables(listing);
    const bool hasUdp = listing.find(kUdpTableTitle) != std::string_view::npos;
    const bool hasTcp = listing.find(kTcpTableTitle) != std::string_view::npos;
    if (!hasUdp && !tables.udp.empty()) std::abort();
    if (!hasTcp && !tables.tcp.empty()) std::abort();

    std::size_t lineFeeds = 0;
    for (const char c : listing) lineFeeds += c == '\n' ? 1 : 0;
    if (tables.udp.size() + tables.tcp.size() > lineFeeds + 2) std::abort();
    for (const std::string& entry : tables.udp) checkEntry(entry, listing);
    for (const std::string& entry : tables.tcp) checkEntry(entry, listing);

    // Each line on its own, as the parser treats it.
    std::size_t start = 0;
    while (start <= listing.size()) {
        const std::size_t end = listing.find('\n', start);
        const std::string_view line = listing.substr(
            start, end == std::string_view::npos ? std::string_view::npos : end - start);
        if (const std::optional<std::string> entry = TreatMappingLine(line)) {
            checkEntry(*entry, listing);
        }
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    return 0;
}
