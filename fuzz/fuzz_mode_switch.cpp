// The listing cuts and address derivations of the mode switches over
// arbitrary listings and typed values. The first input byte sets the distance
// and width of a free cut; the rest is split at its first line feed into an
// address text and a mask text, and the whole rest is also taken as a listing.
// A cut never holds a value end and never runs past its width; a derived
// address keeps the given network part and has a last octet that fits. A
// listed value let into a command line is digits and dots (and one slash for
// a subnet), never a blank, a line end or anything else the router would read.

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

// Only octets of at most three digits, dot-separated, fit: nothing else
// may pass the checks of listed values.
bool dottedQuad(std::string_view text) {
    int octets = 0;
    while (true) {
        const std::size_t dot = text.find('.');
        const std::string_view octet = text.substr(0, dot);
        if (!allDigits(octet) || octet.size() > 3 || LeadingDecimal(octet) > 255) return false;
        ++octets;
        if (dot == std::string_view::npos) break;
        text.remove_prefix(dot + 1);
    }
    return octets == 4;
}

void checkListedValues(std::string_view value) {
    const bool address = !CheckListedAddress("show", "label", value);
    if (address != dottedQuad(value)) std::abort();
    // A mask passes only as an address whose one bits come first.
    if (!CheckListedMask("show", "label", value)) {
        if (!address) std::abort();
        std::uint32_t bits = 0;
        std::string_view rest = value;
        for (int i = 0; i < 4; ++i) {
            const std::size_t dot = rest.find('.');
            bits = bits << 8 | static_cast<std::uint32_t>(LeadingDecimal(rest.substr(0, dot)));
            rest.remove_prefix(dot == std::string_view::npos ? rest.size() : dot + 1);
        }
        const std::uint32_t hostBits = ~bits;
        if ((hostBits & (hostBits + 1)) != 0) std::abort();
    }
    if (!CheckListedSubnet("show", "label", value)) {
        const std::size_t slash = value.find('/');
        if (slash == std::string_view::npos || !dottedQuad(value.substr(0, slash))) std::abort();
        const std::string_view prefix = value.substr(slash + 1);
        if (!allDigits(prefix) || prefix.size() > 2 || LeadingDecimal(prefix) > 32) std::abort();
    }
    // A refused value is shown with its control bytes written out, so the
    // message never carries a line end or an escape of the router's.
    if (const auto told = CheckListedSubnet("show", "label", value)) {
        const std::string empty = *CheckListedSubnet("show", "label", "");
        const std::size_t at = empty.find('\n');
        if (at == std::string::npos || told->size() < empty.size()) std::abort();
        for (const char c : told->substr(at, told->size() - empty.size())) {
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) std::abort();
        }
    }
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
    checkListedValues(address);
    checkListedValues(mask);

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
