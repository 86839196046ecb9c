#pragma once
// Configurations as lists of lines: what a procedure sends, built from its
// settings and the values it read, so that each list is checked without a
// router. The procedure sends a list back to back with Operation::SendLines.

#include <array>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "command_catalogue.h"
#include "exchange.h"

namespace cofralin {

using ConfigurationLines = std::vector<std::string>;

// A catalogue entry with its ending and substitutions, as SendCatalogueLine sends it.
std::string CatalogueLine(
    const CommandCatalogue& catalogue, CatalogueKey key, LineEnding ending,
    std::initializer_list<std::pair<std::string_view, std::string_view>> substitutions = {});

// The values of the LAN and of the DHCP server in single-PC form.
struct DhcpServerValues {
    std::string_view lanSubnet;      // address/mask or address/prefix
    std::string_view poolStart;      // the first address the server hands out
    std::string_view defaultRouter;  // the router the server names
};

// The templates DhcpServerLines sends.
inline constexpr std::array kDhcpServerCommands{CatalogueKey::ADD_IP_NETWORK_LAN_ADDRESS_ENABLE_YES,
                                                CatalogueKey::SET_DHCP_MODE_SERVER,
                                                CatalogueKey::SET_DHCP_SERVER_START,
                                                CatalogueKey::SET_DHCP_SERVER_ROUTER,
                                                CatalogueKey::SET_DHCP_SERVER_DNS,
                                                CatalogueKey::SET_DHCP_SERVER_WIN,
                                                CatalogueKey::SET_DHCP_SERVER_LEASE};

// The LAN with its subnet, the DHCP server in server mode, its pool start, its
// default router, DNS, WINS and lease. `modeEnding` ends the LAN and the mode
// lines; the others end with a blank and CR LF.
ConfigurationLines DhcpServerLines(const CommandCatalogue& catalogue, LineEnding modeEnding,
                                   const DhcpServerValues& values);

}  // namespace cofralin
