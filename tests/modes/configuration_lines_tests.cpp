// The configurations as lists of lines, built without a router: every value
// lands in its line, no placeholder of the catalogue is left, and the lines
// end as the router's command line needs.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "command_catalogue.h"
#include "configuration_lines.h"
#include "connection.h"
#include "login.h"
#include "multi_pc.h"
#include "port_mappings.h"
#include "single_pc.h"

namespace cofralin {
namespace {

CommandCatalogue shippedCatalogue() {
    CommandCatalogue catalogue;
    EXPECT_EQ(LoadCommandCatalogue(catalogue, COFRALIN_SOURCE_DIR).status,
              CatalogueLoadResult::Status::Loaded);
    return catalogue;
}

ConfigurationLines joined(const std::vector<ConfigurationLines>& batches) {
    ConfigurationLines lines;
    for (const ConfigurationLines& batch : batches) {
        lines.insert(lines.end(), batch.begin(), batch.end());
    }
    return lines;
}

bool hasLine(const ConfigurationLines& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

struct Case {
    const char* name;
    ConfigurationLines lines;
    std::vector<std::string> expected;  // lines that must be among them
};

TEST(ConfigurationLines, PutEachValueInItsLineAndLeaveNoPlaceholder) {
    const CommandCatalogue catalogue = shippedCatalogue();
    const SinglePcInput single{"10.1.1.7", "255.255.255.0"};
    const SinglePcValues singleValues{"192.168.1.193/26", "192.168.001.200", "10.1.1.1"};
    const MultiPcInput multi{"172.26.0.1", "255.255.255.240", "172.26.0.5"};
    const MultiPcValues multiValues{"255.255.255.192", "192.168.001.200", "192.168.001.195"};
    PortMappingTexts mapping;
    mapping.PublicPortText = "8080";
    mapping.PrivateAddressText = "192.168.1.20";

    const Case cases[] = {
        {"creation",
         VcCreationLines(catalogue),
         {"add vc internet\r\n", "add ip network lan address 192.0.2.0/26 enable yes\r\n",
          "set dhcp server start_address 192.000.002.010 \r\n",
          "set dhcp server router 192.000.002.001 \r\n", "exit\r\n"}},
        {"single-PC",
         SinglePcLines(catalogue, single, singleValues),
         {"add ip network lan address 192.168.1.193/26 enable yes \r\n",
          "set dhcp server start_address 192.168.001.200 \r\n",
          "set dhcp server router 192.168.1.193 \r\n",
          "set vc internet remote_ip_address 10.1.1.1/255.255.255.0 \r\n",
          "set vc internet local_ip_address 10.1.1.7 \r\n", "delete filter filtro \r\n"}},
        {"multi-PC",
         joined(MultiPcLines(catalogue, multi, multiValues)),
         {"add ip network lan address 172.26.0.1/255.255.255.240 enable yes \r\n",
          "set vc internet remote_ip_address 192.168.001.195/255.255.255.192 \r\n",
          "set vc internet local_ip_address 192.168.001.200 \r\n",
          "1 ACCEPT src-addr=203.0.113.16/28;\r", "\x04", "set dhcp mode disable \r\n"}},
        {"add, empty private port",
         AddMappingLines(catalogue, TrafficType::Tcp, mapping),
         {"add nat tcp vc internet public_port 8080 private_address 192.168.1.20 "
          "private_port 8080 \r\n"}},
        {"delete",
         DeleteMappingLines(catalogue, TrafficType::Udp, "8080"),
         {"delete nat udp vc internet public_port 8080\r\n \r\n"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const std::string& line : c.expected) EXPECT_TRUE(hasLine(c.lines, line)) << line;
        for (const std::string& line : c.lines) {
            for (const char* token : {"a.a.a.a", "m.m.m.m", " yy", " zz"}) {
                EXPECT_EQ(line.find(token), std::string::npos) << line;
            }
            EXPECT_TRUE(line.ends_with('\r') || line.ends_with("\r\n") || line == "\x04") << line;
        }
    }
}

TEST(ConfigurationLines, MultiPcNamesADefaultStationOnlyWhenOneIsChosen) {
    const CommandCatalogue catalogue = shippedCatalogue();
    const MultiPcValues values{"255.255.255.192", "192.168.001.200", "192.168.001.195"};
    MultiPcInput settings;
    const std::string stationLine = "set vc internet nat default_address 172.26.0.9 \r\n";
    EXPECT_EQ(MultiPcLines(catalogue, settings, values).size(), 3u);
    const ConfigurationLines none = joined(MultiPcLines(catalogue, settings, values));
    settings.defaultStation = "172.26.0.9";
    const ConfigurationLines chosen = joined(MultiPcLines(catalogue, settings, values));
    EXPECT_EQ(chosen.size(), none.size() + 1);
    EXPECT_TRUE(hasLine(chosen, stationLine));
}

}  // namespace
}  // namespace cofralin
