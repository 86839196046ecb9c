#include "single_pc.h"

#include <array>
#include <optional>
#include <utility>

#include "operation.h"
#include "read_back.h"
#include "router_copies.h"

namespace cofralin {

namespace {

// What the single-PC switch tells by itself: the progress, each line sent and
// each reply.
constexpr ExchangeDisplay kSinglePcDisplay{true, true, true};

// Every command template the switch sends, the read-back's included, with
// the DHCP server's.
constexpr std::array kSinglePcCommands{CatalogueKey::SET_ADSL_OPEN_ANSI,
                                       CatalogueKey::SHOW_VC_INTERNET,
                                       CatalogueKey::DISABLE_IP_NETWORK_LAN,
                                       CatalogueKey::DELETE_IP_NETWORK_LAN,
                                       CatalogueKey::DISABLE_VC_INTERNET,
                                       CatalogueKey::SET_VC_INTERNET_REMOTE_IP_ADDRESS,
                                       CatalogueKey::SET_VC_INTERNET_LOCAL_IP_ADDRESS,
                                       CatalogueKey::SET_VC_INTERNET_NAT_OPTION_DISABLE,
                                       CatalogueKey::SET_VC_INTERNET_DEFAULT_ROUTE_OPTION_ENABLE,
                                       CatalogueKey::ENABLE_VC_INTERNET,
                                       CatalogueKey::ENABLE_IP_NETWORK_LAN,
                                       CatalogueKey::SAVE_ALL,
                                       CatalogueKey::SHOW_DHCP_SERVER_SETTING,
                                       CatalogueKey::EXIT_CLI};

// The circuit's labels as this run's listing gave them; a later reply with a
// label overrides an earlier one.
struct VcListing {
    std::optional<std::string> remoteSubnet;
    std::optional<std::string> localAddress;
};

// Lists the internet circuit. False when the wait gave up (the user told).
bool readVc(Operation& run, VcListing& listing) {
    return run.ReadListing({CatalogueKey::SET_ADSL_OPEN_ANSI, CatalogueKey::SHOW_VC_INTERNET},
                           kVcListingMarks, [&](const std::string& reply) {
                               if (reply.find(kRemoteAddressLabel) != std::string::npos) {
                                   listing.remoteSubnet =
                                       CutRemoteSubnet(reply).value_or(std::string());
                               }
                               if (std::optional<std::string> cut = CutAfterLabel(
                                       reply, kLocalAddressLabel, kVcAddressDistance)) {
                                   listing.localAddress = std::move(cut);
                               }
                           });
}

// Fills the values read from the listing; the message that says why not otherwise.
std::optional<std::string> deriveValues(const VcListing& listing, std::string_view listingName,
                                        SinglePcValues& values) {
    if (!listing.remoteSubnet) return MissingLabelText(kRemoteAddressLabel);
    if (!listing.localAddress || listing.localAddress->empty()) {
        return MissingLabelText(kLocalAddressLabel);
    }
    // What a listing gives passes the checks a typed value passes.
    if (auto why = CheckListedSubnet(listingName, kRemoteAddressLabel, *listing.remoteSubnet)) {
        return why;
    }
    if (auto why = CheckListedAddress(listingName, kLocalAddressLabel, *listing.localAddress)) {
        return why;
    }
    const std::optional<std::string> remoteFirstHost = RemoteFirstHost(*listing.remoteSubnet);
    if (!remoteFirstHost) {
        return UnusableValueText(
            "La dirección remota del Router, que debe llevar un "
            "prefijo entre 24 y 32,",
            *listing.remoteSubnet);
    }
    values.remoteFirstHost = *remoteFirstHost;
    values.vcLocalAddress = *listing.localAddress;
    return std::nullopt;
}

// The switch from the typed values to the exit, on an open port.
Ending switchToSinglePc(Operation& run, const SinglePcInput& input) {
    // Typed values that give no usable gateway are refused before any contact.
    SinglePcValues values;
    if (const std::optional<std::string> gateway = MgmtGateway(input.mgmtAddress, input.mgmtMask)) {
        values.mgmtGateway = *gateway;
    } else {
        run.ShowError(
            UnusableValueText("La puerta de enlace de gestión calculada a partir de "
                              "la dirección y la máscara",
                              input.mgmtAddress + "/" + input.mgmtMask));
        return Ending::InvalidValue;
    }
    if (const auto stop = LoginEnding(run.LogIn(false))) return *stop;

    VcListing listing;
    if (!readVc(run, listing)) return run.GaveUp();
    run.read().vcRemoteSubnet = listing.remoteSubnet;
    run.read().vcLocalAddress = listing.localAddress;
    if (const std::optional<std::string> why = deriveValues(
            listing, Trimmed(run.catalogue()[CatalogueKey::SHOW_VC_INTERNET]), values)) {
        return StopIncomplete(run, *why);
    }
    const ConfigurationLines lines = SinglePcLines(run.catalogue(), input, values);
    if (run.DryRun()) return run.Plan(lines);
    if (const auto stop = KeepCopy(run, "monopuesto " + input.mgmtAddress + "/" + input.mgmtMask)) {
        return *stop;
    }
    run.SendConfiguration(lines);
    if (!run.AwaitPrompt(AwaitOrder::DrainFirst)) return run.GaveUp();
    if (const std::vector<Refusal> refused = run.Refusals(); !refused.empty()) {
        return run.StopRefused(refused, kSwitchNotDoneHalfText);
    }
    return ReadBackAndLeave(
        run, SentSettings{.dhcpServerOn = true,
                          .vcLocalAddress = input.mgmtAddress,
                          .vcRemoteSubnet = values.mgmtGateway + "/" + input.mgmtMask,
                          .dhcpRouter = RemoteRouter(values.remoteFirstHost),
                          .dhcpStart = values.vcLocalAddress});
}

}  // namespace

ConfigurationLines SinglePcLines(const CommandCatalogue& catalogue, const SinglePcInput& input,
                                 const SinglePcValues& values) {
    const auto blank = LineEnding::BlankCrLf;
    const auto line =
        [&](CatalogueKey key,
            std::initializer_list<std::pair<std::string_view, std::string_view>> substitutions =
                {}) { return CatalogueLine(catalogue, key, blank, substitutions); };
    ConfigurationLines lines{line(CatalogueKey::DISABLE_IP_NETWORK_LAN),
                             line(CatalogueKey::DELETE_IP_NETWORK_LAN)};
    const std::string remoteRouter = RemoteRouter(values.remoteFirstHost);
    const ConfigurationLines dhcp = DhcpServerLines(
        catalogue, blank, {values.remoteFirstHost, values.vcLocalAddress, remoteRouter});
    lines.insert(lines.end(), dhcp.begin(), dhcp.end());
    lines.insert(
        lines.end(),
        {line(CatalogueKey::DISABLE_VC_INTERNET),
         line(CatalogueKey::SET_VC_INTERNET_REMOTE_IP_ADDRESS,
              {{kAddressToken, values.mgmtGateway}, {kMaskToken, input.mgmtMask}}),
         line(CatalogueKey::SET_VC_INTERNET_LOCAL_IP_ADDRESS, {{kAddressToken, input.mgmtAddress}}),
         line(CatalogueKey::SET_VC_INTERNET_NAT_OPTION_DISABLE),
         ComposeLine("delete filter filtro", blank),
         line(CatalogueKey::SET_VC_INTERNET_DEFAULT_ROUTE_OPTION_ENABLE),
         line(CatalogueKey::ENABLE_VC_INTERNET), line(CatalogueKey::DISABLE_IP_NETWORK_LAN),
         line(CatalogueKey::ENABLE_IP_NETWORK_LAN), line(CatalogueKey::SAVE_ALL)});
    return lines;
}

Outcome RunSinglePcSwitch(RouterSession& session, Frontend& frontend, const SinglePcInput& input) {
    Operation run(session, frontend, kSinglePcDisplay,
                  RunStart{.keepTrying = true, .countFromZero = true});
    if (!run.RequirePort()) return run.Finish(run.GaveUp());
    if (!run.RequireTemplates(kSinglePcCommands) || !run.RequireTemplates(kDhcpServerCommands)) {
        return run.Finish(Ending::MissingCommand);
    }
    return run.Finish(switchToSinglePc(run, input));
}

}  // namespace cofralin
