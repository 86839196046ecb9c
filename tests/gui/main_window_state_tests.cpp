// The main window's enabling rules, the run-log switch of the command line
// and the log's place, and the help document's address, without a window.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QUrl>
#include <filesystem>
#include <vector>

#include "config_app.h"
#include "main_dlg.h"
#include "main_window_state.h"

namespace cofralin {
namespace {

// A session with the mode flags and KeepTrying as given.
struct Flags : RouterSession {
    Flags(int single, int multi, int keepTrying = 1) : RouterSession(settings()) {
        SinglePcActive = single;
        MultiPcActive = multi;
        KeepTrying = keepTrying;
    }
    static const Settings& settings() {
        static const Settings shared;
        return shared;
    }
};

TEST(MainWindowStateTest, StartsNotConnectedWithEverythingOff) {
    const MainWindowState start;
    EXPECT_EQ(start.lamp, Lamp::NotConnected);
    EXPECT_FALSE(start.modesEnabled || start.portsEnabled || start.updateEnabled);
    EXPECT_FALSE(start.singleChecked || start.multiChecked);
    EXPECT_EQ(LampControl(Lamp::NotConnected), 1011);
    EXPECT_EQ(LampControl(Lamp::Connecting), 1010);
    EXPECT_EQ(LampControl(Lamp::Connected), 1008);
}

TEST(MainWindowStateTest, ConnectionOutcomes) {
    MainWindowState multi;
    ApplyConnectionOutcome(multi, true, Flags(0, 1));
    EXPECT_EQ(multi, (MainWindowState{Lamp::Connected, true, true, true, false, true}));

    MainWindowState single;
    ApplyConnectionOutcome(single, true, Flags(1, 0));
    EXPECT_EQ(single, (MainWindowState{Lamp::Connected, true, false, true, true, false}));

    // Connected without knowing the mode: no mark, 1004 untouched.
    MainWindowState unknown;
    ApplyConnectionOutcome(unknown, true, Flags(0, 0));
    EXPECT_EQ(unknown, (MainWindowState{Lamp::Connected, true, false, true, false, false}));

    // Single-PC after multi-PC: the mark moves but 1004 stays enabled.
    ApplyConnectionOutcome(multi, true, Flags(1, 0));
    EXPECT_EQ(multi, (MainWindowState{Lamp::Connected, true, true, true, true, false}));
}

TEST(MainWindowStateTest, FailureAfterSuccessDisablesButKeepsTheMarks) {
    MainWindowState window;
    ApplyConnectionOutcome(window, true, Flags(0, 1));
    ApplyConnectionOutcome(window, false, Flags(0, 0));
    EXPECT_EQ(window, (MainWindowState{Lamp::NotConnected, false, false, false, false, true}));
}

TEST(MainWindowStateTest, ConnectingChangesOnlyTheLamp) {
    MainWindowState window;
    ApplyConnectionOutcome(window, true, Flags(1, 0));
    MainWindowState expected = window;
    expected.lamp = Lamp::Connecting;
    ShowConnecting(window);
    EXPECT_EQ(window, expected);
}

TEST(MainWindowStateTest, MultiPcSwitch) {
    // Neither mode known: the click only moves the mark.
    MainWindowState window;
    ApplyConnectionOutcome(window, true, Flags(0, 0));
    Flags none(0, 0);
    EXPECT_FALSE(StartSwitch(window, none, RouterMode::MultiPc));
    EXPECT_TRUE(window.multiChecked && !window.singleChecked);
    EXPECT_FALSE(window.portsEnabled);

    // From single-PC, the switch going through.
    Flags state(1, 0);
    ApplyConnectionOutcome(window, true, state);
    ASSERT_TRUE(StartSwitch(window, state, RouterMode::MultiPc));
    EXPECT_TRUE(window.portsEnabled);
    // The recorded mode keeps its mark while the dialog runs.
    EXPECT_TRUE(window.singleChecked && !window.multiChecked);
    FinishSwitch(window, state, RouterMode::MultiPc, SwitchOutcome::Switched);
    EXPECT_EQ(state.MultiPcActive, 1);
    EXPECT_EQ(state.SinglePcActive, 0);
    EXPECT_TRUE(window.multiChecked && !window.singleChecked);

    // From single-PC, not switched (e.g. given up at the password prompt):
    // mark back, flags kept, 1004 off again as single-PC is still recorded.
    Flags givenUp(1, 0, 0);
    MainWindowState back;
    ApplyConnectionOutcome(back, true, givenUp);
    ASSERT_TRUE(StartSwitch(back, givenUp, RouterMode::MultiPc));
    FinishSwitch(back, givenUp, RouterMode::MultiPc, SwitchOutcome::NotSwitched);
    EXPECT_EQ(givenUp.SinglePcActive, 1);
    EXPECT_EQ(givenUp.MultiPcActive, 0);
    EXPECT_TRUE(back.singleChecked && !back.multiChecked);
    EXPECT_FALSE(back.portsEnabled);
}

TEST(MainWindowStateTest, SinglePcSwitch) {
    // Clicking the mode already active runs nothing.
    MainWindowState window;
    Flags single(1, 0);
    ApplyConnectionOutcome(window, true, single);
    EXPECT_FALSE(StartSwitch(window, single, RouterMode::SinglePc));
    EXPECT_TRUE(window.singleChecked);

    Flags state(0, 1);
    MainWindowState multi;
    ApplyConnectionOutcome(multi, true, state);
    ASSERT_TRUE(StartSwitch(multi, state, RouterMode::SinglePc));
    EXPECT_FALSE(multi.portsEnabled);
    EXPECT_TRUE(multi.multiChecked && !multi.singleChecked);
    FinishSwitch(multi, state, RouterMode::SinglePc, SwitchOutcome::Switched);
    EXPECT_EQ(state.SinglePcActive, 1);
    EXPECT_EQ(state.MultiPcActive, 0);
    EXPECT_TRUE(multi.singleChecked && !multi.multiChecked);

    Flags givenUp(0, 1, 0);
    MainWindowState back;
    ApplyConnectionOutcome(back, true, givenUp);
    ASSERT_TRUE(StartSwitch(back, givenUp, RouterMode::SinglePc));
    FinishSwitch(back, givenUp, RouterMode::SinglePc, SwitchOutcome::NotSwitched);
    EXPECT_EQ(givenUp.MultiPcActive, 1);
    EXPECT_TRUE(back.multiChecked && !back.singleChecked);
    EXPECT_TRUE(back.portsEnabled);  // multi-PC is still recorded
}

TEST(MainWindowStateTest, SwitchGivenUpHalfWayRecordsNoMode) {
    // Either switch, from its starting mode: no mark, both flags 0, 1004 off,
    // the mode buttons still usable; the next connection finds the mode.
    for (const bool toMulti : {true, false}) {
        SCOPED_TRACE(toMulti ? "to multi-PC" : "to single-PC");
        Flags state(toMulti ? 1 : 0, toMulti ? 0 : 1);
        MainWindowState window;
        ApplyConnectionOutcome(window, true, state);
        if (toMulti) {
            ASSERT_TRUE(StartSwitch(window, state, RouterMode::MultiPc));
            FinishSwitch(window, state, RouterMode::MultiPc, SwitchOutcome::ModeUnknown);
        } else {
            ASSERT_TRUE(StartSwitch(window, state, RouterMode::SinglePc));
            FinishSwitch(window, state, RouterMode::SinglePc, SwitchOutcome::ModeUnknown);
        }
        EXPECT_EQ(state.SinglePcActive, 0);
        EXPECT_EQ(state.MultiPcActive, 0);
        EXPECT_EQ(window, (MainWindowState{Lamp::Connected, true, false, true, false, false}));
        // A click then only moves the mark.
        EXPECT_FALSE(StartSwitch(window, state, RouterMode::MultiPc));
        ApplyConnectionOutcome(window, true, Flags(0, 1));
        EXPECT_EQ(window, (MainWindowState{Lamp::Connected, true, true, true, false, true}));
    }
}

TEST(CommandLineTest, LowerCaseDAnywhereAfterTheProgramNameTurnsTheLogOn) {
    using Args = std::vector<const char*>;
    EXPECT_TRUE(ArgumentsAskForRunLog(Args{"cofralin", "-d"}));
    EXPECT_TRUE(ArgumentsAskForRunLog(Args{"cofralin", "x", "--modo"}));
    EXPECT_FALSE(ArgumentsAskForRunLog(Args{"cofralin", "-D"}));
    EXPECT_FALSE(ArgumentsAskForRunLog(Args{"cofralin"}));
    // The program's own name does not count.
    EXPECT_FALSE(ArgumentsAskForRunLog(Args{"/opt/cofralin/bin/cofralind", "-x"}));
}

TEST(RunLogPlaceTest, TheStartFolderWhenWritableElseTheUsersDataFolder) {
    namespace fs = std::filesystem;
    QTemporaryDir temp;
    const fs::path base = QFile::encodeName(temp.path()).toStdString();
    const fs::path data = base / "share" / "cofralin";
    EXPECT_EQ(RunLogPathFor(base, data), base / "Router.log");
    EXPECT_FALSE(fs::exists(data));
    // A start folder the user cannot write to: here one that is gone.
    EXPECT_EQ(RunLogPathFor(base / "gone", data), data / "Router.log");
    EXPECT_TRUE(fs::is_directory(data));
}

TEST(HelpDocumentTest, RelativeNamesAreFilesOfTheCurrentFolder) {
    const QDir folder(QStringLiteral("/srv/cofralin"));
    EXPECT_EQ(HelpDocumentUrl("ayuda.html", folder),
              QUrl::fromLocalFile(QStringLiteral("/srv/cofralin/ayuda.html")));
    EXPECT_EQ(HelpDocumentUrl("doc/../ayuda.html", folder),
              QUrl::fromLocalFile(QStringLiteral("/srv/cofralin/ayuda.html")));
    EXPECT_EQ(HelpDocumentUrl("/usr/share/doc/ayuda.html", folder),
              QUrl::fromLocalFile(QStringLiteral("/usr/share/doc/ayuda.html")));
    EXPECT_EQ(HelpDocumentUrl("https://example.org/ayuda.html", folder),
              QUrl(QStringLiteral("https://example.org/ayuda.html")));
    EXPECT_TRUE(HelpDocumentUrl("", folder).isEmpty());
}

TEST(HelpDocumentTest, NamesWithBlanksHashesPercentsOrAccentsOpenTheRightFile) {
    QTemporaryDir temp;
    const QDir folder(temp.path());
    ASSERT_TRUE(folder.mkpath(QStringLiteral("mis documentos")));
    const QString files[] = {
        QStringLiteral("mi ayuda.html"), QStringLiteral("guía.html"),
        QStringLiteral("ayuda#2.html"),  QStringLiteral("ayuda:v2.html"),
        QStringLiteral("100%.html"),     QStringLiteral("mis documentos/año #1.html"),
    };
    for (const QString& name : files) {
        QFile file(folder.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << name.toStdString();
    }
    const std::string absolute = QFile::encodeName(folder.filePath("mi ayuda.html")).toStdString();
    const struct {
        std::string entry;  // catalogue bytes
        QString file;
    } cases[] = {
        {"mi ayuda.html", files[0]},
        {" mi ayuda.html ", files[0]},
        {absolute, files[0]},
        {"gu\xC3\xAD"
         "a.html",
         files[1]},  // a catalogue written in UTF-8
        {"gu\xED"
         "a.html",
         files[1]},  // and in Windows-1252
        {"ayuda#2.html", files[2]},
        {"ayuda:v2.html", files[3]},
        {"100%.html", files[4]},
        {"mis documentos/a\xF1o #1.html", files[5]},
    };
    for (const auto& c : cases) {
        const QUrl url = HelpDocumentUrl(c.entry, folder);
        const QString expected = folder.filePath(c.file);
        EXPECT_TRUE(url.isLocalFile()) << c.entry;
        EXPECT_EQ(url.toLocalFile(), expected) << c.entry;
        // What the opener hands on, read back, is that file and no other.
        EXPECT_EQ(QUrl(url.toString(QUrl::FullyEncoded)).toLocalFile(), expected) << c.entry;
    }
    // Addresses stay addresses, blanks and all.
    EXPECT_EQ(HelpDocumentUrl("file:///srv/mi ayuda.html", folder).toLocalFile(),
              QStringLiteral("/srv/mi ayuda.html"));
    EXPECT_EQ(HelpDocumentUrl("https://example.org/ayuda.html#uso", folder).fragment(),
              QStringLiteral("uso"));
}

}  // namespace
}  // namespace cofralin
