// Copies of the router before a change: the file written whole and refused
// unless whole and ours, one copy before each change holding what the router
// showed before it, a change stopped with nothing sent when its copy cannot
// be written, and a restore that brings the simulated router back to a copy.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "procedure_table.h"
#include "router_copies.h"
#include "router_copy.h"
#include "simulator_session.h"
#include "temp_folder.h"

namespace cofralin {
namespace {

using testing::ProcedureRow;
using testing::SimulatorSession;
using testing::TempFolder;

const ProcedureRow& row(std::string_view name) { return testing::ProcedureNamed(name); }

std::string fileText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::vector<std::filesystem::path> copiesIn(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> paths;
    for (const ListedCopy& listed : ListCopies(folder)) paths.push_back(listed.path);
    return paths;
}

// A label and its value at the column the router prints it.
std::string labelLine(std::string_view label, std::size_t column, std::string_view value) {
    std::string line(label);
    line.resize(column, ' ');
    return line + std::string(value) + "\r\n";
}

// A copy as a Q73 gives it, with both tables, and bytes in its listings that
// look like the file's own lines.
RouterCopy sampleCopy() {
    RouterCopy copy;
    copy.time = "2026-12-10T06:40:00Z";
    copy.port = "COM1:";
    copy.device = "/dev/ttyUSB0";
    copy.product = "FT232R USB UART";
    copy.serial = "A10K3XYZ";
    copy.change = "mapeos alta tcp 80 192.168.1.20 8080";
    copy.listings.system = "show system \r\n" + labelLine("System Version:", 42, "1.5.09") +
                           "\nlistado SHOW_VC_INTERNET 3\nsuma: 0\n\x01\xe9Zarn-DSL>";
    copy.listings.vc = "VC internet\r\n" + labelLine("Local IP Address:", 43, "192.000.002.010") +
                       labelLine("Remote IP Address:", 43, "192.000.002.002/26 ") +
                       "Port Address Translation, Static UDP Ports\r\n"
                       " 5060   192.168.001.010     5060\r\n"
                       "Port Address Translation, Static TCP Ports\r\n"
                       " 80     192.168.001.020     8080\r\nZarn-DSL>";
    copy.listings.dhcpServer = "DHCP Server: DISABLED\r\n" +
                               labelLine("IP Router:", 19, "192.000.002.001") +
                               labelLine("IP Mask:", 19, "255.255.255.240") +
                               labelLine("Start IP Address:", 19, "192.000.002.010") + "Zarn-DSL>";
    copy.reading = ReadingOfListings(copy.listings);
    return copy;
}

TEST(CopyFile, ReadsBackWhatItWroteAndRefusesAnythingElseNamingWhy) {
    const RouterCopy copy = sampleCopy();
    const std::string text = CopyText(copy);
    const auto read = ParseCopy(text);
    ASSERT_TRUE(std::holds_alternative<RouterCopy>(read)) << std::get<std::string>(read);
    EXPECT_EQ(std::get<RouterCopy>(read), copy);
    EXPECT_EQ(copy.reading.mode, RouterMode::MultiPc);
    EXPECT_EQ(copy.reading.routerVersion, "1.5.09");
    ASSERT_TRUE(copy.reading.mappings);
    EXPECT_EQ(copy.reading.mappings->tcp.size(), 1u);

    struct Case {
        std::string_view what;
        std::string bytes;
        std::string_view says;
    } cases[] = {
        {"empty", "", "está incompleta"},
        {"foreign", "[router]\nmode=multi\n", "no es una copia del Router hecha por Cofralin"},
        {"cut in the header", text.substr(0, 10), "está incompleta"},
        {"cut in a listing", text.substr(0, text.size() / 2), "está incompleta"},
        {"without its last line end", text.substr(0, text.size() - 1), "está incompleta"},
        {"a listing byte changed",
         [&] {
             std::string t = text;
             t[t.find("1.5.09")] = '2';
             return t;
         }(),
         "suma de comprobación no coincide"},
        {"the serial number changed",
         [&] {
             std::string t = text;
             t.replace(t.find("A10K3XYZ"), 8, "B20K3XYZ");
             return t;
         }(),
         "suma de comprobación no coincide"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.what));
        const auto refused = ParseCopy(c.bytes);
        ASSERT_TRUE(std::holds_alternative<std::string>(refused));
        EXPECT_NE(std::get<std::string>(refused).find(c.says), std::string::npos)
            << std::get<std::string>(refused);
    }
}

TEST(CopyFile, ACopyWhoseLinesDisagreeWithItsListingsIsRefusedEvenWithAGoodChecksum) {
    // Written by hand: what the reading says is not what the listings show.
    const RouterCopy copy = sampleCopy();
    std::string body = CopyText(copy);
    body = body.substr(0, body.rfind("suma: "));
    body.replace(body.find("modo: multipuesto"), 17, "modo: monopuesto");
    // The checksum this program writes for such a body: FNV-1a 64.
    std::uint64_t hash = 0xcbf29ce484222325ULL;
    for (const unsigned char c : body) hash = (hash ^ c) * 0x100000001b3ULL;
    char sum[17];
    std::snprintf(sum, sizeof sum, "%016llx", static_cast<unsigned long long>(hash));
    const auto refused = ParseCopy(body + "suma: " + sum + "\n");
    ASSERT_TRUE(std::holds_alternative<std::string>(refused));
    EXPECT_NE(std::get<std::string>(refused).find("no corresponde a sus listados"),
              std::string::npos);
}

TEST(CopyFile, IsWrittenWholeForItsOwnerAndNeverThroughALink) {
    TempFolder temp;
    const std::filesystem::path folder = temp / "datos/cofralin/copias";
    const RouterCopy copy = sampleCopy();

    const CopyWrite first = WriteCopy(folder, copy);
    const CopyWrite second = WriteCopy(folder, copy);
    ASSERT_TRUE(first.error.empty()) << first.error;
    ASSERT_TRUE(second.error.empty()) << second.error;
    EXPECT_NE(first.path, second.path) << "a copy never replaces another";
    EXPECT_EQ(first.path.filename(), "20261210-064000-COM1.copia");
    struct stat info {};
    ASSERT_EQ(::stat(first.path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    ASSERT_EQ(::stat(folder.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    // Nothing but the two copies: no draft left behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder),
                            std::filesystem::directory_iterator()),
              2);
    const auto read = ReadCopyFile(first.path);
    ASSERT_TRUE(std::holds_alternative<RouterCopy>(read)) << std::get<std::string>(read);
    EXPECT_EQ(std::get<RouterCopy>(read), copy);

    // Folders that cannot hold a copy: a file on the way, a link in its place.
    writeFile(temp / "fichero", "x");
    std::filesystem::create_symlink(folder, temp / "enlace");
    for (const std::filesystem::path& bad : {temp / "fichero/copias", temp / "enlace"}) {
        SCOPED_TRACE(bad.string());
        const CopyWrite refused = WriteCopy(bad, copy);
        EXPECT_TRUE(refused.path.empty());
        EXPECT_NE(refused.error.find(bad.string()), std::string::npos) << refused.error;
    }

    // Files that are no copy to read: named, with why.
    std::filesystem::create_symlink(first.path, temp / "enlace.copia");
    std::filesystem::create_directory(temp / "carpeta.copia");
    ASSERT_EQ(::mkfifo((temp / "fifo.copia").c_str(), 0600), 0);
    writeFile(temp / "cortada.copia", fileText(first.path).substr(0, 200));
    const struct {
        std::filesystem::path path;
        std::string_view says;
    } files[] = {
        {temp / "enlace.copia", "enlace simbólico"},
        {temp / "carpeta.copia", "no es un fichero normal"},
        {temp / "fifo.copia", "no es un fichero normal"},
        {temp / "falta.copia", "no pudo abrirse"},
        {temp / "cortada.copia", "está incompleta"},
    };
    for (const auto& file : files) {
        SCOPED_TRACE(file.path.string());
        const auto refused = ReadCopyFile(file.path);
        ASSERT_TRUE(std::holds_alternative<std::string>(refused));
        const std::string& why = std::get<std::string>(refused);
        EXPECT_NE(why.find(file.path.string()), std::string::npos) << why;
        EXPECT_NE(why.find(file.says), std::string::npos) << why;
    }
    EXPECT_EQ(CopyPathFor("20261210-064000-COM1", folder), first.path);
    EXPECT_EQ(CopyPathFor("./x.copia", folder), std::filesystem::path("./x.copia"));
}

const char* const kChanges[] = {"SinglePc", "MultiPc", "Add", "Delete"};

TEST(CopyBeforeChange, EachChangeKeepsOneCopyOfTheRouterAsItWasBeforeIt) {
    for (const char* name : kChanges) {
        SCOPED_TRACE(name);
        TempFolder folder;
        SimulatorSession session(testing::SampleRouter(row(name)));
        ASSERT_TRUE(session.start());
        const RouterStateReading before = ReadRouterState(session.routerSession, session.frontend);
        ASSERT_TRUE(before.outcome.done());
        // The first configuration line, as a dry run (which keeps no copy) plans it.
        session.routerSession.runOptions.dryRun = true;
        const Outcome dry = row(name).run(session.routerSession, session.frontend);
        session.routerSession.runOptions.dryRun = false;
        ASSERT_FALSE(dry.planned.empty());
        session.settings.CopyFolder = folder.path();
        session.routerSession.runLog.setPath(folder / "Router.log");

        const Outcome outcome = row(name).run(session.routerSession, session.frontend);
        EXPECT_EQ(outcome.ending, Ending::Done) << outcome.message;
        // Each listing went out once before the change: one the change reads
        // anyway is not read again for the copy.
        const auto firstChange =
            std::find(outcome.sent.begin(), outcome.sent.end(), dry.planned.front());
        ASSERT_NE(firstChange, outcome.sent.end());
        for (const CatalogueKey key : {CatalogueKey::SHOW_SYSTEM, CatalogueKey::SHOW_VC_INTERNET,
                                       CatalogueKey::SHOW_DHCP_SERVER_SETTING}) {
            const std::string line = session.settings.catalogue[key] + " \r\n";
            EXPECT_EQ(std::count(outcome.sent.begin(), firstChange, line), 1) << line;
        }
        EXPECT_TRUE(row(name).worked(session.simulator.snapshot(), outcome));

        const std::vector<std::filesystem::path> copies = copiesIn(folder.path());
        ASSERT_EQ(copies.size(), 1u);
        EXPECT_EQ(outcome.copy, copies.front());
        const auto read = ReadCopyFile(copies.front());
        ASSERT_TRUE(std::holds_alternative<RouterCopy>(read)) << std::get<std::string>(read);
        const RouterCopy& copy = std::get<RouterCopy>(read);
        EXPECT_EQ(copy.listings, before.listings);
        EXPECT_EQ(copy.port, "COM1:");
        EXPECT_FALSE(copy.change.empty());
        EXPECT_NE(
            fileText(folder / "Router.log").find("Copia guardada en " + copies.front().string()),
            std::string::npos);
        const auto& statuses = session.frontend.statusTexts;
        EXPECT_NE(std::find(statuses.begin(), statuses.end(),
                            "Copia guardada en " + copies.front().filename().string()),
                  statuses.end());
    }
}

TEST(CopyBeforeChange, ACopyThatCannotBeWrittenStopsTheChangeWithNothingSent) {
    for (const char* name : kChanges) {
        SCOPED_TRACE(name);
        TempFolder temp;
        writeFile(temp / "fichero", "x");
        SimulatorSession session(testing::SampleRouter(row(name)));
        ASSERT_TRUE(session.start());
        const RouterState before = session.simulator.snapshot();
        session.settings.CopyFolder = temp / "fichero/copias";

        const Outcome outcome = row(name).run(session.routerSession, session.frontend);
        EXPECT_EQ(outcome.ending, Ending::CopyNotKept);
        EXPECT_NE(outcome.message.find((temp / "fichero/copias").string()), std::string::npos)
            << outcome.message;
        EXPECT_NE(outcome.message.find("No se ha enviado nada"), std::string::npos);
        session.receivedThrough("exit");
        const RouterState after = session.simulator.snapshot();
        EXPECT_EQ(after.running, before.running);
        EXPECT_EQ(after.saveCount, 0);
        EXPECT_EQ(after.cli, CliState::Password) << "the command line is left";
    }
}

TEST(CopyBeforeChange, ADryRunKeepsNoCopy) {
    TempFolder folder;
    SimulatorSession session(testing::SampleRouter(row("MultiPc")));
    ASSERT_TRUE(session.start());
    session.settings.CopyFolder = folder.path();
    session.routerSession.runOptions.dryRun = true;
    EXPECT_TRUE(row("MultiPc").run(session.routerSession, session.frontend).done());
    EXPECT_TRUE(copiesIn(folder.path()).empty());
}

TEST(Restore, BringsTheRouterBackToTheCopyAfterMappingChangesAndASwitch) {
    TempFolder folder;
    SimulatorOptions options = testing::SampleRouter(row("Add"));
    options.mappings.push_back({NatProtocol::Tcp, 80, {{192, 168, 1, 30}}, 8080});
    SimulatorSession session(options);
    ASSERT_TRUE(session.start());
    session.settings.CopyFolder = folder.path();
    RouterSession& routerSession = session.routerSession;

    const Outcome kept = KeepRouterCopy(routerSession, session.frontend, "copia");
    ASSERT_TRUE(kept.done()) << kept.message;
    const auto read = ReadCopyFile(kept.copy);
    ASSERT_TRUE(std::holds_alternative<RouterCopy>(read)) << std::get<std::string>(read);
    const RouterCopy copy = std::get<RouterCopy>(read);
    const RouterConfig configured = session.simulator.snapshot().running;

    // Two mapping changes, one of them a public port taken elsewhere, and a switch.
    ASSERT_TRUE(row("Add").run(routerSession, session.frontend).done());
    ASSERT_TRUE(DeleteMapping(routerSession, session.frontend, TrafficType::Tcp, " 80").done());
    PortMappingTexts elsewhere{"80", "8081", "192.168.1.40"};
    ASSERT_TRUE(AddMapping(routerSession, session.frontend, TrafficType::Tcp, elsewhere).done());
    ASSERT_TRUE(row("SinglePc").run(routerSession, session.frontend).done());
    const RouterState changed = session.simulator.snapshot();
    const std::size_t copiesBefore = copiesIn(folder.path()).size();

    // A dry run plans every step and changes nothing.
    routerSession.runOptions.dryRun = true;
    const RestoreOutcome planned = RestoreRouterCopy(routerSession, session.frontend, copy, "x");
    routerSession.runOptions.dryRun = false;
    EXPECT_TRUE(planned.outcome.done()) << planned.outcome.message;
    EXPECT_EQ(planned.steps, (std::vector<std::string>{"multipuesto 192.0.2.1/255.255.255.240",
                                                       "mapeos baja udp 5061", "mapeos baja tcp 80",
                                                       "mapeos alta tcp 80 192.168.1.30 8080"}));
    EXPECT_FALSE(planned.outcome.planned.empty());
    EXPECT_EQ(session.simulator.snapshot().running, changed.running);
    EXPECT_EQ(session.simulator.snapshot().saveCount, changed.saveCount);
    EXPECT_EQ(copiesIn(folder.path()).size(), copiesBefore);

    // A copy that cannot be kept first stops the restore before its first step.
    writeFile(folder / "fichero", "x");
    session.settings.CopyFolder = folder / "fichero/copias";
    const RestoreOutcome stopped = RestoreRouterCopy(routerSession, session.frontend, copy, "x");
    session.settings.CopyFolder = folder.path();
    EXPECT_EQ(stopped.outcome.ending, Ending::CopyNotKept);
    EXPECT_TRUE(stopped.steps.empty());
    EXPECT_EQ(session.simulator.snapshot().running, changed.running);

    const RestoreOutcome restored = RestoreRouterCopy(routerSession, session.frontend, copy, "x");
    EXPECT_EQ(restored.outcome.ending, Ending::Done) << restored.outcome.message;
    EXPECT_EQ(restored.steps, planned.steps);
    // One copy first, none for the steps.
    EXPECT_EQ(copiesIn(folder.path()).size(), copiesBefore + 1);
    const RouterStateReading now = ReadRouterState(routerSession, session.frontend);
    EXPECT_EQ(now.listings, copy.listings);
    EXPECT_EQ(session.simulator.snapshot().running.vc, configured.vc);
    EXPECT_EQ(session.simulator.snapshot().running.dhcp, configured.dhcp);

    // Once there, nothing to do and no copy kept.
    const RestoreOutcome again = RestoreRouterCopy(routerSession, session.frontend, copy, "x");
    EXPECT_TRUE(again.outcome.done());
    EXPECT_TRUE(again.steps.empty());
    EXPECT_EQ(copiesIn(folder.path()).size(), copiesBefore + 1);
}

TEST(Restore, ValuesFromACopyPassTheChecksTypedValuesPass) {
    RouterCopy copy = sampleCopy();
    EXPECT_EQ(CheckCopyValues(copy), std::nullopt);
    const struct {
        std::string_view what;
        std::string from, to;
    } edits[] = {
        {"a private address no host can have", "192.168.001.010", "127.000.000.001"},
        {"a LAN address that is not one", "192.000.002.001", "192.000.002.999"},
        {"no mode", "DHCP Server: DISABLED", "DHCP Server: ?"},
    };
    for (const auto& edit : edits) {
        SCOPED_TRACE(std::string(edit.what));
        RouterCopy bad = copy;
        for (std::string* listing : {&bad.listings.vc, &bad.listings.dhcpServer}) {
            if (const std::size_t at = listing->find(edit.from); at != std::string::npos) {
                listing->replace(at, edit.from.size(), edit.to);
            }
        }
        bad.reading = ReadingOfListings(bad.listings);
        EXPECT_NE(CheckCopyValues(bad), std::nullopt);
    }
}

}  // namespace
}  // namespace cofralin
