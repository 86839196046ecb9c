#pragma once
// Checks of the values the user types, made before anything is sent to the
// router, so that a refused value can be corrected where it was typed.
// Addresses and masks are dotted decimal as the address fields give them;
// ports are the digits of the port edits.
//
//   ParseIpv4            the address as a number, or nothing
//   SameAddress          two dotted addresses, octet by octet as numbers
//   IsContiguousMask     all one bits before all zero bits
//   IsHostOfSubnet       neither the network nor the broadcast address
//   IsHostAddress        an address one machine can have
//   IsPortNumber         1 to 65535
//   Check*Values         the first value refused, with its message

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace cofralin {

// Four decimal fields of one to three digits, each at most 255, between dots.
std::optional<std::uint32_t> ParseIpv4(std::string_view dotted);

// "a.b.c.d" with its octets as plain numbers ("192.000.002.010" is
// "192.0.2.10"); nothing when it is not four decimal fields of 0 to 255.
std::optional<std::string> PlainAddress(std::string_view dotted);

// The dotted mask of a prefix length from 0 to 32 (24 is "255.255.255.0").
std::string MaskOfPrefix(int prefixLength);

// Both are addresses and the same one, whatever zeros pad their octets:
// "192.000.002.010" is "192.0.2.10".
bool SameAddress(std::string_view a, std::string_view b);

// A mask whose one bits all stand before its zero bits: 255.255.255.240 is,
// 255.0.255.0 and 255.255.0.255 are not. Not a mask at all: false.
bool IsContiguousMask(std::string_view mask);

// `address` is a host of the subnet that `mask` makes of it: the mask is
// contiguous and not 0.0.0.0, and the address is neither the subnet's network
// address (host bits all zero) nor its broadcast address (host bits all one).
// So a mask of /31 or /32 leaves no host.
bool IsHostOfSubnet(std::string_view address, std::string_view mask);

// An address a single machine can have: not 0.x.x.x, not loopback
// (127.x.x.x), not multicast or reserved (224 and above).
bool IsHostAddress(std::string_view address);

// Only digits, at most five of them, worth 1 to 65535.
bool IsPortNumber(std::string_view text);

// The values a user gives.
enum class ValueField {
    MgmtAddress,
    MgmtMask,
    LanAddress,
    LanMask,
    DefaultStation,
    PublicPort,
    PrivatePort,
    PrivateAddress,
};

// A value refused: which one, and a Spanish message that names it and says why.
struct RefusedValue {
    ValueField field;
    std::string message;
};

// The single-PC switch: the management mask, then the management address.
std::optional<RefusedValue> CheckSinglePcValues(std::string_view mgmtAddress,
                                                std::string_view mgmtMask);

// The multi-PC switch: the LAN mask, the LAN address, then a default station
// other than "0.0.0.0", which must be a host of the LAN.
std::optional<RefusedValue> CheckMultiPcValues(std::string_view lanAddress,
                                               std::string_view lanMask,
                                               std::string_view defaultStation);

// A new port mapping: the public port, the private port (empty stands for
// the public one) and the private address. An empty public port and the
// address "0.0.0.0" are not refused here: the add itself says they are missing.
std::optional<RefusedValue> CheckMappingValues(std::string_view publicPort,
                                               std::string_view privatePort,
                                               std::string_view privateAddress);

}  // namespace cofralin
