// The procedures over a line that gives scripted replies, each followed by a
// quiet gap: a listing that arrives over several drains, and a router that
// falls silent after the log-in.

#include <gtest/gtest.h>

#include <chrono>
#include <deque>
#include <memory>
#include <string>

#include "chunked_line.h"
#include "port_mappings.h"
#include "scripted_frontend.h"
#include "serial_line.h"

namespace cofralin {
namespace {

using testing::ScriptedFrontend;

using testing::ChunkedLine;

TEST(ChunkedListingTest, RowsAndTitlesSplitAcrossDrainsAreListed) {
    const std::string prompt = "\r\nZarn-DSL>";
    auto line = std::make_unique<ChunkedLine>(std::deque<std::string>{
        prompt,
        "show vc internet \r\nVC internet\r\nPort Address Translation, Sta",
        "tic UDP Ports\r\nPublic Port   Private Address   Private Port\r\n        50",
        "60   192.168.001.010        5060\r\nPort Address Translation, Static TCP Ports\r\n"
        "80   192.168.001.020   8080" +
            prompt,
        prompt,
    });
    ChunkedLine& router = *line;

    Settings settings;
    settings.catalogue[CatalogueKey::SHOW_VC_INTERNET] = "show vc internet";
    settings.catalogue[CatalogueKey::EXIT_CLI] = "exit";
    RouterSession state(settings);
    state.RouterPort = std::move(line);
    ScriptedFrontend view;

    const Outcome outcome = RefreshMappings(state, view, &view);
    EXPECT_EQ(outcome.ending, Ending::Done);

    // The log-in nudge, the listing, one nudge after each of the four replies, the exit.
    EXPECT_EQ(router.written, "\rshow vc internet \r\n\r\r\r\rexit \r\n");
    const MappingTables listed{{" 5060\t192.168.001.010\t5060"}, {"80\t192.168.001.020\t8080"}};
    EXPECT_EQ(view.listed, listed);
    EXPECT_EQ(outcome.read.mappings, listed);
    EXPECT_EQ(view.lastStatus(), prompt);
    EXPECT_EQ(view.listingsCleared, 1);
}

// A router that logs in at once and then never answers again.
class SilentAfterLogin : public ::testing::Test {
protected:
    SilentAfterLogin() {
        auto line = std::make_unique<ChunkedLine>(std::deque<std::string>{"\r\nZarn-DSL>"});
        router = line.get();
        state.RouterPort = std::move(line);
        state.KeepTrying = 1;
    }

    static Settings commandsNamedByTheirKeys() {
        Settings settings;
        settings.PromptWaitLimit = std::chrono::milliseconds(300);
        for (const CatalogueKey key :
             {CatalogueKey::SET_ADSL_OPEN_ANSI, CatalogueKey::DISABLE_VC_INTERNET,
              CatalogueKey::ENABLE_VC_INTERNET, CatalogueKey::SAVE_ALL, CatalogueKey::EXIT_CLI,
              CatalogueKey::SHOW_VC_INTERNET}) {
            settings.catalogue[key] = std::string(CatalogueKeyName(key));
        }
        settings.catalogue[CatalogueKey::ADD_NAT_UDP] = "ADD zz a.a.a.a yy";
        return settings;
    }

    // Everything after the commands must be nudges of the wait that gave up.
    void expectOnlyNudgesAfter(std::string_view commands) {
        ASSERT_EQ(router->written.compare(0, commands.size(), commands), 0) << router->written;
        const std::string rest = router->written.substr(commands.size());
        EXPECT_FALSE(rest.empty());
        EXPECT_EQ(rest.find_first_not_of('\r'), std::string::npos) << rest;
        ASSERT_EQ(view.messages.size(), 2u);
        EXPECT_EQ(view.messages[1].text, "El Router no responde.");
        EXPECT_EQ(view.messages[1].caption, "Error");
        EXPECT_EQ(view.listingsCleared, 0);  // no refresh
        EXPECT_EQ(view.busyCalls, (std::vector<bool>{true, false}));
    }

    ChunkedLine* router = nullptr;
    const Settings settings = commandsNamedByTheirKeys();
    RouterSession state{settings};
    ScriptedFrontend view;
};

TEST_F(SilentAfterLogin, AddGivesUpBeforeTheExitAndTheRefresh) {
    PortMappingTexts texts;
    texts.PublicPortText = "80";
    texts.PrivateAddressText = "10.0.0.2";

    // The change went out and its save was never answered.
    EXPECT_EQ(AddMapping(state, view, TrafficType::Udp, texts, &view).ending,
              Ending::HalfConfigured);
    expectOnlyNudgesAfter(
        "\rSET_ADSL_OPEN_ANSI \r\nDISABLE_VC_INTERNET \r\nADD 80 10.0.0.2 80 \r\n"
        "ENABLE_VC_INTERNET \r\nSAVE_ALL \r\n");
}

TEST_F(SilentAfterLogin, DeleteGivesUpBeforeTheRefresh) {
    EXPECT_EQ(
        DeleteMapping(state, view, TrafficType::Tcp, MappingPortText("80\t10.0.0.2\t80"), &view)
            .ending,
        Ending::HalfConfigured);
    expectOnlyNudgesAfter(
        "\rDISABLE_VC_INTERNET \r\ndelete nat tcp vc internet public_port 80\r\n \r\n"
        "ENABLE_VC_INTERNET \r\nSAVE_ALL \r\n");
}

}  // namespace
}  // namespace cofralin
