#pragma once
// The switch to multi-PC mode ("Multipuesto").
//
// How it works: opening the dialog logs in, reads the internet circuit's local
// address to show as the management address, and logs out. On OK the procedure
// logs in again and reads the DHCP server's router, mask and pool start (what
// single-PC mode left there); it gives the LAN the address and mask the user
// chose, gives the internet circuit the host after the DHCP router as remote
// address and the pool start as local address, optionally a default station
// for address translation, attaches an input filter "filtro" to the ATM side
// (accept the operator's management subnet, reject telnet and web), turns on
// address translation, turns off the DHCP server, saves and leaves the command
// line. Nothing it reads from a listing is kept for a later run.

#include <string>
#include <string_view>
#include <vector>

#include "command_catalogue.h"
#include "configuration_lines.h"
#include "exchange.h"
#include "mode_switch.h"

namespace cofralin {

namespace multi_pc_ids {
inline constexpr int kOk = 1;
inline constexpr int kProgress = 1011;
inline constexpr int kStatus = 1012;
inline constexpr int kLanAddress = 1013;
inline constexpr int kLanMask = 1014;
inline constexpr int kDefaultStation = 1015;
}  // namespace multi_pc_ids

inline constexpr int kMultiPcProgressEnd = 53;
inline constexpr std::string_view kDefaultLanAddress = "172.26.0.1";
inline constexpr std::string_view kDefaultLanMask = "255.255.255.240";
// The default station that means "none".
inline constexpr std::string_view kNoDefaultStation = "0.0.0.0";
inline constexpr std::string_view kMultiPcPromptText =
    "Elija los valores adecuados.\nPulse OK para modo multipuesto.";

// The management subnet filter rule 1 accepts when the catalogue names none
// (a documentation range: a real deployment sets FILTER_MANAGEMENT_SUBNET).
inline constexpr std::string_view kDefaultFilterManagementSubnet = "198.51.100.16/28";

// The multi-PC dialog's copy of the exchange: a progress bar, nothing shown.
inline constexpr ExchangeDisplay kMultiPcDisplay{true, false, false};

// The values the user chose, dotted decimal.
struct MultiPcSettings {
    std::string lanAddress{kDefaultLanAddress};
    std::string lanMask{kDefaultLanMask};
    std::string defaultStation{kNoDefaultStation};
};

// The subnet, in address/prefix form, that filter rule 1 accepts.
std::string FilterManagementSubnet(const CommandCatalogue& catalogue);

// What the configuration is built from besides the chosen settings: the DHCP
// server's values as this run's listing gave them, and the circuit's remote
// address derived from them.
struct MultiPcValues {
    std::string dhcpMask;
    std::string dhcpStart;
    std::string vcRemoteAddress;
};

// The multi-PC configuration in its three batches: the LAN and the circuit,
// the filter captured as a router text file, then the filter attached, address
// translation on, the DHCP server off and the save. Each batch is followed by
// a wait for the bare prompt.
std::vector<ConfigurationLines> MultiPcLines(const CommandCatalogue& catalogue,
                                             const MultiPcSettings& settings,
                                             const MultiPcValues& values);

// The opening: shows the prompt, logs in, reads the circuit's local address and
// logs out, then resets KeepTrying and the line counter for OK. A closed port,
// a cancelled password prompt or a router that does not answer leave the
// address empty (the first and last with a message). Result: the management
// address as read, empty when none was.
std::string OpenMultiPcDialog(Exchange& exchange);

// The OK sequence. It disables OK and shows the wait cursor while it runs; a
// stop shows its message (a cancelled password prompt shows none).
ModeSwitchResult RunMultiPcSwitch(Exchange& exchange, const MultiPcSettings& settings);

}  // namespace cofralin
