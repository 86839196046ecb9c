#include "multi_pc.h"

#include <array>
#include <optional>
#include <utility>

#include "operation.h"
#include "read_back.h"
#include "router_copies.h"

namespace cofralin {

namespace {

// What the multi-PC switch tells by itself: the progress, nothing else.
constexpr ExchangeDisplay kMultiPcDisplay{true, false, false};

// The command templates the opening sends.
constexpr std::array kOpeningCommands{CatalogueKey::SHOW_VC_INTERNET, CatalogueKey::EXIT_CLI};
// Every command template OK sends, the read-back's included, and the one it
// sends only for a default station.
constexpr std::array kMultiPcCommands{CatalogueKey::SET_ADSL_OPEN_ANSI,
                                      CatalogueKey::SHOW_DHCP_SERVER_SETTING,
                                      CatalogueKey::DISABLE_IP_NETWORK_LAN,
                                      CatalogueKey::DELETE_IP_NETWORK_LAN,
                                      CatalogueKey::ADD_IP_NETWORK_LAN_ADDRESS_ENABLE_YES,
                                      CatalogueKey::DISABLE_VC_INTERNET,
                                      CatalogueKey::SET_VC_INTERNET_REMOTE_IP_ADDRESS,
                                      CatalogueKey::SET_VC_INTERNET_LOCAL_IP_ADDRESS,
                                      CatalogueKey::SET_VC_INTERNET_NAT_OPTION_ENABLE,
                                      CatalogueKey::ENABLE_VC_INTERNET,
                                      CatalogueKey::SET_DHCP_MODE_DISABLE,
                                      CatalogueKey::SAVE_ALL,
                                      CatalogueKey::SHOW_VC_INTERNET,
                                      CatalogueKey::EXIT_CLI};
constexpr std::array kDefaultStationCommand{CatalogueKey::SET_VC_INTERNET_NAT_DEFAULT_ADDRESS};

// Reads the circuit's local address of this run's listing into the reading.
// Logs out when the listing ended at the bare prompt.
Ending readMgmtAddress(Operation& run) {
    if (!run.RequirePort()) return run.GaveUp();
    if (!run.RequireTemplates(kOpeningCommands)) return Ending::MissingCommand;
    if (const auto stop = LoginEnding(run.LogIn(false))) return *stop;
    const auto take = [&](const std::string& reply) {
        if (std::optional<std::string> cut =
                CutAfterLabel(reply, kLocalAddressLabel, kVcAddressDistance)) {
            run.read().vcLocalAddress = std::move(*cut);
        }
    };
    if (!run.ReadListing({CatalogueKey::SHOW_VC_INTERNET}, kVcListingMarks, take) ||
        !run.AwaitPrompt(AwaitOrder::DrainFirst)) {
        return run.GaveUp();
    }
    run.SendCatalogueLine(CatalogueKey::EXIT_CLI, LineEnding::BlankCrLf);
    return Ending::Done;
}

// The DHCP server's labels as this run's listing gave them; a later reply with
// a label overrides an earlier one.
struct DhcpListing {
    std::optional<std::string> router;
    std::optional<std::string> mask;
    std::optional<std::string> start;
};

// Lists the DHCP server, showing each reply. False when the wait gave up.
bool readDhcpServer(Operation& run, DhcpListing& listing) {
    return run.ReadListing(
        {CatalogueKey::SET_ADSL_OPEN_ANSI, CatalogueKey::SHOW_DHCP_SERVER_SETTING},
        kDhcpListingMarks, [&](const std::string& reply) {
            for (const auto& [value, label] : {std::pair{&listing.router, kDhcpRouterLabel},
                                               std::pair{&listing.mask, kDhcpMaskLabel},
                                               std::pair{&listing.start, kDhcpStartLabel}}) {
                if (std::optional<std::string> cut =
                        CutAfterLabel(reply, label, kDhcpAddressDistance)) {
                    *value = std::move(cut);
                }
            }
            run.ShowReply();
        });
}

// Fills the values from the listing; the message that says why not otherwise.
std::optional<std::string> deriveValues(const DhcpListing& listing, std::string_view listingName,
                                        MultiPcValues& values) {
    for (const auto& [value, label] :
         {std::pair{&listing.router, kDhcpRouterLabel}, std::pair{&listing.mask, kDhcpMaskLabel},
          std::pair{&listing.start, kDhcpStartLabel}}) {
        if (!*value || (*value)->empty()) return MissingLabelText(label);
    }
    // What a listing gives passes the checks a typed value passes.
    if (auto why = CheckListedAddress(listingName, kDhcpRouterLabel, *listing.router)) return why;
    if (auto why = CheckListedMask(listingName, kDhcpMaskLabel, *listing.mask)) return why;
    if (auto why = CheckListedAddress(listingName, kDhcpStartLabel, *listing.start)) return why;
    const std::optional<std::string> remote = VcRemoteAddress(*listing.router, *listing.mask);
    if (!remote) {
        return UnusableValueText(
            "La dirección remota calculada a partir del "
            "servidor DHCP del Router",
            *listing.router + "/" + *listing.mask);
    }
    values = MultiPcValues{*listing.mask, *listing.start, *remote};
    return std::nullopt;
}

// The switch from the log-in to the exit, on an open port.
Ending switchToMultiPc(Operation& run, const MultiPcInput& input) {
    if (const auto stop = LoginEnding(run.LogIn(true))) return *stop;
    DhcpListing listing;
    if (!readDhcpServer(run, listing)) return run.GaveUp();
    run.read().dhcpRouter = listing.router;
    run.read().dhcpMask = listing.mask;
    run.read().dhcpStart = listing.start;
    MultiPcValues values;
    if (const std::optional<std::string> why = deriveValues(
            listing, Trimmed(run.catalogue()[CatalogueKey::SHOW_DHCP_SERVER_SETTING]), values)) {
        return StopIncomplete(run, *why);
    }
    const std::vector<ConfigurationLines> batches = MultiPcLines(run.catalogue(), input, values);
    if (run.DryRun()) return run.Plan(batches);
    std::string change = "multipuesto " + input.lanAddress + "/" + input.lanMask;
    if (input.defaultStation != kNoDefaultStation) change += " --estacion " + input.defaultStation;
    if (const auto stop = KeepCopy(run, change)) return *stop;
    const auto showEachReply = [&run] { run.ShowReply(); };
    for (const ConfigurationLines& batch : batches) {
        run.SendConfiguration(batch);
        if (!run.AwaitPrompt(AwaitOrder::DrainFirst, showEachReply)) return run.GaveUp();
        // A refused line stops the switch before the next batch builds on it.
        if (const std::vector<Refusal> refused = run.Refusals(); !refused.empty()) {
            return run.StopRefused(refused, kSwitchNotDoneHalfText);
        }
    }
    return ReadBackAndLeave(
        run,
        SentSettings{.dhcpServerOn = false,
                     .vcLocalAddress = values.dhcpStart,
                     .vcRemoteSubnet = values.vcRemoteAddress + "/" + values.dhcpMask,
                     .dhcpRouter = std::nullopt,
                     .dhcpStart = std::nullopt},
        showEachReply);
}

}  // namespace

std::string FilterManagementSubnet(const CommandCatalogue& catalogue) {
    const std::string& configured = catalogue[CatalogueKey::FILTER_MANAGEMENT_SUBNET];
    return configured.empty() ? std::string(kDefaultFilterManagementSubnet) : configured;
}

std::vector<ConfigurationLines> MultiPcLines(const CommandCatalogue& catalogue,
                                             const MultiPcInput& input,
                                             const MultiPcValues& values) {
    const auto line =
        [&](CatalogueKey key,
            std::initializer_list<std::pair<std::string_view, std::string_view>> substitutions =
                {}) { return CatalogueLine(catalogue, key, LineEnding::BlankCrLf, substitutions); };
    ConfigurationLines network{
        line(CatalogueKey::DISABLE_IP_NETWORK_LAN),
        line(CatalogueKey::DELETE_IP_NETWORK_LAN),
        line(CatalogueKey::ADD_IP_NETWORK_LAN_ADDRESS_ENABLE_YES,
             {{kAddressToken, input.lanAddress}, {kMaskToken, input.lanMask}}),
        line(CatalogueKey::DISABLE_VC_INTERNET),
        line(CatalogueKey::SET_VC_INTERNET_REMOTE_IP_ADDRESS,
             {{kAddressToken, values.vcRemoteAddress}, {kMaskToken, values.dhcpMask}}),
        line(CatalogueKey::SET_VC_INTERNET_LOCAL_IP_ADDRESS, {{kAddressToken, values.dhcpStart}})};
    if (input.defaultStation != kNoDefaultStation) {
        network.push_back(line(CatalogueKey::SET_VC_INTERNET_NAT_DEFAULT_ADDRESS,
                               {{kAddressToken, input.defaultStation}}));
    }
    // The filter is captured as a router text file: its lines end in CR alone
    // and the byte 4 closes the file.
    ConfigurationLines filter{"set interface eth:1 input_filter\r\n",
                              "delete filter filtro\r\n",
                              "capture text_file filtro\r",
                              "#filter\r",
                              "IP:\r",
                              "1 ACCEPT src-addr=" + FilterManagementSubnet(catalogue) + ";\r",
                              "2 REJECT tcp-dst-port=23;\r",
                              "3 REJECT tcp-dst-port=80;\r",
                              "\x04"};
    ConfigurationLines attach{"add filter filtro\r\n",
                              "set interface atm:1 input_filter filtro\r\n",
                              line(CatalogueKey::SET_VC_INTERNET_NAT_OPTION_ENABLE),
                              line(CatalogueKey::ENABLE_VC_INTERNET),
                              line(CatalogueKey::SET_DHCP_MODE_DISABLE),
                              line(CatalogueKey::SAVE_ALL)};
    return {std::move(network), std::move(filter), std::move(attach)};
}

Outcome ReadMgmtAddress(RouterSession& session, Frontend& frontend) {
    Operation run(session, frontend, kMultiPcDisplay, RunStart{.keepTrying = true});
    return run.Finish(readMgmtAddress(run));
}

Outcome RunMultiPcSwitch(RouterSession& session, Frontend& frontend, const MultiPcInput& input) {
    Operation run(session, frontend, kMultiPcDisplay,
                  RunStart{.keepTrying = true, .countFromZero = true});
    if (!run.RequirePort()) return run.Finish(run.GaveUp());
    if (!run.RequireTemplates(kMultiPcCommands) ||
        (input.defaultStation != kNoDefaultStation &&
         !run.RequireTemplates(kDefaultStationCommand))) {
        return run.Finish(Ending::MissingCommand);
    }
    return run.Finish(switchToMultiPc(run, input));
}

}  // namespace cofralin
