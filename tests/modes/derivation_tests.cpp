// The listing cuts and the address derivations of the two mode switches.

#include <gtest/gtest.h>

#include "command_catalogue.h"
#include "mode_switch.h"
#include "multi_pc.h"

namespace cofralin {
namespace {

// A listing line with the value `distance` characters after the label's start.
std::string labelled(std::string_view label, std::size_t distance, std::string_view value,
                     std::string_view after = "\r\n") {
    std::string line(label);
    line.append(distance - label.size(), ' ');
    line.append(value);
    line.append(after);
    return line;
}

TEST(RemoteFirstHost, KeepsThePrefixAndTakesTheFirstHostOfTheSubnet) {
    EXPECT_EQ(RemoteFirstHost("192.168.001.194/26"), "192.168.001.193/26");
    EXPECT_EQ(RemoteFirstHost("192.168.1.192/26"), "192.168.1.193/26");
    EXPECT_EQ(RemoteFirstHost("10.20.30.77/24"), "10.20.30.1/24");
    EXPECT_EQ(RemoteFirstHost("10.20.30.77/32"), "10.20.30.78/32");
    EXPECT_EQ(RemoteFirstHost("10.20.30.77/28"), "10.20.30.65/28");
    EXPECT_EQ(RemoteFirstHost("10.20.30.77/31"), "10.20.30.77/31");
    EXPECT_EQ(RemoteRouter("192.168.001.193/26"), "192.168.001.193");
}

TEST(RemoteFirstHost, RefusesWhatItCannotDerive) {
    EXPECT_EQ(RemoteFirstHost("10.20.30.77/23"), std::nullopt);  // prefix below 24
    EXPECT_EQ(RemoteFirstHost("10.20.30.77/33"), std::nullopt);
    EXPECT_EQ(RemoteFirstHost("10.20.30.77/"), std::nullopt);
    EXPECT_EQ(RemoteFirstHost("10.20.30.77"), std::nullopt);
    EXPECT_EQ(RemoteFirstHost(""), std::nullopt);
    EXPECT_EQ(RemoteFirstHost("10.20.30/26"), std::nullopt);
    EXPECT_EQ(RemoteFirstHost("10.20.30.77/26\r\n"), std::nullopt);
    EXPECT_EQ(RemoteFirstHost("10.20.30.255/32"), std::nullopt);  // would be octet 256
}

TEST(OctetMaskForPrefix, CoversTwentyFourToThirtyTwo) {
    const int expected[] = {0, 128, 192, 224, 240, 248, 252, 254, 255};
    for (int prefix = 24; prefix <= 32; ++prefix) {
        EXPECT_EQ(OctetMaskForPrefix(prefix), expected[prefix - 24]) << prefix;
    }
    EXPECT_EQ(OctetMaskForPrefix(23), std::nullopt);
    EXPECT_EQ(OctetMaskForPrefix(0), std::nullopt);
}

TEST(HostInSubnet, ManagementGatewayIsTheFirstHost) {
    EXPECT_EQ(MgmtGateway("192.168.5.77", "255.255.255.240"), "192.168.5.65");
    EXPECT_EQ(MgmtGateway("10.1.1.1", "255.255.255.0"), "10.1.1.1");
    EXPECT_EQ(MgmtGateway("10.1.1.255", "255.255.255.255"), std::nullopt);
    EXPECT_EQ(MgmtGateway("nodots", "255.255.255.0"), std::nullopt);
}

TEST(HostInSubnet, RemoteAddressIsTheHostAfterTheDhcpRouter) {
    EXPECT_EQ(VcRemoteAddress("10.0.0.9", "255.255.255.248"), "10.0.0.10");
    EXPECT_EQ(VcRemoteAddress("192.168.1.1", "255.255.255.0"), "192.168.1.2");
    // Zero-padded octets keep their form; only the last is computed.
    EXPECT_EQ(VcRemoteAddress("192.000.002.001", "255.255.255.192"), "192.000.002.2");
    EXPECT_EQ(VcRemoteAddress("10.0.0.254", "255.255.255.255"), std::nullopt);
}

TEST(HostInSubnet, RefusesOctetsTooLongToReadWithoutOverflowing) {
    // Both last octets read as the largest long: adding the offset overflowed.
    const std::string huge = "1.2.3.99999999999999999999";
    EXPECT_EQ(MgmtGateway(huge, huge), std::nullopt);
    EXPECT_EQ(VcRemoteAddress(huge, huge), std::nullopt);
}

TEST(LeadingDecimal, ReadsLeadingDigitsOnly) {
    EXPECT_EQ(LeadingDecimal("194/26"), 194);
    EXPECT_EQ(LeadingDecimal("007"), 7);
    EXPECT_EQ(LeadingDecimal("x12"), 0);
    EXPECT_EQ(LeadingDecimal(""), 0);
    EXPECT_EQ(LeadingDecimal("99999999999999999999999"), LONG_MAX);
}

TEST(CutAfterLabel, TakesFifteenCharactersEndedByBlankOrLineEnd) {
    const std::string padded = labelled("IP Router:", 19, "192.168.001.001");
    EXPECT_EQ(CutAfterLabel(padded, "IP Router:", 19), "192.168.001.001");

    const std::string shortValue = labelled("IP Router:", 19, "10.0.0.9", "\r\nIP Mask: ...");
    EXPECT_EQ(CutAfterLabel(shortValue, "IP Router:", 19), "10.0.0.9");
    EXPECT_EQ(CutAfterLabel(labelled("IP Router:", 19, "10.0.0.9", "      \r\n"), "IP Router:", 19),
              "10.0.0.9");
    EXPECT_EQ(CutAfterLabel(labelled("IP Router:", 19, "10.0.0.9", "\n"), "IP Router:", 19),
              "10.0.0.9");

    // The first occurrence counts; a reply that ends early gives what there is.
    const std::string twice =
        labelled("IP Router:", 19, "1.2.3.4") + labelled("IP Router:", 19, "5.6.7.8");
    EXPECT_EQ(CutAfterLabel(twice, "IP Router:", 19), "1.2.3.4");
    EXPECT_EQ(CutAfterLabel(labelled("IP Router:", 19, "10.0", ""), "IP Router:", 19), "10.0");
    EXPECT_EQ(CutAfterLabel("IP Router:", "IP Router:", 19), "");
    EXPECT_EQ(CutAfterLabel("IP Mask: 255.0.0.0", "IP Router:", 19), std::nullopt);
}

TEST(CutRemoteSubnet, RunsToTheFirstBlankOrLineEnd) {
    EXPECT_EQ(CutRemoteSubnet(labelled("Remote IP Address:", 43, "192.168.001.194/26", " \r\n")),
              "192.168.001.194/26");
    EXPECT_EQ(CutRemoteSubnet(labelled("Remote IP Address:", 43, "10.0.0.1/30", "\r\n")),
              "10.0.0.1/30");
    EXPECT_EQ(CutRemoteSubnet(labelled("Remote IP Address:", 43, "10.0.0.1/30", "")), std::nullopt);
    EXPECT_EQ(CutRemoteSubnet("Local IP Address: 1.2.3.4 \r\n"), std::nullopt);
}

TEST(FilterManagementSubnet, ComesFromTheCatalogueOrTheDefault) {
    CommandCatalogue catalogue;
    EXPECT_EQ(FilterManagementSubnet(catalogue), kDefaultFilterManagementSubnet);
    catalogue[CatalogueKey::FILTER_MANAGEMENT_SUBNET] = "203.0.113.16/28";
    EXPECT_EQ(FilterManagementSubnet(catalogue), "203.0.113.16/28");
}

}  // namespace
}  // namespace cofralin
