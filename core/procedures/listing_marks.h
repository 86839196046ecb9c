#pragma once
// The labels and titles by which the router's listings are read, and by which
// a wait knows that a listing has come: a bare prompt that arrives before any
// of them is the answer to an earlier nudge, not the end of the listing.

#include <array>
#include <string_view>

namespace cofralin {

// "show vc internet".
inline constexpr std::string_view kRemoteAddressLabel = "Remote IP Address:";
inline constexpr std::string_view kLocalAddressLabel = "Local IP Address:";
inline constexpr std::string_view kUdpTableTitle = "Port Address Translation, Static UDP Ports";
inline constexpr std::string_view kTcpTableTitle = "Port Address Translation, Static TCP Ports";
// The router's answer when it has no internet circuit to list.
inline constexpr std::string_view kVcMissingText = "not in table";

// "show dhcp server".
inline constexpr std::string_view kDhcpRouterLabel = "IP Router:";
inline constexpr std::string_view kDhcpMaskLabel = "IP Mask:";
inline constexpr std::string_view kDhcpStartLabel = "Start IP Address:";
inline constexpr std::string_view kDhcpEnabledWord = "ENABLED";
inline constexpr std::string_view kDhcpDisabledWord = "DISABLED";

// "show system".
inline constexpr std::string_view kSystemVersionLabel = "System Version:";

inline constexpr std::array<std::string_view, 5> kVcListingMarks{
    kRemoteAddressLabel, kLocalAddressLabel, kUdpTableTitle, kTcpTableTitle, kVcMissingText};
inline constexpr std::array<std::string_view, 5> kDhcpListingMarks{
    kDhcpRouterLabel, kDhcpMaskLabel, kDhcpStartLabel, kDhcpEnabledWord, kDhcpDisabledWord};

}  // namespace cofralin
