// The hand-over to the upgrade program: composing and splitting its command
// line, finding it, and starting a real stand-in that records what it got.

#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "pty_pair.h"
#include "scripted_frontend.h"
#include "serial_line.h"
#include "stand_in_program.h"
#include "upgrade_handover.h"

extern char** environ;

namespace cofralin {
namespace {

namespace fs = std::filesystem;
using testing::PtyPair;
using testing::ReadRecord;
using testing::ScriptedFrontend;
using testing::TempDir;
using testing::WriteFile;
using testing::WriteRecorder;
using Strings = std::vector<std::string>;

TEST(UpgradeCommand, AWholeWordComAfterTheProgramBecomesThePortOptionOfTheFirstTwoPorts) {
    const std::string dos = "q73upgrade COM --imagen q73-1.6.00.img";
    const struct {
        std::string dos;
        std::string port;
        std::string composed;
    } cases[] = {
        {dos, "COM1:", "q73upgrade -p1 --imagen q73-1.6.00.img"},
        {dos, "COM2:", "q73upgrade -p2 --imagen q73-1.6.00.img"},
        {dos, "COM3:", dos},
        {dos, "COM4:", dos},
        // Only the exact port name counts.
        {dos, "COM1", dos},
        // "COM" inside a word or a path, or as the program's name, names no port.
        {"COMup COM --log=COM.txt COMCOM /srv/COM/x",
         "COM1:", "COMup -p1 --log=COM.txt COMCOM /srv/COM/x"},
        {"COM COM", "COM2:", "COM -p2"},
        // Only capitals are the port word.
        {"up com Com COM", "COM2:", "up com Com -p2"},
        // Tabs separate words as blanks do, and both are kept as they were.
        {"up\tCOM\t\t--imagen\tx.img COM", "COM1:", "up\t-p1\t\t--imagen\tx.img -p1"},
        {"up\tCOM,COM", "COM1:", "up\tCOM,COM"},
        // A value that starts with a blank has no program name to spare.
        {" COM x", "COM1:", " -p1 x"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ComposeUpgradeCommand(c.dos, c.port), c.composed) << c.dos << " " << c.port;
    }
}

TEST(UpgradeCommand, ProgramBeforeTheFirstBlankOrTabArgumentsSplitAtBlanksAndTabs) {
    const struct {
        std::string line;
        Strings arguments;  // the program first
    } cases[] = {
        {"q73upgrade -p1 --imagen q73-1.6.00.img",
         {"q73upgrade", "-p1", "--imagen", "q73-1.6.00.img"}},
        {"up  -p2   x ", {"up", "-p2", "x"}},
        {"up\t-p2\t \tx\t", {"up", "-p2", "x"}},
        {"/opt/q73 tools/up -p1", {"/opt/q73", "tools/up", "-p1"}},
        // Without a blank or tab the whole value is the program, with no arguments.
        {"q73upgrade", {"q73upgrade"}},
        {"", {""}},
        {" up COM", {"", "up", "COM"}},
        {"\tup", {"", "up"}},
    };
    for (const auto& c : cases) {
        const UpgradeCommand command = SplitUpgradeCommand(c.line);
        EXPECT_EQ(command.program, c.arguments.front()) << c.line;
        EXPECT_EQ(command.arguments, c.arguments) << c.line;
    }
}

TEST(UpgradeProgramLookup, CurrentDirectoryFirstThenEachSearchDirectory) {
    TempDir current, first, second;
    WriteFile(second.path() / "up", "#!/bin/sh\n", true);
    const ProgramSearch search{current.path(),
                               first.path().string() + ":" + second.path().string()};

    ProgramLookup lookup = FindUpgradeProgram("up", search);
    EXPECT_EQ(lookup.status, ProgramLookup::Status::Found);
    EXPECT_EQ(lookup.path, second.path() / "up");

    WriteFile(first.path() / "up", "#!/bin/sh\n", true);
    EXPECT_EQ(FindUpgradeProgram("up", search).path, first.path() / "up");

    WriteFile(current.path() / "up", "#!/bin/sh\n", true);
    EXPECT_EQ(FindUpgradeProgram("up", search).path, current.path() / "up");
}

TEST(UpgradeProgramLookup, NamesWithASlashAreNotSearchedAlongThePath) {
    TempDir current, onPath;
    WriteFile(onPath.path() / "up", "#!/bin/sh\n", true);
    fs::create_directory(current.path() / "bin");
    WriteFile(current.path() / "bin" / "up", "#!/bin/sh\n", true);
    const ProgramSearch search{current.path(), onPath.path().string()};

    EXPECT_EQ(FindUpgradeProgram("bin/up", search).path, current.path() / "bin" / "up");
    EXPECT_EQ(FindUpgradeProgram("other/up", search).status, ProgramLookup::Status::Missing);
    const fs::path absolute = onPath.path() / "up";
    EXPECT_EQ(FindUpgradeProgram(absolute.string(), search).path, absolute);
}

TEST(UpgradeProgramLookup, MissingNotExecutableAndNoName) {
    TempDir current, onPath;
    const ProgramSearch search{current.path(), onPath.path().string()};
    EXPECT_EQ(FindUpgradeProgram("up", search).status, ProgramLookup::Status::Missing);
    EXPECT_EQ(FindUpgradeProgram("", search).status, ProgramLookup::Status::NoName);

    WriteFile(current.path() / "up", "#!/bin/sh\n", false);
    EXPECT_EQ(FindUpgradeProgram("up", search).status, ProgramLookup::Status::NotExecutable);
    // An executable further along still wins over a plain file met first.
    WriteFile(onPath.path() / "up", "#!/bin/sh\n", true);
    EXPECT_EQ(FindUpgradeProgram("up", search).path, onPath.path() / "up");
    // A folder of that name is no program.
    fs::create_directory(current.path() / "dir");
    EXPECT_EQ(FindUpgradeProgram("dir", search).status, ProgramLookup::Status::Missing);
}

// Waits for the started program, so that its record is complete.
bool waitForExit(pid_t pid) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < end) {
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

class Handover : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(pty.path().empty());
        for (const char* port : {"COFRALIN_COM1", "COFRALIN_COM2", "COFRALIN_COM3"}) {
            ::setenv(port, pty.path().c_str(), 1);
        }
        out = dir.path() / "argv.txt";
    }
    void TearDown() override {
        for (const char* port : {"COFRALIN_COM1", "COFRALIN_COM2", "COFRALIN_COM3"}) {
            ::unsetenv(port);
        }
    }

    void openPort(const std::string& portName) {
        auto line = std::make_unique<TermiosSerialLine>();
        ASSERT_TRUE(line->open(pty.path()).opened);
        state.RouterPort = std::move(line);
        state.PortName = portName;
        state.PortDevice = pty.path();
    }

    // Hands over with `dos` as DOS_COMMAND and returns the stand-in's record.
    Strings runHandover(const std::string& portName, const std::string& dos,
                        const std::string& scriptName) {
        WriteRecorder(dir.path() / scriptName, out, pty.path());
        openPort(portName);
        settings.catalogue[CatalogueKey::DOS_COMMAND] = dos;
        const HandoverResult result = HandOverToUpgradeProgram(state, view, {dir.path(), ""});
        EXPECT_TRUE(result.started) << result.errorText;
        if (!result.started) return {};
        EXPECT_TRUE(waitForExit(result.processId));
        return ReadRecord(out);
    }

    PtyPair pty;
    TempDir dir;
    fs::path out;
    Settings settings;
    RouterSession state{settings};
    ScriptedFrontend view;
};

TEST_F(Handover, TheScriptSeesAHeldPortAsHeld) {
    // Without this, "free" below would prove nothing.
    WriteRecorder(dir.path() / "up", out, pty.path());
    openPort("COM1:");
    const std::string program = (dir.path() / "up").string();
    char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
    pid_t pid = -1;
    ASSERT_EQ(::posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, environ), 0);
    ASSERT_TRUE(waitForExit(pid));
    EXPECT_EQ(ReadRecord(out), Strings{"held"});
}

TEST_F(Handover, FirstPortGivesP1AndTheProgramFindsThePortFree) {
    const Strings record = runHandover("COM1:", "up COM --imagen q73-1.6.00.img", "up");
    EXPECT_EQ(record, (Strings{"free", "-p1", "--imagen", "q73-1.6.00.img"}));
    EXPECT_FALSE(state.portOpen());
    // The catalogue keeps its value, so a later attempt starts from it again.
    EXPECT_EQ(settings.catalogue[CatalogueKey::DOS_COMMAND], "up COM --imagen q73-1.6.00.img");
    EXPECT_TRUE(view.messages.empty());
}

TEST_F(Handover, SecondPortGivesP2) {
    EXPECT_EQ(runHandover("COM2:", "up COM x", "up"), (Strings{"free", "-p2", "x"}));
}

TEST_F(Handover, ThirdPortPassesComUnchanged) {
    EXPECT_EQ(runHandover("COM3:", "up COM x", "up"), (Strings{"free", "COM", "x"}));
}

TEST_F(Handover, OnlyAWholeWordComIsReplacedAndTabsSeparateArguments) {
    EXPECT_EQ(runHandover("COM1:", "COMup\tCOM\t--log=/srv/COM/up.log COMx", "COMup"),
              (Strings{"free", "-p1", "--log=/srv/COM/up.log", "COMx"}));
}

TEST_F(Handover, AValueWithoutABlankStartsTheProgramWithNoArguments) {
    EXPECT_EQ(runHandover("COM1:", "up", "up"), Strings{"free"});
}

TEST_F(Handover, AMissingProgramIsReportedAndThePortStaysOpen) {
    openPort("COM1:");
    settings.catalogue[CatalogueKey::DOS_COMMAND] = "q73upgrade COM --imagen x.img";
    const HandoverResult result = HandOverToUpgradeProgram(state, view, {dir.path(), ""});
    EXPECT_FALSE(result.started);
    EXPECT_EQ(result.errorText, "No se encuentra el programa de actualización \"q73upgrade\".");
    ASSERT_TRUE(state.portOpen());
    state.RouterPort->write("exit \r\n");
    EXPECT_EQ(pty.received(), "exit \r\n");
}

TEST_F(Handover, AnEmptyValueOrANonExecutableFileIsReported) {
    openPort("COM1:");
    const HandoverResult empty = HandOverToUpgradeProgram(state, view, {dir.path(), ""});
    EXPECT_FALSE(empty.started);
    EXPECT_EQ(empty.errorText, "No se ha indicado el programa de actualización (DOS_COMMAND).");

    WriteFile(dir.path() / "up", "#!/bin/sh\n", false);
    settings.catalogue[CatalogueKey::DOS_COMMAND] = "up COM";
    const HandoverResult plain = HandOverToUpgradeProgram(state, view, {dir.path(), ""});
    EXPECT_FALSE(plain.started);
    EXPECT_EQ(plain.errorText, "El programa de actualización \"up\" no es ejecutable.");
    EXPECT_TRUE(state.portOpen());
}

TEST_F(Handover, AProgramThatFailsToStartGetsThePortOpenedAgain) {
    // Found and executable, but its interpreter does not exist: the start
    // itself fails after the port was released.
    WriteFile(dir.path() / "up", "#!/nonexistent/interpreter\n", true);
    openPort("COM2:");
    settings.catalogue[CatalogueKey::DOS_COMMAND] = "up COM";
    const HandoverResult result = HandOverToUpgradeProgram(state, view, {dir.path(), ""});
    EXPECT_FALSE(result.started);
    EXPECT_EQ(result.errorText.rfind("No pudo iniciarse el programa de actualización \"up\"", 0),
              0u)
        << result.errorText;
    ASSERT_TRUE(state.portOpen());
    EXPECT_EQ(state.PortName, "COM2:");
    state.RouterPort->write("\r");
    EXPECT_EQ(pty.received(), "\r");
}

}  // namespace
}  // namespace cofralin
