#include "value_checks.h"

#include "multi_pc.h"
#include "port_mappings.h"
#include "single_pc.h"
#include "windows_1252.h"

namespace cofralin {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

std::string quoted(std::string_view value) { return " (" + Windows1252ToUtf8(value) + ")"; }

constexpr std::string_view kMaskHint =
    " no es válida: debe ser una máscara contigua distinta de 0.0.0.0, como 255.255.255.0.";

bool isUsableMask(std::string_view mask) {
    return IsContiguousMask(mask) && ParseIpv4(mask).value_or(0) != 0;
}

std::string notHostText(std::string_view what, std::string_view address, std::string_view mask) {
    return std::string(what) + quoted(address) +
           " no es una dirección de equipo de su subred (máscara " + Windows1252ToUtf8(mask) +
           "): no puede ser la dirección de la red ni la de difusión.";
}

}  // namespace

std::optional<std::uint32_t> ParseIpv4(std::string_view dotted) {
    std::uint32_t address = 0;
    int fields = 0;
    std::size_t at = 0;
    for (;;) {
        std::size_t digits = 0;
        unsigned value = 0;
        while (at < dotted.size() && isDigit(dotted[at])) {
            if (++digits > 3) return std::nullopt;
            value = value * 10 + static_cast<unsigned>(dotted[at] - '0');
            ++at;
        }
        if (digits == 0 || value > 255) return std::nullopt;
        address = (address << 8) | value;
        if (++fields == 4) break;
        if (at >= dotted.size() || dotted[at] != '.') return std::nullopt;
        ++at;
    }
    if (at != dotted.size()) return std::nullopt;
    return address;
}

namespace {

std::string dotted(std::uint32_t value) {
    return std::to_string(value >> 24) + "." + std::to_string((value >> 16) & 0xFF) + "." +
           std::to_string((value >> 8) & 0xFF) + "." + std::to_string(value & 0xFF);
}

}  // namespace

std::optional<std::string> PlainAddress(std::string_view text) {
    const std::optional<std::uint32_t> value = ParseIpv4(text);
    if (!value) return std::nullopt;
    return dotted(*value);
}

std::string MaskOfPrefix(int prefixLength) {
    return dotted(prefixLength <= 0 ? 0 : ~std::uint32_t{0} << (32 - prefixLength));
}

bool SameAddress(std::string_view a, std::string_view b) {
    const std::optional<std::uint32_t> x = ParseIpv4(a);
    return x && x == ParseIpv4(b);
}

bool IsContiguousMask(std::string_view mask) {
    const std::optional<std::uint32_t> bits = ParseIpv4(mask);
    if (!bits) return false;
    // The zero bits, inverted, are a run of ones from the bottom: one more is a power of two.
    const std::uint32_t hostBits = ~*bits;
    return (hostBits & (hostBits + 1)) == 0;
}

bool IsHostOfSubnet(std::string_view address, std::string_view mask) {
    const std::optional<std::uint32_t> host = ParseIpv4(address);
    if (!host || !isUsableMask(mask)) return false;
    const std::uint32_t hostBits = ~*ParseIpv4(mask);
    const std::uint32_t part = *host & hostBits;
    return part != 0 && part != hostBits;
}

bool IsHostAddress(std::string_view address) {
    const std::optional<std::uint32_t> host = ParseIpv4(address);
    if (!host) return false;
    const std::uint32_t first = *host >> 24;
    return first != 0 && first != 127 && first < 224;
}

bool IsPortNumber(std::string_view text) {
    if (text.empty() || text.size() > 5) return false;
    unsigned value = 0;
    for (const char c : text) {
        if (!isDigit(c)) return false;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    return value >= 1 && value <= 65535;
}

std::optional<RefusedValue> CheckSinglePcValues(std::string_view mgmtAddress,
                                                std::string_view mgmtMask) {
    if (!isUsableMask(mgmtMask)) {
        return RefusedValue{ValueField::MgmtMask,
                            "La máscara IP de gestión" + quoted(mgmtMask) + std::string(kMaskHint)};
    }
    if (!IsHostOfSubnet(mgmtAddress, mgmtMask)) {
        return RefusedValue{ValueField::MgmtAddress,
                            notHostText("La dirección IP de gestión", mgmtAddress, mgmtMask)};
    }
    return std::nullopt;
}

std::optional<RefusedValue> CheckMultiPcValues(std::string_view lanAddress,
                                               std::string_view lanMask,
                                               std::string_view defaultStation) {
    if (!isUsableMask(lanMask)) {
        return RefusedValue{ValueField::LanMask, "La máscara IP de la red local" + quoted(lanMask) +
                                                     std::string(kMaskHint)};
    }
    if (!IsHostOfSubnet(lanAddress, lanMask)) {
        return RefusedValue{ValueField::LanAddress,
                            notHostText("La dirección IP de la red local", lanAddress, lanMask)};
    }
    if (defaultStation == kNoDefaultStation) return std::nullopt;
    const std::optional<std::uint32_t> station = ParseIpv4(defaultStation);
    const std::uint32_t maskBits = *ParseIpv4(lanMask);
    if (!station || (*station & maskBits) != (*ParseIpv4(lanAddress) & maskBits) ||
        !IsHostOfSubnet(defaultStation, lanMask)) {
        return RefusedValue{ValueField::DefaultStation,
                            "La estación por defecto" + quoted(defaultStation) +
                                " no es una dirección de equipo de la red local " +
                                Windows1252ToUtf8(lanAddress) + "/" + Windows1252ToUtf8(lanMask) +
                                ": indique una de ellas, o 0.0.0.0 para ninguna."};
    }
    return std::nullopt;
}

std::optional<RefusedValue> CheckMappingValues(std::string_view publicPort,
                                               std::string_view privatePort,
                                               std::string_view privateAddress) {
    constexpr std::string_view kPortHint = " no es válido: indique un número de 1 a 65535.";
    if (!publicPort.empty() && !IsPortNumber(publicPort)) {
        return RefusedValue{ValueField::PublicPort,
                            "El puerto público" + quoted(publicPort) + std::string(kPortHint)};
    }
    if (!privatePort.empty() && !IsPortNumber(privatePort)) {
        return RefusedValue{ValueField::PrivatePort,
                            "El puerto privado" + quoted(privatePort) + std::string(kPortHint)};
    }
    if (privateAddress != kNoPrivateAddress && !IsHostAddress(privateAddress)) {
        return RefusedValue{ValueField::PrivateAddress,
                            "La dirección privada" + quoted(privateAddress) +
                                " no es una dirección de equipo: indique la del equipo de la red "
                                "local que recibe el puerto."};
    }
    return std::nullopt;
}

}  // namespace cofralin
