// Dry runs: each changing procedure logs in, reads what it needs, reports the
// lines it would send and leaves the command line with nothing configured; a
// real run afterwards on the same router sends exactly those lines.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "connection.h"
#include "procedure_table.h"
#include "simulator_session.h"

namespace cofralin {
namespace {

using testing::ProcedureRow;
using testing::SimulatorSession;

const ProcedureRow& row(std::string_view name) { return testing::ProcedureNamed(name); }

// True when `part` stands in `whole` as one unbroken run.
bool holdsRun(const std::vector<std::string>& whole, const std::vector<std::string>& part) {
    return std::search(whole.begin(), whole.end(), part.begin(), part.end()) != whole.end();
}

TEST(DryRun, PlansWithoutConfiguringThenARealRunSendsThePlan) {
    struct Case {
        std::string_view name;
        SimulatorOptions router;
        std::size_t plannedLines;
    };
    SimulatorOptions noVc;
    noVc.noVc = true;
    const Case cases[] = {
        {"SinglePc", testing::SampleRouter(row("SinglePc")), 19},
        {"MultiPc", testing::SampleRouter(row("MultiPc")), 21},
        {"Add", testing::SampleRouter(row("Add")), 5},
        {"Delete", testing::SampleRouter(row("Delete")), 4},
        // The connection plans the circuit it would create.
        {"Connection", noVc, VcCreationLines(CommandCatalogue{}).size()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SimulatorSession session(c.router);
        ASSERT_TRUE(session.start());
        const RouterState before = session.simulator.snapshot();
        RouterSession& routerSession = session.routerSession;

        routerSession.runOptions.dryRun = true;
        const Outcome dry = row(c.name).run(routerSession, session.frontend);
        EXPECT_EQ(dry.ending, Ending::Done) << dry.message;
        EXPECT_EQ(dry.planned.size(), c.plannedLines);
        // Nothing of the plan went out, the router is as it was, and its
        // command line was left.
        const std::string received = session.receivedThrough("exit");
        for (const std::string& line : dry.planned) {
            // The connection leaves the command line anyway, as its creation would.
            if (line == "exit\r\n") continue;
            EXPECT_EQ(received.find(line), std::string::npos) << ::testing::PrintToString(line);
        }
        const RouterState after = session.simulator.snapshot();
        EXPECT_EQ(after.running, before.running);
        EXPECT_EQ(after.saved, before.saved);
        EXPECT_EQ(after.saveCount, 0);
        EXPECT_EQ(after.cli, CliState::Password);
        if (c.name == "Connection") {
            EXPECT_EQ(dry.read.mode, RouterMode::SinglePc);
        }

        routerSession.runOptions.dryRun = false;
        const Outcome real = row(c.name).run(routerSession, session.frontend);
        EXPECT_EQ(real.ending, Ending::Done) << real.message;
        EXPECT_TRUE(real.planned.empty());
        EXPECT_TRUE(holdsRun(real.sent, dry.planned));
        EXPECT_TRUE(row(c.name).worked(session.simulator.snapshot(), real));
    }
}

}  // namespace
}  // namespace cofralin
