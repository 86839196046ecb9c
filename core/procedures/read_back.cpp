#include "read_back.h"

#include <algorithm>
#include <bit>
#include <cstdint>

#include "listing_marks.h"
#include "operation.h"
#include "value_checks.h"
#include "windows_1252.h"

namespace cofralin {

namespace {

// "address/mask" or "address/length" as its address and prefix length.
std::optional<std::pair<std::uint32_t, int>> subnetOf(std::string_view text) {
    const std::size_t slash = text.find('/');
    if (slash == std::string_view::npos) return std::nullopt;
    const std::optional<std::uint32_t> address = ParseIpv4(text.substr(0, slash));
    const std::string_view after = text.substr(slash + 1);
    if (!address || after.empty()) return std::nullopt;
    if (const std::optional<std::uint32_t> mask = ParseIpv4(after)) {
        if (!IsContiguousMask(after)) return std::nullopt;
        return std::pair{*address, std::popcount(*mask)};
    }
    if (after.size() > 2 ||
        !std::all_of(after.begin(), after.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    const int prefix = std::stoi(std::string(after));
    if (prefix > 32) return std::nullopt;
    return std::pair{*address, prefix};
}

}  // namespace

bool SameSubnet(std::string_view a, std::string_view b) {
    const auto x = subnetOf(a);
    const auto y = subnetOf(b);
    return x && y && *x == *y;
}

std::vector<std::string> SettingsNotTaken(const SentSettings& sent,
                                          const ReadBackListings& listed) {
    std::vector<std::string> lines;
    // Read as the connection reads it: "DISABLED" wins over "ENABLED".
    const bool disabled = listed.dhcpServer.find(kDhcpDisabledWord) != std::string::npos;
    const bool enabled = !disabled && listed.dhcpServer.find(kDhcpEnabledWord) != std::string::npos;
    if (sent.dhcpServerOn ? !enabled : !disabled) {
        lines.push_back(sent.dhcpServerOn ? "El Router no aceptó activar el servidor DHCP."
                                          : "El Router no aceptó desactivar el servidor DHCP.");
    }
    const auto compare = [&](const std::optional<std::string>& value, std::string_view listing,
                             std::string_view label, std::size_t distance, std::string_view what) {
        if (!value) return;
        const std::optional<std::string> shown = CutAfterLabel(listing, label, distance);
        if (!shown || !SameAddress(*shown, *value)) lines.push_back(NotTakenText(what, *value));
    };
    compare(sent.dhcpStart, listed.dhcpServer, kDhcpStartLabel, kDhcpAddressDistance,
            "la dirección inicial del servidor DHCP");
    compare(sent.dhcpRouter, listed.dhcpServer, kDhcpRouterLabel, kDhcpAddressDistance,
            "la puerta de enlace del servidor DHCP");
    const std::optional<std::string> remote = CutRemoteSubnet(listed.circuit);
    if (!remote || !SameSubnet(*remote, sent.vcRemoteSubnet)) {
        lines.push_back(NotTakenText("la dirección remota del circuito", sent.vcRemoteSubnet));
    }
    compare(sent.vcLocalAddress, listed.circuit, kLocalAddressLabel, kVcAddressDistance,
            "la dirección local del circuito");
    return lines;
}

Ending ReadBackAndLeave(Operation& run, const SentSettings& sent,
                        const std::function<void()>& eachReply) {
    ReadBackListings listings;
    const auto collect = [&](std::string& into) {
        return [&into, &eachReply](const std::string& reply) {
            into += reply;
            if (eachReply) eachReply();
        };
    };
    if (!run.ReadListing({CatalogueKey::SHOW_DHCP_SERVER_SETTING}, kDhcpListingMarks,
                         collect(listings.dhcpServer)) ||
        !run.ReadListing({CatalogueKey::SHOW_VC_INTERNET}, kVcListingMarks,
                         collect(listings.circuit))) {
        return run.GaveUp();
    }
    run.SendCatalogueLine(CatalogueKey::EXIT_CLI, LineEnding::BlankCrLf);
    const std::vector<std::string> refused = SettingsNotTaken(sent, listings);
    if (refused.empty()) return Ending::Done;
    std::string text;
    for (const std::string& line : refused) text += line + "\n";
    text += kSwitchNotDoneHalfText;
    run.ShowError(text);
    return Ending::NotAccepted;
}

}  // namespace cofralin
