#pragma once
// What the two mode switches share: how a switch ended, the cuts that read
// values out of the router's listings, and the address derivations.
//
// How it works: a switch logs in, reads the addresses it needs from a listing
// of this run, derives the new settings from them, sends the configuration
// back to back, waits for the bare prompt and leaves the command line. Values
// are taken only from this run's listing: a listing without a needed label, or
// with a value the derivations cannot use, stops the switch before any
// configuration line is sent, so nothing half-configured is left behind.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "listing_marks.h"

namespace cofralin {

class Operation;
enum class LoginOutcome;

// How a mode switch ended. Only Switched means the router is now in the new
// mode; HalfConfigured means its mode is no longer known. The main window
// records the mode from this and nothing else.
enum class ModeSwitchResult {
    Switched,           // the whole configuration went out, was saved and read back
    PortClosed,         // no port open: nothing was sent
    Abandoned,          // the password prompt was cancelled (KeepTrying is 0)
    NoAnswer,           // a wait gave up, or the line was lost, before any configuration line
    ListingIncomplete,  // a listed value was missing or unusable: no configuration sent
    InvalidSettings,    // the typed values give no usable address: nothing sent
    NotAccepted,        // the read-back shows a setting the router did not take
    HalfConfigured,     // a wait gave up after configuration lines went out
    MissingCommand,     // a command template it needs is empty: nothing sent
};

// What the user is told when a switch gave up half-way.
inline constexpr std::string_view kHalfConfiguredText =
    "El Router puede haber quedado configurado a medias: conecte de nuevo.";
// The last line of the message that names the settings the router did not take.
inline constexpr std::string_view kSwitchNotDoneText = "El cambio de modo no se ha completado.";

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

// Messages of a switch that stopped before configuring anything.
std::string MissingLabelText(std::string_view label);
std::string UnusableValueText(std::string_view what, std::string_view value);

// How a switch stops at a log-in that did not open the command line; nothing
// when it did.
std::optional<ModeSwitchResult> LoginStop(LoginOutcome login);

// The listing did not give what the configuration needs: leaves the command
// line without having changed anything and tells why.
ModeSwitchResult StopIncomplete(Operation& run, std::string_view why);

// Sends configuration lines back to back. From the first one on, a wait that
// gives up tells the user that the router may be half-configured.
void SendConfiguration(Operation& run, const std::vector<std::string>& lines);

}  // namespace cofralin
