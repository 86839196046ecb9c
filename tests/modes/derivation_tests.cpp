// The listing cuts and the address derivations of the two mode switches, and
// the comparison of their read-back with what they sent.

#include <gtest/gtest.h>

#include "command_catalogue.h"
#include "mode_switch.h"
#include "multi_pc.h"
#include "read_back.h"

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

TEST(ReadBack, SubnetsCompareAddressAndPrefixWhateverTheirForm) {
    EXPECT_TRUE(SameSubnet("192.0.2.1/255.255.255.192", "192.000.002.001/26"));
    EXPECT_TRUE(SameSubnet("10.1.1.1/24", "010.001.001.001/255.255.255.0"));
    EXPECT_FALSE(SameSubnet("10.1.1.1/24", "10.1.1.1/25"));
    EXPECT_FALSE(SameSubnet("10.1.1.1/24", "10.1.1.2/24"));
    EXPECT_FALSE(SameSubnet("10.1.1.1/255.255.0.255", "10.1.1.1/255.255.0.255"));
    EXPECT_FALSE(SameSubnet("10.1.1.1/33", "10.1.1.1/33"));
    EXPECT_FALSE(SameSubnet("10.1.1.1", "10.1.1.1"));
}

// The listings of a router that took a single-PC or a multi-PC switch.
ReadBackListings listings(std::string_view word, std::string_view router, std::string_view start,
                          std::string_view local, std::string_view remote) {
    return {"DHCP Server: " + std::string(word) + "\r\n" + labelled("IP Router:", 19, router) +
                labelled("Start IP Address:", 19, start) + "\r\nZarn-DSL>",
            labelled("Local IP Address:", 43, local) +
                labelled("Remote IP Address:", 43, remote, " \r\n")};
}

TEST(ReadBack, NamesEverySettingTheListingsDoNotShowAsSent) {
    const SentSettings single{true, "10.1.1.1", "10.1.1.1/255.255.255.0", "192.000.002.1",
                              "192.000.002.010"};
    const SentSettings multi{false, "192.000.002.010", "192.000.002.2/255.255.255.192",
                             std::nullopt, std::nullopt};
    const ReadBackListings singleTaken = listings("ENABLED", "192.000.002.001", "192.000.002.010",
                                                  "010.001.001.001", "010.001.001.001/24");
    const ReadBackListings multiTaken = listings("DISABLED", "192.000.002.001", "192.000.002.010",
                                                 "192.000.002.010", "192.000.002.002/26");
    const struct Case {
        const char* name;
        const SentSettings& sent;
        ReadBackListings listed;
        std::vector<std::string> notTaken;
    } cases[] = {
        // Zero padding and mask or prefix form make no difference.
        {"single taken", single, singleTaken, {}},
        {"multi taken", multi, multiTaken, {}},
        {"single, each differs",
         single,
         listings("DISABLED", "192.000.002.009", "192.000.003.010", "010.001.001.002",
                  "010.001.001.001/25"),
         {"El Router no aceptó activar el servidor DHCP.",
          "El Router no aceptó la dirección inicial del servidor DHCP (192.000.002.010).",
          "El Router no aceptó la puerta de enlace del servidor DHCP (192.000.002.1).",
          "El Router no aceptó la dirección remota del circuito (10.1.1.1/255.255.255.0).",
          "El Router no aceptó la dirección local del circuito (10.1.1.1)."}},
        {"multi, DHCP still on and the local address kept",
         multi,
         listings("ENABLED", "192.000.002.001", "192.000.002.010", "192.000.002.063",
                  "192.000.002.002/26"),
         {"El Router no aceptó desactivar el servidor DHCP.",
          "El Router no aceptó la dirección local del circuito (192.000.002.010)."}},
        // A listing without its labels shows nothing as taken.
        {"multi, nothing listed",
         multi,
         {"\r\nZarn-DSL>", "\r\nZarn-DSL>"},
         {"El Router no aceptó desactivar el servidor DHCP.",
          "El Router no aceptó la dirección remota del circuito (192.000.002.2/255.255.255.192).",
          "El Router no aceptó la dirección local del circuito (192.000.002.010)."}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SettingsNotTaken(c.sent, c.listed), c.notTaken) << c.name;
    }
}

}  // namespace
}  // namespace cofralin
