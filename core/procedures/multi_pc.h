#pragma once
// The switch to multi-PC mode ("Multipuesto").
//
// How it works: the opening logs in, reads the internet circuit's local
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
#include "frontend.h"
#include "mode_switch.h"

namespace cofralin {

inline constexpr std::string_view kDefaultLanAddress = "172.26.0.1";
inline constexpr std::string_view kDefaultLanMask = "255.255.255.240";
// The default station that means "none".
inline constexpr std::string_view kNoDefaultStation = "0.0.0.0";

// The management subnet filter rule 1 accepts when the catalogue names none
// (a documentation range: a real deployment sets FILTER_MANAGEMENT_SUBNET).
inline constexpr std::string_view kDefaultFilterManagementSubnet = "198.51.100.16/28";

// The values the user chose, dotted decimal.
struct MultiPcInput {
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
                                             const MultiPcInput& input,
                                             const MultiPcValues& values);

// The opening, which the multi-PC dialog shows before it asks: logs in, reads the
// circuit's local address and logs out. The address is the outcome's
// vcLocalAddress, unset when none was read; a closed port, a password not
// given or a router that does not answer leave it unset (the first and last
// with a message).
Outcome ReadMgmtAddress(RouterSession& session, Frontend& frontend);

// The switch, from the log-in to the exit. It starts afresh (KeepTrying 1,
// the line counter 0), tells the progress and why it stopped (a password not
// given tells nothing); Done only when the router was read back in
// multi-PC form.
Outcome RunMultiPcSwitch(RouterSession& session, Frontend& frontend, const MultiPcInput& input);

}  // namespace cofralin
