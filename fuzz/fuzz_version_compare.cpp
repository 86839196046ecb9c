// Version comparison and the version cut of the system listing over arbitrary
// texts. The input holds two versions separated by the first line feed; the
// comparison must be an order on them (reflexive, antisymmetric, blind to
// trailing blanks), and the cut must give one word of at most 32 bytes,
// without a blank, a tab or a line end.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "software_update.h"

using namespace cofralin;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t split = input.find('\n');
    const std::string_view a = input.substr(0, split);
    const std::string_view b =
        split == std::string_view::npos ? std::string_view() : input.substr(split + 1);

    const int ab = CompareVersions(a, b);
    if (ab < -1 || ab > 1) std::abort();
    if (CompareVersions(b, a) != -ab) std::abort();
    if (CompareVersions(a, a) != 0 || CompareVersions(b, b) != 0) std::abort();
    if (CompareVersions(std::string(a) + "  ", b) != ab) std::abort();

    for (const std::string_view listing : {input, b}) {
        const std::string version = CutRouterVersion(listing);
        if (version.size() > 32) std::abort();
        if (version.find_first_of(" \t\r\n") != std::string::npos) std::abort();
        if (!version.empty() && listing.find(kSystemVersionLabel) == std::string_view::npos) {
            std::abort();
        }
        if (!version.empty() && listing.find(version) == std::string_view::npos) std::abort();
    }
    return 0;
}
