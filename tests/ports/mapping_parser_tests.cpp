// The mapping-table parser on listings as the router prints them.

#include <gtest/gtest.h>

#include <string>

#include "port_mappings.h"

namespace cofralin {
namespace {

using Entries = std::vector<std::string>;

const std::string kUdpTitle = "Port Address Translation, Static UDP Ports\r\n";
const std::string kTcpTitle = "Port Address Translation, Static TCP Ports\r\n";
const std::string kHeading = "Public Port   Private Address   Private Port\r\n";
const std::string kPrompt = "\r\nZarn-DSL>";

// The listing command's echo and the circuit's lines, as they come before the tables.
std::string listingHead() {
    return "show vc internet \r\n"
           "VC internet\r\n"
           "Local IP Address:                          080.058.000.001\r\n"
           "Remote IP Address:                         080.058.000.000/26 \r\n"
           "option nat enable\r\n";
}

TEST(MappingLineTest, LeadingBlankRunsBecomeOneBlankAndInnerRunsTabs) {
    EXPECT_EQ(TreatMappingLine("        5060   192.168.001.010        5060"),
              " 5060\t192.168.001.010\t5060");
    EXPECT_EQ(TreatMappingLine("5060   192.168.001.010        5060"),
              "5060\t192.168.001.010\t5060");
    // Tabs from the router are kept as they are; only a leading one becomes a blank.
    EXPECT_EQ(TreatMappingLine("\t5060\t10.0.0.1  80"), " 5060\t10.0.0.1\t80");
}

TEST(MappingLineTest, ARowWithoutItsPublicPortOrItsAddressIsNotOffered) {
    for (const std::string_view line : {"8080", "  8080  ", "\t5060\t\t10.0.0.1  80",
                                        "      192.168.001.010    80", "0 10.0.0.1 1"}) {
        EXPECT_EQ(TreatMappingLine(line), std::nullopt) << "line \"" << line << "\"";
    }
}

TEST(MappingLineTest, OnlyPortsAddressesAndBlanksStartingWithAPortQualify) {
    // Router bytes that are not part of a row never reach a list, and so never
    // a delete command.
    const std::string refused[] = {
        "",
        "   ",
        "Port Address Translation, Static UDP Ports",
        "Zarn-DSL>",
        "------  ----------------  -------",
        "80\r 192.168.1.2 80",
        "80 192.168.1.2\v80",
        "\f80 192.168.1.2 80",
        "80 192.168.1.2 80\x1b",
        "!\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~",
        "80 192.168.1.2-3 80",
        // The first field is a port number from 1 to 65535.
        "0 192.168.1.2 80",
        "65536 192.168.1.2 80",
        "000080000 192.168.1.2 80",
        ".80 192.168.1.2 80",
        "192.168.1.2 80",
        "/26",
        // Mixed leading blanks would leave the delete without its port.
        "\t\t5060 10.0.0.1 5060",
    };
    for (const std::string& line : refused) {
        EXPECT_EQ(TreatMappingLine(line), std::nullopt) << "line \"" << line << "\"";
    }
    // Bytes past 7-bit ASCII belong to no class, whatever the process locale.
    for (const int byte : {0x7F, 0x80, 0xA0, 0xB7, 0xFF}) {
        std::string line = "5060 10.0.0.1 5060";
        line[4] = static_cast<char>(byte);
        EXPECT_EQ(TreatMappingLine(line), std::nullopt) << "byte " << byte;
    }
    EXPECT_EQ(TreatMappingLine("1 10.0.0.1/32 1"), "1\t10.0.0.1/32\t1");
    EXPECT_EQ(TreatMappingLine("  65535 10.0.0.1:8080"), " 65535\t10.0.0.1:8080");
}

TEST(MappingPortTextTest, UpToTheFirstTabAfterTheFirstByte) {
    EXPECT_EQ(MappingPortText(" 5060\t192.168.001.010\t5060"), " 5060");
    EXPECT_EQ(MappingPortText("5060\t192.168.001.010\t5060"), "5060");
    EXPECT_EQ(MappingPortText("8080"), "");
    EXPECT_EQ(MappingPortText(""), "");
}

TEST(MappingListedTest, AChangeIsSeenInTheEntriesAsNumbers) {
    const Entries udp{" 5060\t192.168.001.010\t5060", " 53\t192.168.001.011\t53"};
    const auto added = [](const char* publicPort, const char* privatePort, const char* address) {
        return PortMappingTexts{publicPort, privatePort, address};
    };
    // An empty private port stands for the public one; zeros pad nothing.
    EXPECT_TRUE(ListsMapping(udp, added("5060", "", "192.168.1.10")));
    EXPECT_TRUE(ListsMapping(udp, added("053", "53", "192.168.001.011")));
    EXPECT_FALSE(ListsMapping(udp, added("5060", "5061", "192.168.1.10")));
    EXPECT_FALSE(ListsMapping(udp, added("5060", "", "192.168.1.30")));
    EXPECT_FALSE(ListsMapping(udp, added("6000", "", "192.168.1.10")));
    // The delete's port text keeps the entry's leading blank.
    EXPECT_TRUE(ListsPublicPort(udp, " 5060"));
    EXPECT_TRUE(ListsPublicPort(udp, "53"));
    EXPECT_FALSE(ListsPublicPort(udp, " 506"));
    EXPECT_FALSE(ListsPublicPort({}, " 5060"));
}

TEST(MappingTablesTest, RowsOfBothTablesWithTitlesHeadingsSeparatorsEchoAndPromptLeftOut) {
    const std::string collected =
        listingHead() + kUdpTitle + kHeading + "        5060   192.168.001.010        5060\r\n" +
        "------------  ---------------  ------------\r\n" + "   80\r 192.168.001.030   80\r\n" +
        kTcpTitle + kHeading + "          80   192.168.001.020        8080\r\n" +
        "443   192.168.001.021   443\r\n" + kPrompt + kPrompt;
    const MappingTables tables = ParseMappingTables(collected);
    // The separator and the row with a stray CR are left out.
    EXPECT_EQ(tables.udp, (Entries{" 5060\t192.168.001.010\t5060"}));
    EXPECT_EQ(tables.tcp, (Entries{" 80\t192.168.001.020\t8080", "443\t192.168.001.021\t443"}));
}

TEST(MappingTablesTest, ALoneNumberIsNoMappingAndIsNotListed) {
    const MappingTables tables =
        ParseMappingTables(listingHead() + kUdpTitle + kTcpTitle + "8080\r\n" + kPrompt);
    EXPECT_TRUE(tables.udp.empty());
    EXPECT_TRUE(tables.tcp.empty());
    EXPECT_EQ(MappingPortText("8080"), "");
}

TEST(MappingTablesTest, TcpTitleBeforeUdpTitlePutsEveryRowInTheTcpList) {
    const std::string collected =
        kTcpTitle + "80 10.0.0.2 8080\r\n" + kUdpTitle + "53 10.0.0.3 53\r\n" + kPrompt;
    const MappingTables tables = ParseMappingTables(collected);
    EXPECT_TRUE(tables.udp.empty());
    EXPECT_EQ(tables.tcp, (Entries{"80\t10.0.0.2\t8080", "53\t10.0.0.3\t53"}));
}

TEST(MappingTablesTest, MissingTitlesLeaveTheirListsEmpty) {
    const std::string rows = "80 10.0.0.2 8080\r\n53 10.0.0.3 53\r\n";
    const MappingTables none = ParseMappingTables(listingHead() + rows + kPrompt);
    EXPECT_TRUE(none.udp.empty());
    EXPECT_TRUE(none.tcp.empty());

    const MappingTables udpOnly = ParseMappingTables(kUdpTitle + rows + kPrompt);
    EXPECT_EQ(udpOnly.udp, (Entries{"80\t10.0.0.2\t8080", "53\t10.0.0.3\t53"}));
    EXPECT_TRUE(udpOnly.tcp.empty());
}

TEST(MappingTablesTest, EachLineLosesItsLineFeedAndTheByteBeforeIt) {
    // A row ended by a lone line feed loses its last digit; a bare line feed
    // gives an empty line, which is not listed.
    const MappingTables tables = ParseMappingTables(kUdpTitle + "\n5060 10.0.0.1 5060\n" + kPrompt);
    EXPECT_EQ(tables.udp, Entries{"5060\t10.0.0.1\t506"});
}

TEST(MappingTablesTest, LastUdpLineRunsToTheNextLineFeedEvenPastTheTcpTitle) {
    // The UDP row is not ended before the TCP title, so its line takes in the
    // title and no longer qualifies.
    const std::string collected =
        kUdpTitle + "53 10.0.0.3 53\r\n" + "5060 10.0.0.1 5060" + kTcpTitle + "80 10.0.0.2 80\r\n";
    const MappingTables tables = ParseMappingTables(collected);
    EXPECT_EQ(tables.udp, Entries{"53\t10.0.0.3\t53"});
    EXPECT_EQ(tables.tcp, Entries{"80\t10.0.0.2\t80"});
}

TEST(MappingTablesTest, TextWithoutAnyLineFeedIsOneLineShortOfItsLastByte) {
    const MappingTables tables = ParseMappingTables(kTcpTitle + "8080 10.0.0.2 80");
    EXPECT_EQ(tables.tcp, Entries{"8080\t10.0.0.2\t8"});
}

}  // namespace
}  // namespace cofralin
