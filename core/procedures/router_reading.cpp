#include "router_reading.h"

#include <array>
#include <span>

#include "listing_marks.h"
#include "mode_switch.h"
#include "operation.h"
#include "port_mappings.h"
#include "software_update.h"

namespace cofralin {

namespace {

// A progress bar, nothing shown: the listings are the result, not the status.
constexpr ExchangeDisplay kReadingDisplay{true, false, false};

}  // namespace

const std::array<CatalogueKey, 4> kReadingCommands{
    CatalogueKey::SHOW_SYSTEM, CatalogueKey::SHOW_VC_INTERNET,
    CatalogueKey::SHOW_DHCP_SERVER_SETTING, CatalogueKey::EXIT_CLI};

bool ReadListings(Operation& run, RouterListings& listings) {
    // A system listing without its label has come once its command's echo
    // has, as the software update reads it.
    const std::array<std::string_view, 2> systemMarks{
        kSystemVersionLabel, Trimmed(run.catalogue()[CatalogueKey::SHOW_SYSTEM])};
    const struct {
        CatalogueKey command;
        std::span<const std::string_view> marks;
        std::string* into;
    } steps[] = {
        {CatalogueKey::SHOW_SYSTEM, systemMarks, &listings.system},
        {CatalogueKey::SHOW_VC_INTERNET, kVcListingMarks, &listings.vc},
        {CatalogueKey::SHOW_DHCP_SERVER_SETTING, kDhcpListingMarks, &listings.dhcpServer},
    };
    for (const auto& step : steps) {
        std::string* into = step.into;
        if (!into->empty()) continue;
        if (!run.ReadListing({step.command}, step.marks,
                             [into](const std::string& reply) { *into += reply; })) {
            return false;
        }
    }
    return true;
}

namespace {

Ending readState(Operation& run, RouterListings& listings) {
    if (!run.RequirePort()) return run.GaveUp();
    if (!run.RequireTemplates(kReadingCommands)) return Ending::MissingCommand;
    if (const auto stop = LoginEnding(run.LogIn(false))) return *stop;
    const bool listed = ReadListings(run, listings);
    // From the echo of each command on, as a copy taken before a change keeps them.
    listings = run.heardListings();
    run.read() = ReadingOfListings(listings);
    if (!listed) return run.GaveUp();
    // Its answer stays on the line for the next drain.
    run.SendCatalogueLine(CatalogueKey::EXIT_CLI, LineEnding::BlankCrLf);
    return Ending::Done;
}

}  // namespace

RouterReading ReadingOfListings(const RouterListings& listings) {
    RouterReading reading;
    if (const std::string version = CutRouterVersion(listings.system); !version.empty()) {
        reading.routerVersion = version;
    }

    const std::string& vc = listings.vc;
    reading.vcLocalAddress = CutAfterLabel(vc, kLocalAddressLabel, kVcAddressDistance);
    reading.vcRemoteSubnet = CutRemoteSubnet(vc);
    if (!vc.empty()) reading.mappings = ParseMappingTables(vc);

    const std::string& dhcp = listings.dhcpServer;
    if (dhcp.find(kDhcpDisabledWord) != std::string::npos) {
        reading.dhcpEnabled = false;
        reading.mode = RouterMode::MultiPc;
    } else if (dhcp.find(kDhcpEnabledWord) != std::string::npos) {
        reading.dhcpEnabled = true;
        reading.mode = RouterMode::SinglePc;
    }
    reading.dhcpRouter = CutAfterLabel(dhcp, kDhcpRouterLabel, kDhcpAddressDistance);
    reading.dhcpMask = CutAfterLabel(dhcp, kDhcpMaskLabel, kDhcpAddressDistance);
    reading.dhcpStart = CutAfterLabel(dhcp, kDhcpStartLabel, kDhcpAddressDistance);
    return reading;
}

RouterStateReading ReadRouterState(RouterSession& session, Frontend& frontend) {
    Operation run(session, frontend, kReadingDisplay,
                  RunStart{.keepTrying = true, .countFromZero = true});
    RouterStateReading reading;
    const Ending ending = readState(run, reading.listings);
    reading.outcome = run.Finish(ending);
    return reading;
}

}  // namespace cofralin
