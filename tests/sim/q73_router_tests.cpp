// The router model fed directly: the details the program's procedures rely on.

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "command_catalogue.h"
#include "connection.h"
#include "exchange.h"
#include "login.h"
#include "q73_router.h"
#include "simulator_options.h"

namespace cofralin {
namespace {

using namespace std::string_literals;

SimulatorOptions loggedIn() {
    SimulatorOptions options;
    options.loggedIn = true;
    return options;
}

// The reply to the CR alone, without the echo of the characters before it.
std::string replyTo(Q73Router& router, std::string_view line) {
    router.feed(line);
    return router.feedByte('\r').bytes;
}

// What the program cuts out of a listing: `length` characters starting
// `distance` characters after the label's first character.
std::string cut(const std::string& reply, std::string_view label, std::size_t distance,
                std::size_t length) {
    const std::size_t at = reply.find(label);
    if (at == std::string::npos) return "<no " + std::string(label) + ">";
    return reply.substr(at + distance, length);
}

std::size_t occurrences(const std::string& text, std::string_view word) {
    std::size_t count = 0;
    for (std::size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) {
        ++count;
    }
    return count;
}

TEST(Q73RouterLine, IdleLineAnswersExactlyThePrompt) {
    Q73Router router(loggedIn());
    EXPECT_EQ(router.feed("\r"), "\r\nZarn-DSL>");
    EXPECT_EQ(router.feed("\r\n"), "\r\nZarn-DSL>");
    // Blanks are echoed; the line's own answer is the bare prompt all the same.
    EXPECT_EQ(router.feed("   "), "   ");
    EXPECT_EQ(router.feed("\r"), "\r\nZarn-DSL>");
}

TEST(Q73RouterLine, CommandEchoOutputThenPrompt) {
    Q73Router router(loggedIn());
    const std::string output = router.feed("show system\r\n");
    EXPECT_EQ(output.rfind("show system\r\n", 0), 0u) << output;
    EXPECT_TRUE(output.ends_with("\r\n\r\nZarn-DSL>")) << output;

    const std::string error = router.feed("frobnicate\r");
    EXPECT_NE(error.find("Error"), std::string::npos);
    EXPECT_TRUE(error.ends_with("\r\nZarn-DSL>"));
    EXPECT_NE(error, "frobnicate\r\nZarn-DSL>");
}

TEST(Q73RouterLogin, ProgramSequenceLogsIn) {
    Q73Router router;
    EXPECT_EQ(router.feed("\r"), "\r\nLogin incorrect\r\nPassword: ");
    // The built-in password goes out without a line end: only its masked echo comes back.
    EXPECT_EQ(router.feed("pelnotra"), "********");
    EXPECT_EQ(router.feed("\r"), "\r\nZarn-DSL>");
    EXPECT_EQ(router.state().cli, CliState::Prompt);
}

TEST(Q73RouterLogin, WrongPasswordsAndOtherPassword) {
    SimulatorOptions options;
    options.password = "secreto 1";
    Q73Router router(options);
    EXPECT_EQ(router.feed("pelnotra\r\n"), "********\r\nLogin incorrect\r\nPassword: ");
    EXPECT_EQ(router.feed("\r\n"), "\r\nLogin incorrect\r\nPassword: ");
    EXPECT_EQ(router.feed("SECRETO 1\r\n"), "*********\r\nLogin incorrect\r\nPassword: ");
    EXPECT_EQ(router.feed("secreto 1\r\n"), "*********\r\nZarn-DSL>");
}

TEST(Q73RouterLogin, ExitLogsOutAndNextContactAsksAgain) {
    Q73Router router(loggedIn());
    EXPECT_EQ(router.feed("exit\r\n"), "exit\r\nBye\r\n");
    EXPECT_EQ(router.state().cli, CliState::Password);
    // Commands are passwords now: nothing runs, nothing is echoed in clear.
    EXPECT_EQ(router.feed("save all\r\n"), "********\r\nLogin incorrect\r\nPassword: ");
    EXPECT_EQ(router.state().saveCount, 0);
    EXPECT_EQ(router.feed("\r"), "\r\nLogin incorrect\r\nPassword: ");
    router.feed("pelnotra");
    EXPECT_EQ(router.feed("\r"), "\r\nZarn-DSL>");
    EXPECT_EQ(router.feed("exit \r\n"), "exit \r\nBye\r\n");
    EXPECT_EQ(router.state().cli, CliState::Password);
}

TEST(Q73RouterLogin, QuickSetupRepeatsUntilNo) {
    SimulatorOptions options;
    options.firstStart = true;
    Q73Router router(options);
    EXPECT_EQ(router.feed("\r"), "\r\nQuick Setup? [yes/no]: ");
    EXPECT_EQ(router.feed("yes\r\n"), "yes\r\nQuick Setup? [yes/no]: ");
    EXPECT_EQ(router.feed("no\r\n"), "no\r\nLogin incorrect\r\nPassword: ");
    EXPECT_EQ(router.state().cli, CliState::Password);

    options.loggedIn = true;
    Q73Router open(options);
    EXPECT_EQ(open.feed("\r"), "\r\nQuick Setup? [yes/no]: ");
    EXPECT_EQ(open.feed("no\r\n"), "no\r\nZarn-DSL>");
    EXPECT_EQ(open.feed("\r"), "\r\nZarn-DSL>");
}

TEST(Q73RouterCapture, TakesEverythingUntilByte4AndBuildsTheFilter) {
    Q73Router router(loggedIn());
    const std::string text =
        "#filter\rIP:\r1 ACCEPT src-addr=203.0.113.16/28;\rexit\r2 REJECT tcp-dst-port=23;\r";
    EXPECT_EQ(router.feed("capture text_file filtro\r"), "capture text_file filtro\r\n");
    // No echo, and a line that looks like a command is only text.
    EXPECT_EQ(router.feed(text), "");
    EXPECT_EQ(router.state().cli, CliState::Capture);
    EXPECT_EQ(router.feed("\x04"), "\r\nZarn-DSL>");
    EXPECT_EQ(router.state().cli, CliState::Prompt);
    EXPECT_EQ(router.state().running.textFiles.at("filtro"), text);

    EXPECT_EQ(replyTo(router, "add filter filtro"), "\r\n\r\nZarn-DSL>");
    EXPECT_EQ(replyTo(router, "set interface atm:1 input_filter filtro"), "\r\n\r\nZarn-DSL>");
    EXPECT_EQ(router.state().running.filters.at("filtro"), text);
    EXPECT_EQ(router.state().running.atm1InputFilter, "filtro");

    // Deleting the filter takes it off the interface too.
    replyTo(router, "delete filter filtro ");
    EXPECT_TRUE(router.state().running.filters.empty());
    EXPECT_EQ(router.state().running.atm1InputFilter, "");
    EXPECT_NE(replyTo(router, "delete filter filtro").find("Error"), std::string::npos);
}

TEST(Q73RouterListings, DhcpValuesStand19CharactersAfterTheirLabels) {
    Q73Router router(loggedIn());
    const std::string single = replyTo(router, "show dhcp server");
    EXPECT_NE(single.find("DHCP Server: ENABLED\r\n"), std::string::npos);
    EXPECT_EQ(occurrences(single, "ENABLED"), 1u);
    EXPECT_EQ(occurrences(single, "DISABLED"), 0u);
    EXPECT_EQ(cut(single, "IP Router:", 19, 15), "192.000.002.001");
    EXPECT_EQ(cut(single, "IP Mask:", 19, 15), "255.255.255.192");
    EXPECT_EQ(cut(single, "Start IP Address:", 19, 15), "192.000.002.010");

    replyTo(router, "set dhcp mode disable");
    replyTo(router, "set dhcp server start_address 192.000.002.033 ");
    const std::string multi = replyTo(router, "show dhcp server");
    EXPECT_NE(multi.find("DHCP Server: DISABLED\r\n"), std::string::npos);
    EXPECT_EQ(occurrences(multi, "ENABLED"), 0u);
    EXPECT_EQ(occurrences(multi, "DISABLED"), 1u);
    EXPECT_EQ(cut(multi, "Start IP Address:", 19, 15), "192.000.002.033");
    replyTo(router, "set dhcp mode server");
    EXPECT_NE(replyTo(router, "show dhcp server").find("ENABLED"), std::string::npos);
}

TEST(Q73RouterListings, VcAddressesStand43CharactersAfterTheirLabels) {
    Q73Router router(loggedIn());
    replyTo(router, "set vc internet local_ip_address 192.000.002.010");
    replyTo(router, "set vc internet remote_ip_address 192.0.2.194/255.255.255.192 ");
    const std::string listing = replyTo(router, "show vc internet");
    EXPECT_EQ(cut(listing, "Local IP Address:", 43, 15), "192.000.002.010");
    // The program reads the remote value up to the first blank.
    EXPECT_EQ(cut(listing, "Remote IP Address:", 43, 19), "192.000.002.194/26 ");
    EXPECT_LT(listing.find("Port Address Translation, Static UDP Ports\r\n"),
              listing.find("Port Address Translation, Static TCP Ports\r\n"));
    EXPECT_EQ(occurrences(listing, "ENABLED") + occurrences(listing, "DISABLED"), 0u);
}

TEST(Q73RouterListings, SystemVersionStands42CharactersAfterItsLabel) {
    SimulatorOptions options = loggedIn();
    options.version = "1.4.17";
    Q73Router router(options);
    EXPECT_EQ(cut(replyTo(router, "show system"), "System Version:", 42, 6), "1.4.17");
}

TEST(Q73RouterListings, MissingVcIsNotInTableUntilAdded) {
    SimulatorOptions options = loggedIn();
    options.noVc = true;
    Q73Router router(options);
    EXPECT_NE(replyTo(router, "show vc internet").find("not in table"), std::string::npos);
    EXPECT_EQ(replyTo(router, "add vc internet"), "\r\n\r\nZarn-DSL>");
    const std::string listing = replyTo(router, "show vc internet");
    EXPECT_EQ(listing.find("not in table"), std::string::npos);
    EXPECT_EQ(cut(listing, "Local IP Address:", 43, 15), "000.000.000.000");
    ASSERT_TRUE(router.state().running.vc.has_value());
    EXPECT_FALSE(router.state().running.vc->enabled);
    EXPECT_NE(replyTo(router, "add vc internet").find("Error"), std::string::npos);
}

TEST(Q73RouterMappings, AddedAndDeletedRowsShowInTheNextListing) {
    Q73Router router(loggedIn());
    router.feed(
        "add nat udp vc internet public_port 5060 private_address 192.168.001.010 "
        "private_port 5060 \r\n");
    router.feed(
        "add nat tcp  vc internet public_port 8080   private_address 192.168.1.20 "
        "private_port 80 \r\n");
    std::string listing = replyTo(router, "show vc internet");
    const std::size_t udp = listing.find("Static UDP Ports");
    const std::size_t tcp = listing.find("Static TCP Ports");
    const std::size_t udpRow = listing.find("        5060   192.168.001.010        5060\r\n");
    const std::size_t tcpRow = listing.find("        8080   192.168.001.020          80\r\n");
    EXPECT_TRUE(udp < udpRow && udpRow < tcp) << listing;
    EXPECT_TRUE(tcp < tcpRow && tcpRow != std::string::npos) << listing;

    // The same public port twice is refused and changes nothing.
    EXPECT_NE(replyTo(router,
                      "add nat udp vc internet public_port 5060 private_address "
                      "10.0.0.1 private_port 1")
                  .find("Error"),
              std::string::npos);
    EXPECT_EQ(router.state().running.vc->mappings.size(), 2u);

    // The program's delete: two blanks before a port text with a leading blank,
    // then a line holding one blank.
    EXPECT_EQ(router.feed("delete nat udp vc internet public_port  5060\r\n"),
              "delete nat udp vc internet public_port  5060\r\n\r\nZarn-DSL>");
    EXPECT_EQ(router.feed(" \r\n"), " \r\nZarn-DSL>");
    listing = replyTo(router, "show vc internet");
    EXPECT_EQ(listing.find("5060"), std::string::npos);
    EXPECT_NE(listing.find("        8080   192.168.001.020          80\r\n"), std::string::npos);
    EXPECT_NE(replyTo(router, "delete nat tcp vc internet public_port 5060").find("Error"),
              std::string::npos);
}

TEST(Q73RouterAddresses, ZeroPaddedOctetsAreDecimal) {
    Q73Router router(loggedIn());
    replyTo(router, "set dhcp server router 010.008.009.012 ");
    EXPECT_EQ(router.state().running.dhcp.router, (Ipv4Address{{10, 8, 9, 12}}));
    replyTo(router, "add ip network lan address 192.000.002.001/255.255.255.240 enable yes");
    ASSERT_TRUE(router.state().running.lan.has_value());
    EXPECT_EQ(router.state().running.lan->network, (AddressWithPrefix{{{192, 0, 2, 1}}, 28}));
    replyTo(router, "set vc internet remote_ip_address 192.000.002.193/26");
    EXPECT_EQ(router.state().running.vc->remote, (AddressWithPrefix{{{192, 0, 2, 193}}, 26}));

    // Bad values are refused and leave the setting alone.
    for (const char* bad :
         {"256.1.1.1", "1.2.3", "1.2.3.4.5", "0x1.2.3.4", "1..2.3", "1.2.3.4/5"}) {
        EXPECT_NE(replyTo(router, "set dhcp server router "s + bad).find("Error"),
                  std::string::npos)
            << bad;
    }
    EXPECT_NE(
        replyTo(router, "set vc internet remote_ip_address 10.0.0.1/255.0.255.0").find("Error"),
        std::string::npos);
    EXPECT_EQ(router.state().running.dhcp.router, (Ipv4Address{{10, 8, 9, 12}}));
}

TEST(Q73RouterConfig, SaveAllCopiesRunningToSaved) {
    Q73Router router(loggedIn());
    replyTo(router, "set dhcp mode disable");
    EXPECT_EQ(router.state().saved.dhcp.mode, DhcpMode::Server);
    replyTo(router, "save all");
    EXPECT_EQ(router.state().saved, router.state().running);
    EXPECT_EQ(router.state().saveCount, 1);
}

// Every command of our catalogue, composed as the program composes it, is one
// the router knows; so is every fixed line of the program.
TEST(Q73RouterConfig, AcceptsTheWholeCatalogueAndTheFixedLines) {
    CommandCatalogue catalogue;
    ASSERT_EQ(LoadCommandCatalogue(catalogue, COFRALIN_SOURCE_DIR).status,
              CatalogueLoadResult::Status::Loaded);
    for (std::size_t i = 0; i < kCatalogueEntryCount; ++i) {
        const auto key = static_cast<CatalogueKey>(i);
        if (key == CatalogueKey::VERSION || key == CatalogueKey::DOS_COMMAND ||
            key == CatalogueKey::HTML_HELP || key == CatalogueKey::FILTER_MANAGEMENT_SUBNET) {
            continue;
        }
        const std::string line = ComposeLine(catalogue[key], LineEnding::BlankCrLf,
                                             {{"a.a.a.a/m.m.m.m", kCreationLanSubnet},
                                              {"a.a.a.a", kCreationPoolStart},
                                              {"m.m.m.m", "255.255.255.192"},
                                              {"yy", "5060"},
                                              {"zz", " 5061"}});
        Q73Router router(loggedIn());
        const std::string output = router.feed(line);
        EXPECT_EQ(output.find("Error"), std::string::npos) << line << output;
    }

    SimulatorOptions multi = loggedIn();
    multi.mode = StartMode::MultiPc;
    multi.mappings = {{NatProtocol::Tcp, 25, {{192, 168, 1, 2}}, 25}};
    Q73Router router(multi);
    for (const char* line : {"set interface eth:1 input_filter\r\n", "delete filter filtro\r\n",
                             "capture text_file filtro\r#filter\r\x04", "add filter filtro\r\n",
                             "delete filter filtro \r\n", "capture text_file filtro\r#filter\r\x04",
                             "add filter filtro\r\n", "set interface atm:1 input_filter filtro\r\n",
                             "delete nat tcp vc internet public_port  25\r\n \r\n"}) {
        const std::string output = router.feed(line);
        EXPECT_EQ(output.find("Error"), std::string::npos) << line << output;
    }
    EXPECT_TRUE(router.state().running.vc->mappings.empty());

    multi.noVc = true;
    multi.mappings.clear();
    Q73Router bare(multi);
    EXPECT_EQ(bare.feed("add vc internet\r\n"), "add vc internet\r\n\r\nZarn-DSL>");
}

TEST(Q73RouterListings, RefusedLinesAndGivenOrMissingValuesChangeOnlyWhatTheyName) {
    SimulatorOptions options = loggedIn();
    options.answers = {{"save all", "Error: no hay espacio"}};
    options.listedValues = {{"Start IP Address:", "999.1.1.1"}};
    options.omittedLabels = {"System Version:"};
    Q73Router router(options);
    EXPECT_EQ(replyTo(router, "SAVE ALL"), "\r\nError: no hay espacio\r\n\r\nZarn-DSL>");
    EXPECT_EQ(router.state().saveCount, 0);
    const std::string dhcp = replyTo(router, "show dhcp server");
    EXPECT_EQ(cut(dhcp, "Start IP Address:", 19, 9), "999.1.1.1");
    EXPECT_EQ(cut(dhcp, "IP Router:", 19, 15), "192.000.002.001");
    const std::string system = replyTo(router, "show system");
    EXPECT_EQ(system.find("System Version:"), std::string::npos);
    EXPECT_NE(system.find("Model:"), std::string::npos);
}

TEST(SimulatorCommandLine, OptionsAndRefusals) {
    const CommandLine line = parseCommandLine({"--mode",
                                               "multi",
                                               "--mapping",
                                               "udp:5060:192.168.001.010:5061",
                                               "--mapping",
                                               "tcp:80:10.0.0.1:8080",
                                               "--version",
                                               "1.6.00",
                                               "--hangup-after",
                                               "3",
                                               "--link",
                                               "/tmp/x",
                                               "--echo-password",
                                               "--device",
                                               "/dev/pts/9",
                                               "--answer",
                                               "save all=Error: lleno",
                                               "--list",
                                               "IP Mask:=255\\x1b",
                                               "--without",
                                               "System Version:"});
    ASSERT_EQ(line.error, "");
    EXPECT_EQ(line.options.mode, StartMode::MultiPc);
    ASSERT_EQ(line.options.mappings.size(), 2u);
    EXPECT_EQ(line.options.mappings[0],
              (NatMapping{NatProtocol::Udp, 5060, {{192, 168, 1, 10}}, 5061}));
    EXPECT_EQ(line.options.version, "1.6.00");
    EXPECT_EQ(line.options.hangupAfter, 3);
    EXPECT_EQ(line.linkPath, "/tmp/x");
    EXPECT_EQ(line.devicePath, "/dev/pts/9");
    EXPECT_TRUE(line.options.echoPassword);
    EXPECT_EQ(line.options.answers,
              (std::vector<std::pair<std::string, std::string>>{{"save all", "Error: lleno"}}));
    EXPECT_EQ(line.options.listedValues,
              (std::vector<std::pair<std::string, std::string>>{{"IP Mask:", "255\x1b"}}));
    EXPECT_EQ(line.options.omittedLabels, std::vector<std::string>{"System Version:"});

    for (const std::vector<std::string>& bad :
         std::vector<std::vector<std::string>>{{"--version", "1.6 beta"},
                                               {"--answer", "save all"},
                                               {"--list", "=1"},
                                               {"--mapping", "udp:0:10.0.0.1:1"},
                                               {"--mapping", "icmp:1:10.0.0.1:1"},
                                               {"--mode", "both"},
                                               {"--slow"},
                                               {"--device"},
                                               {"--slow", "-5"},
                                               {"--hangup-after", "0"},
                                               {"--no-vc", "--mapping", "tcp:1:10.0.0.1:1"},
                                               {"--frobnicate"}}) {
        EXPECT_NE(parseCommandLine(bad).error, "") << bad[0];
    }
    EXPECT_NE(usageText().find("--zero-bytes"), std::string::npos);
}

}  // namespace
}  // namespace cofralin
