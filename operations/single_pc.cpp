#include "single_pc.h"

#include <optional>

#include "login.h"

namespace cofralin {

namespace {

using namespace single_pc_ids;

// The failed state: the reason stays in the status until "Cancel" is pressed.
ModeSwitchResult fail(Exchange& exchange, ModeSwitchResult result) {
    RouterView& view = exchange.view();
    view.setStatusText(std::string(kSinglePcFailedText));
    view.showControl(kCancel, true);
    view.enableControl(kCancel, true);
    view.showControl(kOk, false);
    view.setBusy(false);
    return result;
}

ModeSwitchResult stopSilent(Exchange& exchange) {
    ShowErrorMessage(exchange, kRouterSilentText);
    return fail(exchange, ModeSwitchResult::NoAnswer);
}

// The listing did not give what the configuration needs: leave the command
// line without having changed anything.
ModeSwitchResult stopIncomplete(Exchange& exchange, const std::string& why) {
    exchange.SendCatalogueLine(CatalogueKey::EXIT_CLI, LineEnding::BlankCrLf);
    ShowErrorMessage(exchange, why);
    return fail(exchange, ModeSwitchResult::ListingIncomplete);
}

}  // namespace

void StartSinglePcDialog(Exchange& exchange) {
    SessionState& state = exchange.state();
    state.SentLineCount = 0;
    state.KeepTrying = 1;
    exchange.view().setStatusText(std::string(kSinglePcPromptText));
}

ModeSwitchResult RunSinglePcSwitch(Exchange& exchange, const SinglePcSettings& settings) {
    SessionState& state = exchange.state();
    RouterView& view = exchange.view();

    view.enableControl(kOk, false);
    view.setBusy(true);
    state.ReplyBuffer.clear();

    if (!state.portOpen()) {
        ShowErrorMessage(exchange, kPortClosedText);
        view.setBusy(false);
        return ModeSwitchResult::PortClosed;
    }

    // Typed values that give no usable gateway are refused before any contact.
    const std::optional<std::string> mgmtGateway =
        MgmtGateway(settings.mgmtAddress, settings.mgmtMask);
    if (!mgmtGateway) {
        ShowErrorMessage(exchange,
                         UnusableValueText("La puerta de enlace de gestión calculada a partir de "
                                           "la dirección y la máscara",
                                           settings.mgmtAddress + "/" + settings.mgmtMask));
        return fail(exchange, ModeSwitchResult::InvalidSettings);
    }

    switch (EnsureLogin(exchange, false)) {
        case LoginOutcome::LoggedIn:
            break;
        case LoginOutcome::Abandoned:
            return fail(exchange, ModeSwitchResult::Abandoned);
        case LoginOutcome::NoAnswer:
            return stopSilent(exchange);
    }

    exchange.SendCatalogueLine(CatalogueKey::SET_ADSL_OPEN_ANSI, LineEnding::BlankCrLf);
    exchange.SendCatalogueLine(CatalogueKey::SHOW_VC_INTERNET, LineEnding::BlankCrLf);

    // Only this run's listing counts; a later reply with a label overrides an earlier one.
    std::optional<std::string> vcRemoteSubnet;
    std::optional<std::string> vcLocalAddress;
    const bool listed = exchange.AwaitPrompt(AwaitOrder::DrainFirst, [&] {
        if (exchange.ReplyContains(kRemoteAddressLabel)) {
            vcRemoteSubnet = CutRemoteSubnet(state.ReplyBuffer).value_or(std::string());
        }
        if (exchange.ReplyContains(kLocalAddressLabel)) {
            vcLocalAddress =
                CutAfterLabel(state.ReplyBuffer, kLocalAddressLabel, kVcAddressDistance);
        }
    });
    if (!listed) return stopSilent(exchange);

    if (!vcRemoteSubnet) return stopIncomplete(exchange, MissingLabelText(kRemoteAddressLabel));
    if (!vcLocalAddress || vcLocalAddress->empty()) {
        return stopIncomplete(exchange, MissingLabelText(kLocalAddressLabel));
    }
    const std::optional<std::string> remoteFirstHost = RemoteFirstHost(*vcRemoteSubnet);
    if (!remoteFirstHost) {
        return stopIncomplete(
            exchange, UnusableValueText("La dirección remota del Router, que debe llevar un "
                                        "prefijo entre 24 y 32,",
                                        *vcRemoteSubnet));
    }
    const std::string remoteRouter = RemoteRouter(*remoteFirstHost);

    exchange.SendCatalogueLine(CatalogueKey::DISABLE_IP_NETWORK_LAN, LineEnding::BlankCrLf);
    exchange.SendCatalogueLine(CatalogueKey::DELETE_IP_NETWORK_LAN, LineEnding::BlankCrLf);
    exchange.SendCatalogueLine(CatalogueKey::ADD_IP_NETWORK_LAN_ADDRESS_ENABLE_YES,
                               LineEnding::BlankCrLf, {{"a.a.a.a/m.m.m.m", *remoteFirstHost}});
    exchange.SendCatalogueLine(CatalogueKey::SET_DHCP_MODE_SERVER, LineEnding::BlankCrLf);
    exchange.SendCatalogueLine(CatalogueKey::SET_DHCP_SERVER_START, LineEnding::BlankCrLf,
                               {{"a.a.a.a", *vcLocalAddress}});
    exchange.SendCatalogueLine(CatalogueKey::SET_DHCP_SERVER_ROUTER, LineEnding::BlankCrLf,
                               {{"a.a.a.a", remoteRouter}});
    exchange.SendCatalogueLine(CatalogueKey::SET_DHCP_SERVER_DNS, LineEnding::BlankCrLf);
    exchange.SendCatalogueLine(CatalogueKey::SET_DHCP_SERVER_WIN, LineEnding::BlankCrLf);
    exchange.SendCatalogueLine(CatalogueKey::SET_DHCP_SERVER_LEASE, LineEnding::BlankCrLf);
    exchange.SendCatalogueLine(CatalogueKey::DISABLE_VC_INTERNET, LineEnding::BlankCrLf);

    exchange.SendCatalogueLine(CatalogueKey::SET_VC_INTERNET_REMOTE_IP_ADDRESS,
                               LineEnding::BlankCrLf,
                               {{"a.a.a.a", *mgmtGateway}, {"m.m.m.m", settings.mgmtMask}});
    exchange.SendCatalogueLine(CatalogueKey::SET_VC_INTERNET_LOCAL_IP_ADDRESS,
                               LineEnding::BlankCrLf, {{"a.a.a.a", settings.mgmtAddress}});
    exchange.SendCatalogueLine(CatalogueKey::SET_VC_INTERNET_NAT_OPTION_DISABLE,
                               LineEnding::BlankCrLf);
    exchange.SendLine(ComposeLine("delete filter filtro", LineEnding::BlankCrLf));
    exchange.SendCatalogueLine(CatalogueKey::SET_VC_INTERNET_DEFAULT_ROUTE_OPTION_ENABLE,
                               LineEnding::BlankCrLf);
    exchange.SendCatalogueLine(CatalogueKey::ENABLE_VC_INTERNET, LineEnding::BlankCrLf);
    exchange.SendCatalogueLine(CatalogueKey::DISABLE_IP_NETWORK_LAN, LineEnding::BlankCrLf);
    exchange.SendCatalogueLine(CatalogueKey::ENABLE_IP_NETWORK_LAN, LineEnding::BlankCrLf);
    exchange.SendCatalogueLine(CatalogueKey::SAVE_ALL, LineEnding::BlankCrLf);

    if (!exchange.AwaitPrompt(AwaitOrder::DrainFirst)) return stopSilent(exchange);

    exchange.SendCatalogueLine(CatalogueKey::EXIT_CLI, LineEnding::BlankCrLf);
    view.setBusy(false);
    return ModeSwitchResult::Switched;
}

}  // namespace cofralin
