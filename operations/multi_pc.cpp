#include "multi_pc.h"

#include <optional>

#include "login.h"

namespace cofralin {

namespace {

using namespace multi_pc_ids;

ModeSwitchResult stop(Exchange& exchange, ModeSwitchResult result, std::string_view why) {
    if (!why.empty()) ShowErrorMessage(exchange, why);
    exchange.view().setBusy(false);
    return result;
}

// The listing did not give what the configuration needs: leave the command
// line without having changed anything.
ModeSwitchResult stopIncomplete(Exchange& exchange, const std::string& why) {
    exchange.SendCatalogueLine(CatalogueKey::EXIT_CLI, LineEnding::BlankCrLf);
    return stop(exchange, ModeSwitchResult::ListingIncomplete, why);
}

}  // namespace

std::string FilterManagementSubnet(const CommandCatalogue& catalogue) {
    const std::string& configured = catalogue[CatalogueKey::FILTER_MANAGEMENT_SUBNET];
    return configured.empty() ? std::string(kDefaultFilterManagementSubnet) : configured;
}

std::string OpenMultiPcDialog(Exchange& exchange) {
    SessionState& state = exchange.state();
    exchange.view().setStatusText(std::string(kMultiPcPromptText));
    state.KeepTrying = 1;

    std::string managementAddress;
    if (!state.portOpen()) {
        ShowErrorMessage(exchange, kPortClosedText);
    } else if (const LoginOutcome login = EnsureLogin(exchange, false);
               login == LoginOutcome::NoAnswer) {
        ShowErrorMessage(exchange, kRouterSilentText);
    } else if (login == LoginOutcome::LoggedIn) {
        exchange.SendCatalogueLine(CatalogueKey::SHOW_VC_INTERNET, LineEnding::BlankCrLf);
        const bool listed = exchange.AwaitPrompt(AwaitOrder::DrainFirst, [&] {
            if (const std::optional<std::string> cut =
                    CutAfterLabel(state.ReplyBuffer, kLocalAddressLabel, kVcAddressDistance)) {
                managementAddress = *cut;
            }
        });
        if (listed && exchange.AwaitPrompt(AwaitOrder::DrainFirst)) {
            exchange.SendCatalogueLine(CatalogueKey::EXIT_CLI, LineEnding::BlankCrLf);
        } else {
            ShowErrorMessage(exchange, kRouterSilentText);
        }
    }

    // OK starts afresh whatever happened here.
    state.KeepTrying = 1;
    state.SentLineCount = 0;
    exchange.view().setProgress(0);
    return managementAddress;
}

ModeSwitchResult RunMultiPcSwitch(Exchange& exchange, const MultiPcSettings& settings) {
    SessionState& state = exchange.state();
    RouterView& view = exchange.view();

    view.enableControl(kOk, false);
    view.setBusy(true);
    state.ReplyBuffer.clear();
    if (!state.portOpen()) return stop(exchange, ModeSwitchResult::PortClosed, kPortClosedText);

    switch (EnsureLogin(exchange, true)) {
        case LoginOutcome::LoggedIn:
            break;
        case LoginOutcome::Abandoned:
            return stop(exchange, ModeSwitchResult::Abandoned, {});
        case LoginOutcome::NoAnswer:
            return stop(exchange, ModeSwitchResult::NoAnswer, kRouterSilentText);
    }

    exchange.SendCatalogueLine(CatalogueKey::SET_ADSL_OPEN_ANSI, LineEnding::BlankCrLf);
    exchange.SendCatalogueLine(CatalogueKey::SHOW_DHCP_SERVER_SETTING, LineEnding::BlankCrLf);

    // Only this run's listing counts; a later reply with a label overrides an earlier one.
    std::optional<std::string> dhcpRouter;
    std::optional<std::string> dhcpMask;
    std::optional<std::string> dhcpStart;
    const auto take = [&](std::optional<std::string>& value, std::string_view label) {
        if (std::optional<std::string> cut =
                CutAfterLabel(state.ReplyBuffer, label, kDhcpAddressDistance)) {
            value = std::move(cut);
        }
    };
    const bool listed = exchange.AwaitPrompt(AwaitOrder::DrainFirst, [&] {
        take(dhcpRouter, kDhcpRouterLabel);
        take(dhcpMask, kDhcpMaskLabel);
        take(dhcpStart, kDhcpStartLabel);
        exchange.ShowReply();
    });
    if (!listed) return stop(exchange, ModeSwitchResult::NoAnswer, kRouterSilentText);

    for (const auto& [value, label] :
         {std::pair{&dhcpRouter, kDhcpRouterLabel}, std::pair{&dhcpMask, kDhcpMaskLabel},
          std::pair{&dhcpStart, kDhcpStartLabel}}) {
        if (!*value || (*value)->empty()) return stopIncomplete(exchange, MissingLabelText(label));
    }
    const std::optional<std::string> vcRemoteAddress = VcRemoteAddress(*dhcpRouter, *dhcpMask);
    if (!vcRemoteAddress) {
        return stopIncomplete(exchange,
                              UnusableValueText("La dirección remota calculada a partir del "
                                                "servidor DHCP del Router",
                                                *dhcpRouter + "/" + *dhcpMask));
    }

    exchange.SendCatalogueLine(CatalogueKey::DISABLE_IP_NETWORK_LAN, LineEnding::BlankCrLf);
    exchange.SendCatalogueLine(CatalogueKey::DELETE_IP_NETWORK_LAN, LineEnding::BlankCrLf);
    exchange.SendCatalogueLine(CatalogueKey::ADD_IP_NETWORK_LAN_ADDRESS_ENABLE_YES,
                               LineEnding::BlankCrLf,
                               {{"a.a.a.a", settings.lanAddress}, {"m.m.m.m", settings.lanMask}});
    exchange.SendCatalogueLine(CatalogueKey::DISABLE_VC_INTERNET, LineEnding::BlankCrLf);
    exchange.SendCatalogueLine(CatalogueKey::SET_VC_INTERNET_REMOTE_IP_ADDRESS,
                               LineEnding::BlankCrLf,
                               {{"a.a.a.a", *vcRemoteAddress}, {"m.m.m.m", *dhcpMask}});
    exchange.SendCatalogueLine(CatalogueKey::SET_VC_INTERNET_LOCAL_IP_ADDRESS,
                               LineEnding::BlankCrLf, {{"a.a.a.a", *dhcpStart}});
    if (settings.defaultStation != kNoDefaultStation) {
        exchange.SendCatalogueLine(CatalogueKey::SET_VC_INTERNET_NAT_DEFAULT_ADDRESS,
                                   LineEnding::BlankCrLf, {{"a.a.a.a", settings.defaultStation}});
    }
    const auto showEachReply = [&] { exchange.ShowReply(); };
    if (!exchange.AwaitPrompt(AwaitOrder::DrainFirst, showEachReply)) {
        return stop(exchange, ModeSwitchResult::NoAnswer, kRouterSilentText);
    }

    // The filter is captured as a router text file: its lines end in CR alone
    // and the byte 4 closes the file.
    exchange.SendLine("set interface eth:1 input_filter\r\n");
    exchange.SendLine("delete filter filtro\r\n");
    exchange.SendLine("capture text_file filtro\r");
    exchange.SendLine("#filter\r");
    exchange.SendLine("IP:\r");
    exchange.SendLine("1 ACCEPT src-addr=" + FilterManagementSubnet(state.CommandCatalogue) +
                      ";\r");
    exchange.SendLine("2 REJECT tcp-dst-port=23;\r");
    exchange.SendLine("3 REJECT tcp-dst-port=80;\r");
    exchange.SendLine("\x04");
    if (!exchange.AwaitPrompt(AwaitOrder::DrainFirst, showEachReply)) {
        return stop(exchange, ModeSwitchResult::NoAnswer, kRouterSilentText);
    }

    exchange.SendLine("add filter filtro\r\n");
    exchange.SendLine("set interface atm:1 input_filter filtro\r\n");
    exchange.SendCatalogueLine(CatalogueKey::SET_VC_INTERNET_NAT_OPTION_ENABLE,
                               LineEnding::BlankCrLf);
    exchange.SendCatalogueLine(CatalogueKey::ENABLE_VC_INTERNET, LineEnding::BlankCrLf);
    exchange.SendCatalogueLine(CatalogueKey::SET_DHCP_MODE_DISABLE, LineEnding::BlankCrLf);
    exchange.SendCatalogueLine(CatalogueKey::SAVE_ALL, LineEnding::BlankCrLf);
    if (!exchange.AwaitPrompt(AwaitOrder::DrainFirst, showEachReply)) {
        return stop(exchange, ModeSwitchResult::NoAnswer, kRouterSilentText);
    }

    exchange.SendCatalogueLine(CatalogueKey::EXIT_CLI, LineEnding::BlankCrLf);
    view.setBusy(false);
    return ModeSwitchResult::Switched;
}

}  // namespace cofralin
