#pragma once
// The switch to single-PC mode ("Monopuesto").
//
// How it works: on OK the procedure logs in, lists the internet circuit to read
// its remote subnet and local address, then gives the LAN the circuit's first
// remote host, turns the DHCP server on with the circuit's local address as
// the pool start, gives the circuit the management address and mask the user
// typed (without address translation, with the default route), saves and
// leaves the command line. Any stop before the end shows why, puts the dialog
// in its failed state ("Cancel" shown, "OK" hidden) and is not a switch.

#include <string>
#include <string_view>

#include "configuration_lines.h"
#include "exchange.h"
#include "mode_switch.h"

namespace cofralin {

namespace single_pc_ids {
inline constexpr int kOk = 1;
inline constexpr int kCancel = 2;
inline constexpr int kAddress = 1013;
inline constexpr int kMask = 1014;
inline constexpr int kProgress = 1015;
inline constexpr int kStatus = 1016;
}  // namespace single_pc_ids

inline constexpr int kSinglePcProgressEnd = 40;
inline constexpr std::string_view kDefaultMgmtAddress = "10.1.1.1";
inline constexpr std::string_view kDefaultMgmtMask = "255.255.255.0";
inline constexpr std::string_view kSinglePcPromptText = "Indique los valores deseados y pulse OK";
inline constexpr std::string_view kSinglePcFailedText =
    "Falló el modo monopuesto.\nPulse CANCEL para continuar.";

// The single-PC dialog's copy of the exchange: it shows each line sent and each reply.
inline constexpr ExchangeDisplay kSinglePcDisplay{true, true, true};

// The management values the user typed, dotted decimal.
struct SinglePcSettings {
    std::string mgmtAddress{kDefaultMgmtAddress};
    std::string mgmtMask{kDefaultMgmtMask};
};

// What the configuration is built from besides the typed settings: values
// derived from this run's listing of the internet circuit and the gateway
// derived from the typed address and mask.
struct SinglePcValues {
    std::string remoteFirstHost;  // the LAN's new address and prefix
    std::string vcLocalAddress;   // the DHCP pool start
    std::string mgmtGateway;      // the circuit's new remote address
};

// The whole single-PC configuration, sent back to back and ended by a save.
ConfigurationLines SinglePcLines(const CommandCatalogue& catalogue,
                                 const SinglePcSettings& settings, const SinglePcValues& values);

// The dialog's state at initialisation: counter, KeepTrying and status.
void StartSinglePcDialog(Exchange& exchange);

// The OK sequence. It disables OK and shows the wait cursor while it runs.
// A closed port shows its message and ends the sequence (the dialog then
// closes); every other result but Switched leaves the dialog in its failed state.
ModeSwitchResult RunSinglePcSwitch(Exchange& exchange, const SinglePcSettings& settings);

}  // namespace cofralin
