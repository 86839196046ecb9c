#pragma once
// The switch to single-PC mode ("Monopuesto").
//
// How it works: on OK the procedure logs in, lists the internet circuit to read
// its remote subnet and local address, then gives the LAN the circuit's first
// remote host, turns the DHCP server on with the circuit's local address as
// the pool start, gives the circuit the management address and mask the user
// typed (without address translation, with the default route), saves and
// leaves the command line. Any stop before the end tells why and is not a
// switch.

#include <string>
#include <string_view>

#include "configuration_lines.h"
#include "frontend.h"
#include "mode_switch.h"

namespace cofralin {

inline constexpr std::string_view kDefaultMgmtAddress = "10.1.1.1";
inline constexpr std::string_view kDefaultMgmtMask = "255.255.255.0";

// The management values the user typed, dotted decimal.
struct SinglePcInput {
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
ConfigurationLines SinglePcLines(const CommandCatalogue& catalogue, const SinglePcInput& input,
                                 const SinglePcValues& values);

// The switch, from the log-in to the exit. It starts afresh (KeepTrying 1,
// the line counter 0), shows each line sent and each reply, and tells why it
// stopped; Done only when the router was read back in single-PC form.
Outcome RunSinglePcSwitch(RouterSession& session, Frontend& frontend, const SinglePcInput& input);

}  // namespace cofralin
