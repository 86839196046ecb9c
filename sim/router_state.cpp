#include "router_state.h"

#include <cstdio>

namespace cofralin {

namespace {

// Digits only, at most `maxDigits` of them, value at most `limit`.
std::optional<unsigned long> parseDecimal(std::string_view text, std::size_t maxDigits,
                                          unsigned long limit) {
    if (text.empty() || text.size() > maxDigits) return std::nullopt;
    unsigned long value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<unsigned long>(c - '0');
    }
    if (value > limit) return std::nullopt;
    return value;
}

std::uint32_t toNumber(const Ipv4Address& address) {
    std::uint32_t value = 0;
    for (const auto octet : address.octets) value = (value << 8) | octet;
    return value;
}

}  // namespace

std::optional<Ipv4Address> parseIpv4(std::string_view text) {
    Ipv4Address address;
    for (std::size_t i = 0; i < 4; ++i) {
        const std::size_t dot = text.find('.');
        const bool last = i == 3;
        if (last != (dot == std::string_view::npos)) return std::nullopt;
        const auto octet = parseDecimal(text.substr(0, dot), 3, 255);
        if (!octet) return std::nullopt;
        address.octets[i] = static_cast<std::uint8_t>(*octet);
        if (!last) text.remove_prefix(dot + 1);
    }
    return address;
}

std::string formatPadded(const Ipv4Address& address) {
    char text[16];
    std::snprintf(text, sizeof text, "%03u.%03u.%03u.%03u", address.octets[0], address.octets[1],
                  address.octets[2], address.octets[3]);
    return text;
}

Ipv4Address maskFromPrefix(int prefix) {
    const std::uint32_t bits =
        prefix <= 0 ? 0u : (prefix >= 32 ? 0xffffffffu : ~((1u << (32 - prefix)) - 1u));
    Ipv4Address mask;
    for (int i = 0; i < 4; ++i) mask.octets[i] = static_cast<std::uint8_t>(bits >> (24 - 8 * i));
    return mask;
}

std::optional<int> prefixFromMask(const Ipv4Address& mask) {
    const std::uint32_t bits = toNumber(mask);
    int prefix = 0;
    while (prefix < 32 && (bits & (0x80000000u >> prefix)) != 0) ++prefix;
    if (maskFromPrefix(prefix) != mask) return std::nullopt;
    return prefix;
}

std::optional<AddressWithPrefix> parseAddressWithPrefix(std::string_view text) {
    const std::size_t slash = text.find('/');
    if (slash == std::string_view::npos) return std::nullopt;
    const auto address = parseIpv4(text.substr(0, slash));
    if (!address) return std::nullopt;
    const std::string_view tail = text.substr(slash + 1);
    std::optional<int> prefix;
    if (tail.find('.') != std::string_view::npos) {
        if (const auto mask = parseIpv4(tail)) prefix = prefixFromMask(*mask);
    } else if (const auto length = parseDecimal(tail, 2, 32)) {
        prefix = static_cast<int>(*length);
    }
    if (!prefix) return std::nullopt;
    return AddressWithPrefix{*address, *prefix};
}

std::optional<std::uint16_t> parsePort(std::string_view text) {
    // Leading zeros are harmless; the edits of the program admit any run of digits.
    while (text.size() > 1 && text.front() == '0') text.remove_prefix(1);
    const auto value = parseDecimal(text, 5, 65535);
    if (!value || *value == 0) return std::nullopt;
    return static_cast<std::uint16_t>(*value);
}

std::optional<NatMapping> parseMappingSpec(std::string_view text) {
    std::string_view fields[4];
    for (int i = 0; i < 4; ++i) {
        const std::size_t colon = text.find(':');
        if ((i == 3) != (colon == std::string_view::npos)) return std::nullopt;
        fields[i] = text.substr(0, colon);
        if (i < 3) text.remove_prefix(colon + 1);
    }
    NatMapping mapping;
    if (fields[0] == "udp") {
        mapping.protocol = NatProtocol::Udp;
    } else if (fields[0] == "tcp") {
        mapping.protocol = NatProtocol::Tcp;
    } else {
        return std::nullopt;
    }
    const auto publicPort = parsePort(fields[1]);
    const auto address = parseIpv4(fields[2]);
    const auto privatePort = parsePort(fields[3]);
    if (!publicPort || !address || !privatePort) return std::nullopt;
    mapping.publicPort = *publicPort;
    mapping.privateAddress = *address;
    mapping.privatePort = *privatePort;
    return mapping;
}

}  // namespace cofralin
