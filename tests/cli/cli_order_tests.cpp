// Every order of cofralin-cli against a simulated router, in text and in JSON:
// the JSON parsed and compared with the router's state afterwards, the text
// lines whole and prefixed by the port; and the dry run, which leaves the
// router as it was while it prints the lines a real run then sends.

#include <gtest/gtest.h>

#include <functional>
#include <future>
#include <string>
#include <thread>

#include "cli_test_support.h"

namespace cofralin {
namespace {

using namespace std::chrono_literals;
using nlohmann::json;
using testing::CliCall;
using testing::CliResult;
using testing::Plain;
using testing::RouterIn;
using testing::Routers;
using testing::RunCofralinCli;

bool HasMapping(const RouterState& router, NatProtocol protocol, unsigned port) {
    if (!router.running.vc) return false;
    for (const NatMapping& m : router.running.vc->mappings) {
        if (m.protocol == protocol && m.publicPort == port) return true;
    }
    return false;
}

struct OrderCase {
    std::string_view name;
    std::vector<std::string> arguments;
    StartMode mode;
    // The order's JSON object checked against the router afterwards.
    std::function<void(const json&, const RouterState&)> check;
};

const OrderCase kOrders[] = {
    {"estado",
     {"estado"},
     StartMode::MultiPc,
     [](const json& j, const RouterState& router) {
         const InternetVc& vc = *router.running.vc;
         EXPECT_EQ(j["mode"], "multi_pc");
         EXPECT_EQ(j["circuit"]["local"], Plain(vc.localAddress));
         EXPECT_EQ(j["circuit"]["remote"],
                   Plain(vc.remote.address) + "/" + std::to_string(vc.remote.prefix));
         EXPECT_EQ(j["dhcp"]["enabled"], false);
         EXPECT_EQ(j["dhcp"]["router"], Plain(router.running.dhcp.router));
         EXPECT_EQ(j["dhcp"]["start"], Plain(router.running.dhcp.start));
         EXPECT_EQ(j["mappings"]["udp"],
                   json::parse(R"([{"public":5060,"address":"192.168.1.10","private":5060}])"));
         EXPECT_EQ(j["mappings"]["tcp"], json::array());
         EXPECT_EQ(j["router_version"], router.version);
         EXPECT_EQ(j["shipped_version"], "1.6.00");
         EXPECT_EQ(router.saveCount, 0);
     }},
    {"monopuesto",
     {"monopuesto", "10.1.1.1/24", "--si"},
     StartMode::MultiPc,
     [](const json& j, const RouterState& router) {
         EXPECT_EQ(j["mode"], "single_pc");
         EXPECT_EQ(router.saved.dhcp.mode, DhcpMode::Server);
         EXPECT_EQ(Plain(router.saved.vc->localAddress), "10.1.1.1");
         // Nothing read before the switch is reported as the router's now.
         EXPECT_FALSE(j.contains("circuit")) << j.dump();
     }},
    {"multipuesto",
     {"multipuesto", "172.26.0.1/255.255.255.240", "--si"},
     StartMode::SinglePc,
     [](const json& j, const RouterState& router) {
         EXPECT_EQ(j["mode"], "multi_pc");
         EXPECT_EQ(router.saved.dhcp.mode, DhcpMode::Disabled);
         EXPECT_EQ(Plain(router.saved.lan->network.address), "172.26.0.1");
         EXPECT_EQ(router.saved.lan->network.prefix, 28);
     }},
    {"mapeos",
     {"mapeos"},
     StartMode::MultiPc,
     [](const json& j, const RouterState& router) {
         ASSERT_EQ(j["mappings"]["udp"].size(), router.running.vc->mappings.size());
         EXPECT_EQ(j["mappings"]["udp"][0]["public"], 5060);
     }},
    {"mapeos alta",
     {"mapeos", "alta", "tcp", "8080", "192.168.1.20", "80", "--si"},
     StartMode::MultiPc,
     [](const json& j, const RouterState& router) {
         EXPECT_TRUE(HasMapping(router, NatProtocol::Tcp, 8080));
         EXPECT_EQ(j["mappings"]["tcp"],
                   json::parse(R"([{"public":8080,"address":"192.168.1.20","private":80}])"));
     }},
    {"mapeos baja",
     {"mapeos", "baja", "udp", "5060", "--si"},
     StartMode::MultiPc,
     [](const json& j, const RouterState& router) {
         EXPECT_FALSE(HasMapping(router, NatProtocol::Udp, 5060));
         EXPECT_EQ(j["mappings"]["udp"], json::array());
     }},
    {"version",
     {"version"},
     StartMode::SinglePc,
     [](const json& j, const RouterState& router) {
         EXPECT_EQ(j["router_version"], router.version);
         EXPECT_EQ(j["shipped_version"], "1.6.00");
         EXPECT_NE(j["message"].get<std::string>().find("es más nueva"), std::string::npos);
     }},
    {"actualizar",
     {"actualizar", "--si"},
     StartMode::SinglePc,
     [](const json& j, const RouterState&) {
         EXPECT_NE(j["message"].get<std::string>().find("programa de actualización"),
                   std::string::npos);
     }},
    {"puertos",
     {"puertos"},
     StartMode::SinglePc,
     [](const json& j, const RouterState& router) {
         EXPECT_EQ(j["product"], "");
         EXPECT_EQ(router.cli, CliState::Password);
     }},
};

TEST(CliOrders, EveryOrderInTextAndInJson) {
    for (const OrderCase& c : kOrders) {
        // Text and JSON at once, each on a router of its own.
        Routers routers({RouterIn(c.mode), RouterIn(c.mode)});
        std::future<CliResult> runs[2];
        for (const bool asJson : {false, true}) {
            CliCall call{c.arguments, {{"COFRALIN_COM1", routers[asJson ? 1 : 0].slavePath()}}};
            call.arguments.insert(call.arguments.end(), {"-p", "COM1"});
            if (asJson) call.arguments.push_back("--json");
            runs[asJson ? 1 : 0] = std::async(std::launch::async, RunCofralinCli, call);
        }
        for (const bool asJson : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (asJson ? " --json" : ""));
            Q73Simulator& simulator = routers[asJson ? 1 : 0];
            const CliResult run = runs[asJson ? 1 : 0].get();
            EXPECT_EQ(run.status, 0) << run.out << run.err;
            const RouterState router = simulator.snapshot();
            const bool touches = c.name != "puertos";
            if (!touches) {
                EXPECT_EQ(simulator.received(), "");
            }
            if (asJson) {
                const std::vector<json> lines = run.json();
                ASSERT_EQ(lines.size(), 1u) << run.out;
                const json& j = lines[0];
                EXPECT_EQ(j["port"], "COM1:");
                EXPECT_EQ(j["device"], simulator.slavePath());
                EXPECT_EQ(j["order"], c.name);
                EXPECT_EQ(j["outcome"], "ok") << j["message"];
                if (touches) {
                    EXPECT_GT(j["elapsed_ms"].get<int>(), 0);
                }
                c.check(j, router);
            } else {
                const std::string header = touches
                                               ? "COM1: " + std::string(c.name) + ": hecho (ok)\n"
                                               : "COM1: " + simulator.slavePath() + "\n";
                EXPECT_TRUE(run.out.starts_with(header)) << run.out;
                EXPECT_TRUE(testing::EveryLineStartsWithAPort(run.out, {"COM1:"})) << run.out;
            }
            // The upgrade program's own words go to the error stream.
            if (c.name == "actualizar") {
                EXPECT_NE(run.err.find("1: -p1"), std::string::npos) << run.err;
            }
        }
    }
}

// A line of the plan shown in text: its control bytes written out.
std::string shown(std::string line) {
    std::string text;
    for (const char c : line) {
        if (c == '\r') {
            text += "\\r";
        } else if (c == '\n') {
            text += "\\n";
        } else if (c == '\x04') {
            text += "\\x04";
        } else {
            text += c;
        }
    }
    return text;
}

TEST(CliOrders, ADryRunLeavesTheRouterAsItWasAndARealRunSendsItsLines) {
    const struct Case {
        std::vector<std::string> arguments;
        StartMode mode;
        std::size_t lines;  // 0: nothing to change
    } cases[] = {
        {{"monopuesto", "10.1.1.1/24"}, StartMode::MultiPc, 19},
        {{"multipuesto", "172.26.0.1/28", "--estacion", "172.26.0.5"}, StartMode::SinglePc, 22},
        {{"mapeos", "alta", "udp", "5061", "192.168.1.11", "5061"}, StartMode::MultiPc, 5},
        {{"mapeos", "baja", "udp", "5060"}, StartMode::MultiPc, 4},
        {{"monopuesto", "10.1.1.1/24"}, StartMode::SinglePc, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments[0] + " " + c.arguments[1]);
        Routers routers({RouterIn(c.mode)});
        const RouterState before = routers[0].snapshot();
        CliCall dry{c.arguments, routers.environment()};
        dry.arguments.insert(dry.arguments.end(), {"-p", "COM1", "--comprobar", "--json"});
        const CliResult planned = RunCofralinCli(dry);
        EXPECT_EQ(planned.status, 0) << planned.out << planned.err;
        const std::vector<json> lines = planned.json();
        ASSERT_EQ(lines.size(), 1u) << planned.out;
        const std::vector<std::string> plan = lines[0]["lines"];
        EXPECT_EQ(plan.size(), c.lines);
        EXPECT_EQ(lines[0]["outcome"], c.lines == 0 ? "unchanged" : "ok");

        // Untouched: no line of the plan went out, nothing was saved.
        const std::string afterDry = routers[0].received();
        for (const std::string& line : plan) {
            // Sent by every reading of a listing as well.
            if (line == "set adsl open ansi \r\n") continue;
            EXPECT_EQ(afterDry.find(line), std::string::npos) << line;
        }
        const RouterState untouched = routers[0].snapshot();
        EXPECT_EQ(untouched.running, before.running);
        EXPECT_EQ(untouched.saveCount, 0);
        if (c.lines == 0) continue;

        // In text the same plan, endings shown.
        CliCall text = dry;
        text.arguments.pop_back();
        const CliResult shownPlan = RunCofralinCli(text);
        for (const std::string& line : plan) {
            EXPECT_NE(shownPlan.out.find("COM1:     " + shown(line) + "\n"), std::string::npos)
                << shown(line) << "\n"
                << shownPlan.out;
        }

        // The real run sends exactly those lines, in order.
        CliCall real{c.arguments, routers.environment()};
        real.arguments.insert(real.arguments.end(), {"-p", "COM1", "--si"});
        const std::size_t start = routers[0].received().size();
        EXPECT_EQ(RunCofralinCli(real).status, 0);
        const std::string sent = routers[0].received().substr(start);
        std::size_t at = 0;
        for (const std::string& line : plan) {
            at = sent.find(line, at);
            ASSERT_NE(at, std::string::npos) << line;
            at += line.size();
        }
        EXPECT_GT(routers[0].snapshot().saveCount, 0);
    }
}

}  // namespace
}  // namespace cofralin
