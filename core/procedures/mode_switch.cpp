#include "mode_switch.h"

#include <climits>
#include <utility>

#include "operation.h"
#include "value_checks.h"

namespace cofralin {

namespace {

constexpr std::string_view kValueEnds = " \r\n";

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool allDigits(std::string_view text) {
    for (const char c : text) {
        if (!isDigit(c)) return false;
    }
    return true;
}

// "d.d.d.d" with one to three digits in each field.
bool isDottedAddress(std::string_view text) {
    int fields = 0;
    std::size_t digits = 0;
    for (const char c : text) {
        if (isDigit(c)) {
            if (++digits > 3) return false;
        } else if (c == '.') {
            if (digits == 0) return false;
            ++fields;
            digits = 0;
        } else {
            return false;
        }
    }
    return fields == 3 && digits > 0;
}

}  // namespace

std::optional<std::string> CutAfterLabel(std::string_view reply, std::string_view label,
                                         std::size_t distance, std::size_t width) {
    const std::size_t at = reply.find(label);
    if (at == std::string_view::npos) return std::nullopt;
    const std::size_t start = at + distance;
    if (start >= reply.size()) return std::string();
    std::string_view cut = reply.substr(start, width);
    cut = cut.substr(0, cut.find_first_of(kValueEnds));
    return std::string(cut);
}

std::optional<std::string> CutRemoteSubnet(std::string_view reply) {
    const std::size_t at = reply.find(kRemoteAddressLabel);
    if (at == std::string_view::npos) return std::nullopt;
    const std::size_t start = at + kVcAddressDistance;
    if (start >= reply.size()) return std::nullopt;
    const std::size_t end = reply.find_first_of(kValueEnds, start);
    if (end == std::string_view::npos) return std::nullopt;
    return std::string(reply.substr(start, end - start));
}

long LeadingDecimal(std::string_view text) {
    long value = 0;
    for (const char c : text) {
        if (!isDigit(c)) break;
        const int digit = c - '0';
        if (value > (LONG_MAX - digit) / 10) return LONG_MAX;
        value = value * 10 + digit;
    }
    return value;
}

std::optional<int> OctetMaskForPrefix(long prefixLength) {
    if (prefixLength < 24 || prefixLength > 32) return std::nullopt;
    return (0xFF << (32 - prefixLength)) & 0xFF;
}

std::optional<std::string> RemoteFirstHost(std::string_view vcRemoteSubnet) {
    const std::size_t slash = vcRemoteSubnet.rfind('/');
    if (slash == std::string_view::npos) return std::nullopt;
    const std::string_view address = vcRemoteSubnet.substr(0, slash);
    const std::string_view prefixText = vcRemoteSubnet.substr(slash + 1);
    if (!isDottedAddress(address) || prefixText.empty() || prefixText.size() > 2 ||
        !allDigits(prefixText)) {
        return std::nullopt;
    }
    const std::optional<int> octetMask = OctetMaskForPrefix(LeadingDecimal(prefixText));
    if (!octetMask) return std::nullopt;

    const std::size_t dot = address.rfind('.');
    const long lastOctet = LeadingDecimal(address.substr(dot + 1));
    const long host = (*octetMask & lastOctet) + 1;
    if (lastOctet > 255 || host > 255) return std::nullopt;

    // The old piece runs from the last dot through the slash.
    const std::string_view oldPiece = vcRemoteSubnet.substr(dot, slash - dot + 1);
    const std::string newPiece = "." + std::to_string(host) + "/";
    return ReplaceAll(vcRemoteSubnet, oldPiece, newPiece);
}

std::string RemoteRouter(std::string_view remoteFirstHost) {
    return std::string(remoteFirstHost.substr(0, remoteFirstHost.find('/')));
}

std::optional<std::string> HostInSubnet(std::string_view address, std::string_view mask,
                                        int offset) {
    const std::size_t dot = address.rfind('.');
    if (dot == std::string_view::npos) return std::nullopt;
    const std::size_t maskDot = mask.rfind('.');
    const std::string_view maskOctet =
        maskDot == std::string_view::npos ? std::string_view() : mask.substr(maskDot + 1);
    const long network = LeadingDecimal(address.substr(dot + 1)) & LeadingDecimal(maskOctet);
    // Tested before adding: a saturated reading plus the offset would overflow.
    if (network > 255 - offset) return std::nullopt;
    return std::string(address.substr(0, dot)) + "." + std::to_string(network + offset);
}

std::optional<std::string> CheckListedAddress(std::string_view listing, std::string_view label,
                                              std::string_view value) {
    if (ParseIpv4(value)) return std::nullopt;
    return ListedValueText(listing, label, value);
}

std::optional<std::string> CheckListedMask(std::string_view listing, std::string_view label,
                                           std::string_view value) {
    if (IsContiguousMask(value)) return std::nullopt;
    return ListedValueText(listing, label, value);
}

std::optional<std::string> CheckListedSubnet(std::string_view listing, std::string_view label,
                                             std::string_view value) {
    const std::size_t slash = value.find('/');
    const std::string_view prefix =
        slash == std::string_view::npos ? std::string_view() : value.substr(slash + 1);
    const bool fit = slash != std::string_view::npos && ParseIpv4(value.substr(0, slash)) &&
                     !prefix.empty() && prefix.size() <= 2 && allDigits(prefix) &&
                     LeadingDecimal(prefix) <= 32;
    if (fit) return std::nullopt;
    return ListedValueText(listing, label, value);
}

Ending StopIncomplete(Operation& run, std::string_view why) {
    run.SendCatalogueLine(CatalogueKey::EXIT_CLI, LineEnding::BlankCrLf);
    run.ShowError(why);
    return Ending::ListingIncomplete;
}

}  // namespace cofralin
