// The listing cuts and address derivations of the mode switches over
// arbitrary listings and typed values. The first input byte sets the distance
// and width of a free cut; the rest is split at its first line feed into an
// address text and a mask text, and the whole rest is also taken as a listing.
// A cut never holds a value end and never runs past its width; a derived
// address keeps the given network part and has a last octet that fits.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "mode_switch.h"

using namespace cofralin;

namespace {

constexpr std::string_view kValueEnds = " \r\n";

void checkCut(std::string_view listing, std::string_view label, std::size_t distance,
              std::size_t width) {
    const std::optional<std::string> cut = CutAfterLabel(listing, label, distance, width);
    const std::size_t at = listing.find(label);
    if ((at == std::string_view::npos) != !cut.has_value()) std::abort();
    if (!cut) return;
    if (cut->size() > width || cut->find_first_of(kValueEnds) != std::string::npos) std::abort();
    if (!cut->empty() && listing.substr(at + distance, cut->size()) != *cut) std::abort();
}

bool allDigits(std::string_view text) {
    if (text.empty()) return false;
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

// The last octet of a derived address: digits, at most 255, at least `least`.
void checkLastOctet(std::string_view text, long least) {
    if (!allDigits(text) || text.size() > 3) std::abort();
    const long value = LeadingDecimal(text);
    if (value < least || value > 255) std::abort();
}

void checkFirstHost(std::string_view subnet) {
    const std::optional<std::string> host = RemoteFirstHost(subnet);
    if (!host) return;
    const std::size_t slash = host->rfind('/');
    if (slash == std::string::npos || host->find('/') != slash) std::abort();
    if (host->substr(slash) != subnet.substr(subnet.rfind('/'))) std::abort();
    const std::size_t dot = host->rfind('.', slash);
    if (dot == std::string::npos || host->substr(0, dot) != subnet.substr(0, subnet.rfind('.'))) {
        std::abort();
    }
    checkLastOctet(std::string_view(*host).substr(dot + 1, slash - dot - 1), 1);
    if (RemoteRouter(*host) != host->substr(0, slash)) std::abort();
}

void checkHostInSubnet(std::string_view address, std::string_view mask, int offset) {
    const std::optional<std::string> host = HostInSubnet(address, mask, offset);
    const std::size_t dot = address.rfind('.');
    if (dot == std::string_view::npos) {
        if (host) std::abort();
        return;
    }
    if (!host) return;
    if (host->substr(0, dot + 1) != address.substr(0, dot + 1)) std::abort();
    checkLastOctet(std::string_view(*host).substr(dot + 1), offset);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::size_t distance = data[0] & 0x3F;
    const std::size_t width = static_cast<std::size_t>(data[0] >> 6) * 8;
    const std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::size_t split = rest.find('\n');
    const std::string_view address = rest.substr(0, split);
    const std::string_view mask =
        split == std::string_view::npos ? std::string_view() : rest.substr(split + 1);

    checkCut(rest, kLocalAddressLabel, kVcAddressDistance, kAddressCutWidth);
    checkCut(rest, kDhcpRouterLabel, kDhcpAddressDistance, kAddressCutWidth);
    checkCut(rest, kDhcpMaskLabel, distance, width);

    if (const std::optional<std::string> subnet = CutRemoteSubnet(rest)) {
        if (subnet->find_first_of(kValueEnds) != std::string::npos) std::abort();
        const std::size_t at = rest.find(kRemoteAddressLabel) + kVcAddressDistance;
        if (rest.substr(at, subnet->size()) != *subnet) std::abort();
        if (kValueEnds.find(rest[at + subnet->size()]) == std::string_view::npos) std::abort();
        checkFirstHost(*subnet);
    }
    checkFirstHost(address);

    if (LeadingDecimal(address) < 0) std::abort();
    if (const std::optional<int> octet = OctetMaskForPrefix(LeadingDecimal(address))) {
        // Ones from the top, then zeros.
        const int hostBits = 0xFF ^ *octet;
        if (*octet < 0 || *octet > 255 || (hostBits & (hostBits + 1)) != 0) std::abort();
    }
    checkHostInSubnet(address, mask, 1);
    checkHostInSubnet(address, mask, 2);
    if (MgmtGateway(address, mask) != HostInSubnet(address, mask, 1)) std::abort();
    if (VcRemoteAddress(address, mask) != HostInSubnet(address, mask, 2)) std::abort();
    return 0;
}
