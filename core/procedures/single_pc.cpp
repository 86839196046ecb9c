#include "single_pc.h"

#include <array>
#include <optional>
#include <utility>

#include "login.h"
#include "operation.h"
#include "read_back.h"

namespace cofralin {

namespace {

using namespace single_pc_ids;

// Every command template the switch sends, the read-back's included.
constexpr std::array kSinglePcCommands{CatalogueKey::SET_ADSL_OPEN_ANSI,
                                       CatalogueKey::SHOW_VC_INTERNET,
                                       CatalogueKey::DISABLE_IP_NETWORK_LAN,
                                       CatalogueKey::DELETE_IP_NETWORK_LAN,
                                       CatalogueKey::ADD_IP_NETWORK_LAN_ADDRESS_ENABLE_YES,
                                       CatalogueKey::SET_DHCP_MODE_SERVER,
                                       CatalogueKey::SET_DHCP_SERVER_START,
                                       CatalogueKey::SET_DHCP_SERVER_ROUTER,
                                       CatalogueKey::SET_DHCP_SERVER_DNS,
                                       CatalogueKey::SET_DHCP_SERVER_WIN,
                                       CatalogueKey::SET_DHCP_SERVER_LEASE,
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

// The failed state: the reason stays in the status until "Cancel" is pressed.
void showFailed(RouterView& view) {
    view.setStatusText(std::string(kSinglePcFailedText));
    view.showControl(kCancel, true);
    view.enableControl(kCancel, true);
    view.showControl(kOk, false);
}

// The circuit's labels as this run's listing gave them; a later reply with a
// label overrides an earlier one.
struct CircuitListing {
    std::optional<std::string> remoteSubnet;
    std::optional<std::string> localAddress;
};

// Lists the internet circuit. False when the wait gave up (the user told).
bool readCircuit(Operation& run, CircuitListing& listing) {
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
std::optional<std::string> deriveValues(const CircuitListing& listing, SinglePcValues& values) {
    if (!listing.remoteSubnet) return MissingLabelText(kRemoteAddressLabel);
    if (!listing.localAddress || listing.localAddress->empty()) {
        return MissingLabelText(kLocalAddressLabel);
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
ModeSwitchResult switchToSinglePc(Operation& run, const SinglePcSettings& settings) {
    // Typed values that give no usable gateway are refused before any contact.
    SinglePcValues values;
    if (const std::optional<std::string> gateway =
            MgmtGateway(settings.mgmtAddress, settings.mgmtMask)) {
        values.mgmtGateway = *gateway;
    } else {
        run.ShowError(
            UnusableValueText("La puerta de enlace de gestión calculada a partir de "
                              "la dirección y la máscara",
                              settings.mgmtAddress + "/" + settings.mgmtMask));
        return ModeSwitchResult::InvalidSettings;
    }
    if (const auto stop = LoginStop(run.LogIn(false))) return *stop;

    CircuitListing listing;
    if (!readCircuit(run, listing)) return ModeSwitchResult::NoAnswer;
    if (const std::optional<std::string> why = deriveValues(listing, values)) {
        return StopIncomplete(run, *why);
    }
    SendConfiguration(run, SinglePcLines(run.catalogue(), settings, values));
    if (!run.AwaitPrompt(AwaitOrder::DrainFirst)) return ModeSwitchResult::HalfConfigured;
    return ReadBackAndLeave(
        run, SentSettings{.dhcpServerOn = true,
                          .vcLocalAddress = settings.mgmtAddress,
                          .vcRemoteSubnet = values.mgmtGateway + "/" + settings.mgmtMask,
                          .dhcpRouter = RemoteRouter(values.remoteFirstHost),
                          .dhcpStart = values.vcLocalAddress});
}

}  // namespace

ConfigurationLines SinglePcLines(const CommandCatalogue& catalogue,
                                 const SinglePcSettings& settings, const SinglePcValues& values) {
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
              {{kAddressToken, values.mgmtGateway}, {kMaskToken, settings.mgmtMask}}),
         line(CatalogueKey::SET_VC_INTERNET_LOCAL_IP_ADDRESS,
              {{kAddressToken, settings.mgmtAddress}}),
         line(CatalogueKey::SET_VC_INTERNET_NAT_OPTION_DISABLE),
         ComposeLine("delete filter filtro", blank),
         line(CatalogueKey::SET_VC_INTERNET_DEFAULT_ROUTE_OPTION_ENABLE),
         line(CatalogueKey::ENABLE_VC_INTERNET), line(CatalogueKey::DISABLE_IP_NETWORK_LAN),
         line(CatalogueKey::ENABLE_IP_NETWORK_LAN), line(CatalogueKey::SAVE_ALL)});
    return lines;
}

void StartSinglePcDialog(Exchange& exchange) {
    SessionState& state = exchange.state();
    state.SentLineCount = 0;
    state.KeepTrying = 1;
    exchange.view().setStatusText(std::string(kSinglePcPromptText));
}

ModeSwitchResult RunSinglePcSwitch(Exchange& exchange, const SinglePcSettings& settings) {
    Operation run(exchange, RunStart{});
    run.view().enableControl(kOk, false);
    if (!run.RequirePort()) return ModeSwitchResult::PortClosed;
    if (!run.RequireTemplates(kSinglePcCommands)) {
        showFailed(run.view());
        return ModeSwitchResult::MissingCommand;
    }
    const ModeSwitchResult result = switchToSinglePc(run, settings);
    if (result != ModeSwitchResult::Switched) showFailed(run.view());
    return result;
}

}  // namespace cofralin
