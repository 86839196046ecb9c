#include "configuration_lines.h"

namespace cofralin {

std::string CatalogueLine(
    const CommandCatalogue& catalogue, CatalogueKey key, LineEnding ending,
    std::initializer_list<std::pair<std::string_view, std::string_view>> substitutions) {
    return ComposeLine(catalogue[key], ending, substitutions);
}

ConfigurationLines DhcpServerLines(const CommandCatalogue& catalogue, LineEnding modeEnding,
                                   const DhcpServerValues& values) {
    const auto blank = LineEnding::BlankCrLf;
    return {
        CatalogueLine(catalogue, CatalogueKey::ADD_IP_NETWORK_LAN_ADDRESS_ENABLE_YES, modeEnding,
                      {{"a.a.a.a/m.m.m.m", values.lanSubnet}}),
        CatalogueLine(catalogue, CatalogueKey::SET_DHCP_MODE_SERVER, modeEnding),
        CatalogueLine(catalogue, CatalogueKey::SET_DHCP_SERVER_START, blank,
                      {{kAddressToken, values.poolStart}}),
        CatalogueLine(catalogue, CatalogueKey::SET_DHCP_SERVER_ROUTER, blank,
                      {{kAddressToken, values.defaultRouter}}),
        CatalogueLine(catalogue, CatalogueKey::SET_DHCP_SERVER_DNS, blank),
        CatalogueLine(catalogue, CatalogueKey::SET_DHCP_SERVER_WIN, blank),
        CatalogueLine(catalogue, CatalogueKey::SET_DHCP_SERVER_LEASE, blank),
    };
}

}  // namespace cofralin
