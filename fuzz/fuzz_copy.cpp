// The copy file's reader over arbitrary bytes. A file it accepts is exactly
// the file this program would write for the copy it read, and its values
// pass the checks or are refused in words; any three listings written as a
// copy read back as the same copy.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <variant>

#include "router_copies.h"
#include "router_copy.h"

using namespace cofralin;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    const std::variant<RouterCopy, std::string> read = ParseCopy(bytes);
    if (const RouterCopy* copy = std::get_if<RouterCopy>(&read)) {
        if (CopyText(*copy) != bytes) std::abort();
        if (const auto why = CheckCopyValues(*copy); why && why->empty()) std::abort();
    } else if (std::get<std::string>(read).empty()) {
        std::abort();
    }

    // The same bytes as the three listings of a copy, cut at the first two
    // zero bytes (or not at all).
    RouterCopy written;
    written.time = "2026-12-10T06:40:00Z";
    written.port = "COM1:";
    const std::size_t first = bytes.find('\0');
    const std::size_t second =
        first == std::string_view::npos ? first : bytes.find('\0', first + 1);
    written.listings.system = std::string(bytes.substr(0, first));
    if (first != std::string_view::npos) {
        written.listings.vc = std::string(bytes.substr(first + 1, second - first - 1));
        if (second != std::string_view::npos) {
            written.listings.dhcpServer = std::string(bytes.substr(second + 1));
        }
    }
    written.reading = ReadingOfListings(written.listings);
    const std::variant<RouterCopy, std::string> again = ParseCopy(CopyText(written));
    const RouterCopy* back = std::get_if<RouterCopy>(&again);
    if (!back || !(*back == written)) std::abort();
    return 0;
}
