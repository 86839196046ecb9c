// Reading the router's state: the three listings kept byte for byte as the
// router sent them, what they say, and nothing changed on the router.

#include <gtest/gtest.h>

#include <string>

#include "q73_router.h"
#include "router_reading.h"
#include "simulator_session.h"

namespace cofralin {
namespace {

using testing::SimulatorSession;

// What the router itself sends for `command` at its prompt: the echo, the
// listing and the prompt.
std::string routerAnswer(SimulatorOptions options, std::string_view command) {
    options.loggedIn = true;
    Q73Router router(options);
    return router.feed(std::string(command) + " \r\n");
}

TEST(RouterReading, ListingsAreKeptAsSentAndReadWithoutChangingTheRouter) {
    const struct Case {
        StartMode mode;
        RouterMode read;
        bool dhcpEnabled;
        std::string local, remote, dhcpRouter;
    } cases[] = {
        {StartMode::MultiPc, RouterMode::MultiPc, false, "192.000.002.010", "192.000.002.002/26",
         "192.000.002.001"},
        {StartMode::SinglePc, RouterMode::SinglePc, true, "010.001.001.001", "010.001.001.001/24",
         "192.000.002.001"},
    };
    for (const Case& c : cases) {
        SimulatorOptions options;
        options.mode = c.mode;
        options.mappings = {{NatProtocol::Udp, 5060, {{192, 168, 1, 10}}, 5060},
                            {NatProtocol::Tcp, 8080, {{192, 168, 1, 11}}, 80}};
        SimulatorSession session(options);
        ASSERT_TRUE(session.start());
        const RouterState before = session.simulator.snapshot();

        const RouterStateReading reading = ReadRouterState(session.routerSession, session.frontend);
        ASSERT_EQ(reading.outcome.ending, Ending::Done) << reading.outcome.message;

        // Each listing holds the router's answer whole and ends at the bare prompt.
        const struct {
            const std::string& kept;
            std::string_view command;
        } listings[] = {{reading.listings.system, "show system"},
                        {reading.listings.vc, "show vc internet"},
                        {reading.listings.dhcpServer, "show dhcp server"}};
        for (const auto& listing : listings) {
            EXPECT_NE(listing.kept.find(routerAnswer(options, listing.command)), std::string::npos)
                << ::testing::PrintToString(listing.kept);
            EXPECT_TRUE(listing.kept.ends_with("\r\nZarn-DSL>\r\nZarn-DSL>"))
                << ::testing::PrintToString(listing.kept);
        }
        EXPECT_EQ(ReadingOfListings(reading.listings), reading.outcome.read);

        const RouterReading& read = reading.outcome.read;
        EXPECT_EQ(read.mode, c.read);
        EXPECT_EQ(read.dhcpEnabled, c.dhcpEnabled);
        EXPECT_EQ(read.vcLocalAddress, c.local);
        EXPECT_EQ(read.vcRemoteSubnet, c.remote);
        EXPECT_EQ(read.dhcpRouter, c.dhcpRouter);
        EXPECT_EQ(read.routerVersion, "1.5.09");
        ASSERT_TRUE(read.mappings.has_value());
        EXPECT_EQ(read.mappings->udp, std::vector<std::string>{" 5060\t192.168.001.010\t5060"});
        EXPECT_EQ(read.mappings->tcp, std::vector<std::string>{" 8080\t192.168.001.011\t80"});

        // Listings only, then the exit: nothing configured, nothing saved.
        const std::string received = session.receivedThrough("exit \r\n");
        EXPECT_TRUE(
            received.ends_with("show system \r\n\r\rshow vc internet \r\n\r\r"
                               "show dhcp server \r\n\r\rexit \r\n"))
            << ::testing::PrintToString(received);
        const RouterState after = session.simulator.snapshot();
        EXPECT_EQ(after.running, before.running);
        EXPECT_EQ(after.saveCount, 0);
        EXPECT_EQ(after.cli, CliState::Password);
    }
}

TEST(RouterReading, WhatIncompleteListingsSay) {
    const struct Case {
        std::string_view name;
        RouterListings listings;
        RouterMode mode;
        std::optional<bool> dhcpEnabled;
        bool vcListed;
    } cases[] = {
        {"nothing read", {}, RouterMode::Unknown, std::nullopt, false},
        {"both words: disabled wins",
         {"", "", "DHCP Server: ENABLED\r\nDHCP Server: DISABLED\r\n"},
         RouterMode::MultiPc,
         false,
         false},
        {"no circuit",
         {"", "\r\nError: vc internet not in table\r\n", ""},
         RouterMode::Unknown,
         std::nullopt,
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const RouterReading read = ReadingOfListings(c.listings);
        EXPECT_EQ(read.mode, c.mode);
        EXPECT_EQ(read.dhcpEnabled, c.dhcpEnabled);
        EXPECT_FALSE(read.vcLocalAddress.has_value());
        EXPECT_FALSE(read.vcRemoteSubnet.has_value());
        EXPECT_FALSE(read.dhcpStart.has_value());
        EXPECT_FALSE(read.routerVersion.has_value());
        EXPECT_EQ(read.mappings.has_value(), c.vcListed);
        if (read.mappings) {
            EXPECT_EQ(*read.mappings, MappingTables{});
        }
    }
}

}  // namespace
}  // namespace cofralin
