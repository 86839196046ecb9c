#pragma once
// What the two mode switches share: how a switch ended, the cuts that read
// values out of the router's listings, and the address derivations.
//
// How it works: a switch logs in, reads the addresses it needs from a listing
// of this run, derives the new settings from them, sends the configuration
// back to back, waits for the bare prompt, reads the router back and leaves
// the command line. Only Ending::Done means the router is now in the new
// mode; HalfConfigured means its mode is no longer known. Values
// are taken only from this run's listing: a listing without a needed label, or
// with a value the derivations cannot use, stops the switch before any
// configuration line is sent, so nothing half-configured is left behind.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "listing_marks.h"
#include "outcome.h"

namespace cofralin {

class Operation;

// Distances from a label's first character to its value in the listings.
inline constexpr std::size_t kVcAddressDistance = 43;
inline constexpr std::size_t kDhcpAddressDistance = 19;
// The width of an address printed with zero-padded octets.
inline constexpr std::size_t kAddressCutWidth = 15;

// Up to `width` characters that start `distance` characters after the first
// occurrence of `label` in `reply`, ended early by a blank, CR or LF so that the
// router's line end never reaches a command line. Nothing when the label is absent.
std::optional<std::string> CutAfterLabel(std::string_view reply, std::string_view label,
                                         std::size_t distance,
                                         std::size_t width = kAddressCutWidth);

// The text after "Remote IP Address:" (at the usual distance) up to the first
// blank, CR or LF. Nothing when the label is absent or the value is not ended.
std::optional<std::string> CutRemoteSubnet(std::string_view reply);

// The value of the leading decimal digits of `text`; 0 when it has none.
// Saturates instead of overflowing.
long LeadingDecimal(std::string_view text);

// The last octet of the netmask of a prefix length from 24 to 32.
std::optional<int> OctetMaskForPrefix(long prefixLength);

// A subnet "a.b.c.d/p" with its last octet replaced by the first host number
// of the subnet, prefix kept: "192.168.1.194/26" gives "192.168.1.193/26".
// Nothing when the text is not of that form, the prefix lies outside 24 to 32,
// or the host number would not fit in an octet.
std::optional<std::string> RemoteFirstHost(std::string_view vcRemoteSubnet);

// `RemoteFirstHost` up to, not including, its first "/".
std::string RemoteRouter(std::string_view remoteFirstHost);

// The first three octets of `address` and, as the last, (A AND M) + `offset`,
// A and M being the last octets of `address` and `mask`. Nothing when `address`
// has no "." or the last octet would not fit.
std::optional<std::string> HostInSubnet(std::string_view address, std::string_view mask,
                                        int offset);

// The management gateway of single-PC mode: the first host of the management subnet.
inline std::optional<std::string> MgmtGateway(std::string_view mgmtAddress,
                                              std::string_view mgmtMask) {
    return HostInSubnet(mgmtAddress, mgmtMask, 1);
}

// The remote address of the internet circuit in multi-PC mode: the host after
// the DHCP default router.
inline std::optional<std::string> VcRemoteAddress(std::string_view dhcpRouter,
                                                  std::string_view dhcpMask) {
    return HostInSubnet(dhcpRouter, dhcpMask, 2);
}

// The checks a typed value passes, for a value cut from a listing: nothing
// when it is fit to go into a command line, else the message that names the
// listing `listing`, the label and the value. An address is four decimal
// octets of 0 to 255; a mask is such an address with its one bits first; a
// subnet is an address, "/" and a prefix length of 0 to 32.
std::optional<std::string> CheckListedAddress(std::string_view listing, std::string_view label,
                                              std::string_view value);
std::optional<std::string> CheckListedMask(std::string_view listing, std::string_view label,
                                           std::string_view value);
std::optional<std::string> CheckListedSubnet(std::string_view listing, std::string_view label,
                                             std::string_view value);

// The listing did not give what the configuration needs: leaves the command
// line without having changed anything and tells why.
Ending StopIncomplete(Operation& run, std::string_view why);

}  // namespace cofralin
