// Copies from the shell: "copia" keeps one and changes nothing, a change
// keeps one before it, "copias" lists them, "restaurar" brings the router
// back (planned only with --comprobar), refuses a copy of another router
// unless told, and refuses a bad copy before a port is opened.

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "cli_test_support.h"
#include "router_copy.h"
#include "temp_folder.h"

namespace cofralin {
namespace {

using nlohmann::json;
using testing::CliCall;
using testing::CliResult;
using testing::RouterIn;
using testing::Routers;
using testing::RunCofralinCli;
using testing::TempFolder;

// cofralin-cli ARGUMENTS -p COM1 --json, its copies under `data`.
CliResult run(Routers& routers, const TempFolder& data, std::vector<std::string> arguments) {
    CliCall call{
        std::move(arguments),
        {{"COFRALIN_COM1", routers[0].slavePath()}, {"XDG_DATA_HOME", data.path().string()}}};
    call.arguments.insert(call.arguments.end(), {"-p", "COM1", "--json"});
    return RunCofralinCli(call);
}

json only(const CliResult& result) {
    const std::vector<json> lines = result.json();
    EXPECT_EQ(lines.size(), 1u) << result.out << result.err;
    return lines.empty() ? json::object() : lines.front();
}

std::filesystem::path copiesFolder(const TempFolder& data) { return data / "cofralin/copias"; }

TEST(CliCopies, KeepListAndRestoreACopy) {
    TempFolder data;
    Routers routers({RouterIn(StartMode::MultiPc)});
    const CliResult kept = run(routers, data, {"copia"});
    EXPECT_EQ(kept.status, 0) << kept.out << kept.err;
    const std::string copyPath = only(kept)["copy"];
    EXPECT_EQ(routers[0].snapshot().saveCount, 0);
    const RouterConfig configured = routers[0].snapshot().running;

    const CliResult added =
        run(routers, data, {"mapeos", "alta", "tcp", "8080", "192.168.1.20", "80", "--si"});
    EXPECT_EQ(added.status, 0) << added.out << added.err;
    EXPECT_TRUE(only(added).contains("copy"));

    const CliResult listed =
        RunCofralinCli(CliCall{{"copias", "--json"}, {{"XDG_DATA_HOME", data.path().string()}}});
    EXPECT_EQ(listed.status, 0) << listed.err;
    const std::vector<json> copies = listed.json();
    ASSERT_EQ(copies.size(), 2u) << listed.out;
    EXPECT_EQ(copies[0]["path"], copyPath);
    EXPECT_EQ(copies[0]["change"], "copia");
    EXPECT_EQ(copies[1]["change"], "mapeos alta tcp 8080 192.168.1.20 80");
    EXPECT_EQ(copies[1]["mode"], "multi_pc");

    const std::string name = std::filesystem::path(copyPath).filename().string();
    const RouterState changed = routers[0].snapshot();
    const CliResult planned = run(routers, data, {"restaurar", name, "--comprobar"});
    EXPECT_EQ(planned.status, 0) << planned.out << planned.err;
    const json plan = only(planned);
    EXPECT_NE(plan["lines"].dump().find("delete nat tcp vc internet public_port  8080"),
              std::string::npos)
        << plan.dump();
    EXPECT_EQ(routers[0].snapshot().running, changed.running);
    EXPECT_EQ(routers[0].snapshot().saveCount, changed.saveCount);

    const CliResult restored = run(routers, data, {"restaurar", name, "--si"});
    EXPECT_EQ(restored.status, 0) << restored.out << restored.err;
    EXPECT_EQ(only(restored)["outcome"], "ok");
    EXPECT_EQ(routers[0].snapshot().running.vc, configured.vc);
    // The restore kept a copy of the router before it.
    EXPECT_EQ(ListCopies(copiesFolder(data)).size(), 3u);
}

TEST(CliCopies, ACopyOfAnotherRouterOrABadOneIsRefusedWithNothingSent) {
    TempFolder data;
    Routers routers({RouterIn(StartMode::MultiPc)});
    ASSERT_EQ(run(routers, data, {"copia"}).status, 0);
    const std::filesystem::path kept = ListCopies(copiesFolder(data)).front().path;
    const auto read = ReadCopyFile(kept);
    ASSERT_TRUE(std::holds_alternative<RouterCopy>(read));

    // The same router seen through an adapter with another serial number.
    RouterCopy other = std::get<RouterCopy>(read);
    other.serial = "A10K3XYZ";
    other.time = "2026-12-10T07:00:00Z";
    const CopyWrite written = WriteCopy(copiesFolder(data), other);
    ASSERT_TRUE(written.error.empty()) << written.error;
    const std::string name = written.path.filename().string();
    // One change to undo, so that a restore has something to send.
    ASSERT_EQ(run(routers, data, {"mapeos", "baja", "udp", "5060", "--si"}).status, 0);
    const RouterState before = routers[0].snapshot();

    const CliResult refused = run(routers, data, {"restaurar", name, "--si"});
    EXPECT_EQ(refused.status, 2) << refused.out << refused.err;
    const std::string message = only(refused)["message"];
    EXPECT_NE(message.find("A10K3XYZ"), std::string::npos) << message;
    EXPECT_NE(message.find("--otro-router"), std::string::npos) << message;
    EXPECT_EQ(routers[0].snapshot().running, before.running);
    EXPECT_EQ(routers[0].snapshot().saveCount, before.saveCount);

    const CliResult allowed = run(routers, data, {"restaurar", name, "--si", "--otro-router"});
    EXPECT_EQ(allowed.status, 0) << allowed.out << allowed.err;
    EXPECT_NE(routers[0].snapshot().running, before.running);

    // Cut short, or not a copy at all: refused before the port is opened.
    std::string bytes;
    {
        std::ifstream in(kept, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    std::ofstream(data / "cortada.copia", std::ios::binary) << bytes.substr(0, bytes.size() / 2);
    std::ofstream(data / "ajena.copia", std::ios::binary) << "modo=multipuesto\n";
    for (const char* bad : {"cortada.copia", "ajena.copia"}) {
        SCOPED_TRACE(bad);
        const std::string path = (data / bad).string();
        const std::string receivedBefore = routers[0].received();
        const CliResult badRun = run(routers, data, {"restaurar", path, "--si"});
        EXPECT_EQ(badRun.status, 2) << badRun.out;
        EXPECT_NE(badRun.err.find(path), std::string::npos) << badRun.err;
        EXPECT_EQ(routers[0].received(), receivedBefore) << "nothing reached the router";
    }
}

}  // namespace
}  // namespace cofralin
