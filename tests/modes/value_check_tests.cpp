// The checks of typed values that the mode and port-mapping dialogs make
// before anything is sent.

#include <gtest/gtest.h>

#include <optional>
#include <string_view>

#include "multi_pc.h"
#include "port_mappings.h"
#include "single_pc.h"
#include "value_checks.h"

namespace cofralin {
namespace {

TEST(ValueChecks, AddressesMasksHostsAndPorts) {
    EXPECT_EQ(ParseIpv4("192.168.1.50"), 0xC0A80132u);
    EXPECT_EQ(ParseIpv4("010.001.001.001"), 0x0A010101u);  // zero padding is only padding
    for (const std::string_view bad : {"", "1.2.3", "1.2.3.4.5", "1.2.3.256", "1..3.4", "1.2.3.4 ",
                                       "1.2.3.0004", "a.b.c.d", "1.2.3.-4"}) {
        EXPECT_FALSE(ParseIpv4(bad)) << bad;
    }

    struct Mask {
        std::string_view mask;
        bool contiguous;
    };
    for (const Mask& m :
         {Mask{"255.255.255.240", true}, Mask{"255.255.255.0", true}, Mask{"255.128.0.0", true},
          Mask{"255.255.255.255", true}, Mask{"0.0.0.0", true}, Mask{"255.0.255.0", false},
          Mask{"255.255.0.255", false}, Mask{"255.255.255.241", false},
          Mask{"0.255.255.255", false}, Mask{"255.255.255", false}}) {
        EXPECT_EQ(IsContiguousMask(m.mask), m.contiguous) << m.mask;
    }

    struct Host {
        std::string_view address;
        std::string_view mask;
        bool host;
    };
    for (const Host& h :
         {Host{"172.26.0.1", "255.255.255.240", true}, Host{"172.26.0.14", "255.255.255.240", true},
          Host{"172.26.0.0", "255.255.255.240", false},   // network
          Host{"172.26.0.15", "255.255.255.240", false},  // broadcast
          Host{"172.26.0.16", "255.255.255.240", false},  // next network
          Host{"10.1.0.0", "255.255.0.0", false}, Host{"10.1.1.0", "255.255.0.0", true},
          Host{"10.1.255.255", "255.255.0.0", false},
          Host{"10.1.1.1", "255.255.255.254", false},  // /31: no hosts
          Host{"10.1.1.1", "255.255.255.255", false}, Host{"10.1.1.1", "0.0.0.0", false},
          Host{"10.1.1.1", "255.255.0.255", false}}) {
        EXPECT_EQ(IsHostOfSubnet(h.address, h.mask), h.host) << h.address << "/" << h.mask;
    }

    for (const std::string_view host : {"192.168.1.20", "10.0.0.1", "223.255.255.254"}) {
        EXPECT_TRUE(IsHostAddress(host)) << host;
    }
    for (const std::string_view none :
         {"0.0.0.0", "0.1.2.3", "127.0.0.1", "224.0.0.1", "255.255.255.255", "1.2.3"}) {
        EXPECT_FALSE(IsHostAddress(none)) << none;
    }

    for (const std::string_view port : {"1", "80", "65535", "08080"}) {
        EXPECT_TRUE(IsPortNumber(port)) << port;
    }
    for (const std::string_view port :
         {"", "0", "00000", "65536", "99999", "100000", "8a", " 80"}) {
        EXPECT_FALSE(IsPortNumber(port)) << port;
    }
}

TEST(ValueChecks, EachSwitchAndTheAddRefuseTheFirstBadValueNamingTheField) {
    struct Case {
        std::optional<RefusedValue> refused;
        std::optional<ValueField> field;  // nothing: accepted
        std::string_view named;           // a piece of the message
    };
    const Case cases[] = {
        {CheckSinglePcValues("10.1.1.1", "255.255.255.0"), std::nullopt, ""},
        {CheckSinglePcValues("192.168.5.77", "255.255.255.240"), std::nullopt, ""},
        {CheckSinglePcValues("10.1.1.1", "255.0.255.0"), ValueField::MgmtMask,
         "La máscara IP de gestión (255.0.255.0)"},
        {CheckSinglePcValues("10.1.1.0", "0.0.0.0"), ValueField::MgmtMask, "0.0.0.0)"},
        {CheckSinglePcValues("10.1.1.255", "255.255.255.0"), ValueField::MgmtAddress,
         "La dirección IP de gestión (10.1.1.255)"},
        {CheckMultiPcValues("172.26.0.1", "255.255.255.240", "0.0.0.0"), std::nullopt, ""},
        {CheckMultiPcValues("172.26.0.1", "255.255.255.240", "172.26.0.5"), std::nullopt, ""},
        {CheckMultiPcValues("172.26.0.1", "255.255.0.255", "0.0.0.0"), ValueField::LanMask,
         "La máscara IP de la red local (255.255.0.255)"},
        {CheckMultiPcValues("172.26.0.0", "255.255.255.240", "0.0.0.0"), ValueField::LanAddress,
         "La dirección IP de la red local (172.26.0.0)"},
        {CheckMultiPcValues("172.26.0.1", "255.255.255.240", "172.26.0.15"),
         ValueField::DefaultStation, "La estación por defecto (172.26.0.15)"},
        {CheckMultiPcValues("172.26.0.1", "255.255.255.240", "172.26.1.5"),
         ValueField::DefaultStation, "red local 172.26.0.1/255.255.255.240"},
        {CheckMappingValues("80", "", "192.168.1.20"), std::nullopt, ""},
        {CheckMappingValues("", "", "0.0.0.0"), std::nullopt, ""},  // the add tells these
        {CheckMappingValues("70000", "80", "192.168.1.20"), ValueField::PublicPort,
         "El puerto público (70000)"},
        {CheckMappingValues("80", "0", "192.168.1.20"), ValueField::PrivatePort,
         "El puerto privado (0)"},
        {CheckMappingValues("80", "8080", "127.0.0.1"), ValueField::PrivateAddress,
         "La dirección privada (127.0.0.1)"},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(c.refused.has_value(), c.field.has_value()) << c.named;
        if (!c.refused) continue;
        EXPECT_EQ(c.refused->field, *c.field) << c.refused->message;
        EXPECT_NE(c.refused->message.find(c.named), std::string::npos) << c.refused->message;
    }
}

}  // namespace
}  // namespace cofralin
