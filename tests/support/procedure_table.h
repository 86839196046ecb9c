#pragma once
// The router procedures as the fault tests, the fuzz targets, their seeds and
// the benchmark run them: one row each, with sample values, the mode its
// router starts in, commands whose absence must stop it before anything is
// sent, and what the simulated router shows once it worked. Adding a
// procedure is adding a row.

#include <algorithm>
#include <ostream>
#include <string_view>
#include <vector>

#include "connection.h"
#include "exchange.h"
#include "login.h"
#include "multi_pc.h"
#include "outcome.h"
#include "port_mappings.h"
#include "router_reading.h"
#include "router_state.h"
#include "simulator_options.h"
#include "single_pc.h"
#include "software_update.h"

namespace cofralin::testing {

// The sample mapping every router of the table holds, as the list shows it.
inline constexpr std::string_view kSampleUdpEntry = " 5060\t192.168.001.010\t5060";
// The mapping the sample add adds.
inline constexpr unsigned kSampleAddedPort = 5061;

inline bool HasUdpMapping(const RouterState& router, unsigned port) {
    if (!router.running.vc) return false;
    const auto& mappings = router.running.vc->mappings;
    return std::any_of(mappings.begin(), mappings.end(), [&](const NatMapping& mapping) {
        return mapping.protocol == NatProtocol::Udp && mapping.publicPort == port;
    });
}

struct ProcedureRow {
    std::string_view name;
    // The mode the router is in for the procedure to do its work.
    RouterMode from;
    // Runs the procedure with sample values; an upgrade is never started.
    Outcome (*run)(RouterSession& session, Frontend& frontend);
    // Commands of the catalogue whose absence stops it before anything is sent.
    std::vector<CatalogueKey> needs;
    // What the router shows once the procedure did its work.
    bool (*worked)(const RouterState& router, const Outcome& outcome);
};

// Forwards to a front end, but declines the upgrade the update offers: the
// hand-over has tests of its own, and a started program would outlive the run.
class DecliningUpgrades final : public ForwardingFrontend {
public:
    using ForwardingFrontend::ForwardingFrontend;
    bool confirm(const Message& question, Answers answers) override {
        return ForwardingFrontend::confirm(question, answers) && answers != Answers::OkCancel;
    }
};

// The log-in alone, as every operation runs it first: a step, not a procedure.
inline Outcome RunLogInStep(RouterSession& session, Frontend& frontend) {
    session.KeepTrying = 1;
    Exchange exchange(session, frontend, ExchangeDisplay{});
    const LoginOutcome login = EnsureLogin(exchange, false);
    Outcome outcome;
    if (login == LoginOutcome::LoggedIn) return outcome;
    outcome.ending = login == LoginOutcome::Abandoned  ? Ending::LoginFailed
                     : login == LoginOutcome::LineLost ? Ending::LineLost
                     : login == LoginOutcome::Stopped  ? Ending::Stopped
                                                       : Ending::NoAnswer;
    return outcome;
}

// Readable case names in test listings.
inline void PrintTo(const ProcedureRow* row, std::ostream* out) { *out << row->name; }

// A logged-out router in the mode `row` works from, holding the sample mapping.
inline SimulatorOptions SampleRouter(const ProcedureRow& row) {
    SimulatorOptions options;
    if (row.from == RouterMode::MultiPc) options.mode = StartMode::MultiPc;
    options.mappings = {{NatProtocol::Udp, 5060, {{192, 168, 1, 10}}, 5060}};
    return options;
}

inline const std::vector<ProcedureRow>& Procedures() {
    static const std::vector<ProcedureRow> rows{
        {"Connection",
         RouterMode::SinglePc,
         RunConnectionProcedure,
         {CatalogueKey::SHOW_DHCP_SERVER_SETTING,
          // Sent only when the circuit has to be created.
          CatalogueKey::SET_DHCP_SERVER_LEASE},
         [](const RouterState&, const Outcome& outcome) {
             return outcome.read.mode == RouterMode::SinglePc;
         }},
        {"EnsureLogin",
         RouterMode::SinglePc,
         RunLogInStep,
         {},
         [](const RouterState& router, const Outcome&) { return router.cli == CliState::Prompt; }},
        {"SinglePc",
         RouterMode::MultiPc,
         [](RouterSession& session, Frontend& frontend) {
             return RunSinglePcSwitch(session, frontend, SinglePcInput{});
         },
         {CatalogueKey::SET_DHCP_SERVER_START,
          // Sent only by the read-back.
          CatalogueKey::SHOW_DHCP_SERVER_SETTING},
         [](const RouterState& router, const Outcome&) {
             return router.saved.dhcp.mode == DhcpMode::Server;
         }},
        {"MultiPcOpening",
         RouterMode::SinglePc,
         ReadMgmtAddress,
         {CatalogueKey::SHOW_VC_INTERNET},
         [](const RouterState&, const Outcome& outcome) {
             return outcome.read.vcLocalAddress.has_value();
         }},
        {"MultiPc",
         RouterMode::SinglePc,
         [](RouterSession& session, Frontend& frontend) {
             return RunMultiPcSwitch(session, frontend, MultiPcInput{});
         },
         {CatalogueKey::SET_DHCP_MODE_DISABLE, CatalogueKey::SHOW_VC_INTERNET},
         [](const RouterState& router, const Outcome&) {
             return router.saved.dhcp.mode == DhcpMode::Disabled &&
                    router.saved.atm1InputFilter == "filtro";
         }},
        {"Refresh",
         RouterMode::MultiPc,
         [](RouterSession& session, Frontend& frontend) {
             return RefreshMappings(session, frontend);
         },
         {CatalogueKey::EXIT_CLI},
         [](const RouterState&, const Outcome& outcome) {
             return outcome.read.mappings &&
                    outcome.read.mappings->udp ==
                        std::vector<std::string>{std::string(kSampleUdpEntry)};
         }},
        {"Add",
         RouterMode::MultiPc,
         [](RouterSession& session, Frontend& frontend) {
             PortMappingTexts texts;
             texts.PublicPortText = std::to_string(kSampleAddedPort);
             texts.PrivateAddressText = "192.168.1.11";
             return AddMapping(session, frontend, TrafficType::Udp, texts);
         },
         {CatalogueKey::ADD_NAT_UDP},
         [](const RouterState& router, const Outcome&) {
             return HasUdpMapping(router, kSampleAddedPort);
         }},
        {"Delete",
         RouterMode::MultiPc,
         [](RouterSession& session, Frontend& frontend) {
             return DeleteMapping(session, frontend, TrafficType::Udp,
                                  MappingPortText(kSampleUdpEntry));
         },
         {CatalogueKey::SAVE_ALL},
         [](const RouterState& router, const Outcome&) { return !HasUdpMapping(router, 5060); }},
        {"Update",
         RouterMode::SinglePc,
         [](RouterSession& session, Frontend& frontend) {
             DecliningUpgrades declining(frontend);
             return UpdateRouterSoftware(session, declining, ProgramSearch{"/nonexistent", ""});
         },
         {CatalogueKey::SHOW_SYSTEM},
         [](const RouterState&, const Outcome& outcome) {
             return outcome.read.routerVersion.has_value();
         }},
        {"RouterState",
         RouterMode::MultiPc,
         [](RouterSession& session, Frontend& frontend) {
             return ReadRouterState(session, frontend).outcome;
         },
         {CatalogueKey::SHOW_SYSTEM, CatalogueKey::SHOW_DHCP_SERVER_SETTING},
         [](const RouterState& router, const Outcome& outcome) {
             const RouterReading& read = outcome.read;
             return router.saveCount == 0 && read.mode == RouterMode::MultiPc &&
                    read.routerVersion == router.version && read.mappings &&
                    read.mappings->udp == std::vector<std::string>{std::string(kSampleUdpEntry)};
         }},
    };
    return rows;
}

// The row of the procedure named `name`.
inline const ProcedureRow& ProcedureNamed(std::string_view name) {
    const auto& rows = Procedures();
    return *std::find_if(rows.begin(), rows.end(),
                         [&](const ProcedureRow& r) { return r.name == name; });
}

}  // namespace cofralin::testing
