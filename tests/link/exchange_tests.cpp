#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "exchange.h"
#include "pty_pair.h"
#include "scripted_frontend.h"
#include "serial_line.h"

namespace cofralin {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using testing::PtyPair;
using testing::ScriptedFrontend;
namespace fs = std::filesystem;

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class ExchangeOverPty : public ::testing::Test {
protected:
    void SetUp() override {
        auto line = std::make_unique<TermiosSerialLine>();
        ASSERT_TRUE(line->open(pty_.path()).opened);
        state_.RouterPort = std::move(line);
        // A folder of the test's own: /tmp itself is shared, and shared
        // folders have rules of their own for the log.
        std::string folder = (fs::temp_directory_path() / "cofralin-log-XXXXXX").string();
        ASSERT_NE(::mkdtemp(folder.data()), nullptr);
        folder_ = folder;
        logPath_ = folder_ / "Router.log";
    }
    void TearDown() override { fs::remove_all(folder_); }

    PtyPair pty_;
    Settings settings_;
    RouterSession state_{settings_};
    ScriptedFrontend view_;
    fs::path folder_;
    fs::path logPath_;
};

TEST_F(ExchangeOverPty, ASilentRouterDrainsEmptyAfterOneQuietTime) {
    state_.runLog.setPath(logPath_);
    Exchange exchange(state_, view_, {});
    state_.ReplyBuffer = "old";
    const auto start = Clock::now();
    EXPECT_EQ(exchange.DrainReply(), 0u);
    const auto waited = Clock::now() - start;
    EXPECT_GE(waited, 110ms);
    EXPECT_LT(waited, 200ms);
    EXPECT_TRUE(state_.ReplyBuffer.empty());
    // The log is created, for its owner alone, but gains nothing.
    struct stat info {};
    ASSERT_EQ(::stat(logPath_.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(info.st_size, 0);
}

TEST_F(ExchangeOverPty, OnlyTheExactPromptCountsAsThePrompt) {
    Exchange exchange(state_, view_, {});
    const struct {
        std::string reply;
        bool isPrompt;
    } cases[] = {
        {"\r\nZarn-DSL>", true},
        {"\r\nZarn-DSL> ", false},
        {"show vc internet\r\nZarn-DSL>", false},
        {"\r\nZarn-DSL>\r\nZarn-DSL>", false},
        {"Zarn-DSL>", false},
    };
    for (const auto& c : cases) {
        pty_.send(c.reply);
        exchange.DrainReply();
        EXPECT_EQ(state_.ReplyBuffer, c.reply);
        EXPECT_EQ(exchange.ReplyIsPrompt(), c.isPrompt) << c.reply;
    }
    EXPECT_TRUE(exchange.ReplyContains("Zarn"));
    EXPECT_FALSE(exchange.ReplyContains("zarn"));
}

TEST_F(ExchangeOverPty, ZeroBytesVanishFromTheReplyAndTheLog) {
    state_.runLog.setPath(logPath_);
    Exchange exchange(state_, view_, {});
    pty_.send(std::string("Login\0 incorrect\0", 17));
    EXPECT_EQ(exchange.DrainReply(), 15u);
    EXPECT_EQ(state_.ReplyBuffer, "Login incorrect");
    EXPECT_EQ(readFile(logPath_), "Login incorrect");
}

TEST_F(ExchangeOverPty, TheLogKeepsEveryReplyInOrderAndNothingThatWasSent) {
    state_.runLog.setPath(logPath_);
    { std::ofstream(logPath_, std::ios::binary) << "earlier run|"; }
    Exchange exchange(state_, view_, {});
    exchange.SendLine("show system \r\n");
    pty_.send("first|");
    exchange.DrainReply();
    exchange.SendLine("\r");
    pty_.send("second\xe9|");
    exchange.DrainReply();
    EXPECT_EQ(readFile(logPath_), "earlier run|first|second\xe9|");
    // A log that was there keeps its own mode.
    struct stat info {};
    ASSERT_EQ(::stat(logPath_.c_str(), &info), 0);
    EXPECT_NE(info.st_mode & S_IROTH, 0u);
}

// The echo of a password sent is masked in the log however the router cuts
// it between drains, and nothing else is: not the text before it, not the
// same letters elsewhere, not a password the program never sent.
TEST_F(ExchangeOverPty, ThePasswordSentIsMaskedInItsEchoHoweverTheDrainsCutIt) {
    const struct Case {
        std::string password;  // as sent
        std::string before;    // what the router sends before the echo
        std::string after;     // and after it
    } cases[] = {
        {"pelnotra", "\r\nLogin incorrect\r\nPassword: ", "\r\nZarn-DSL>"},
        {"a\r\n", "\r\nPassword: ", "\r\nZarn-DSL>a bad case"},
        {"aab", "Password: aa", "\r\naab again\r\n"},
    };
    for (const Case& c : cases) {
        std::string_view typed = c.password;
        if (typed.ends_with("\r\n")) typed.remove_suffix(2);
        const std::string echo(typed);
        const std::string all = c.before + echo + c.after;
        for (std::size_t cut = 0; cut <= all.size(); ++cut) {
            SCOPED_TRACE(c.password + " cut at " + std::to_string(cut));
            fs::remove(logPath_);
            state_.runLog.setPath(logPath_);
            {
                Exchange exchange(state_, view_, {});
                exchange.SendPassword(c.password);
                pty_.received(50ms);
                std::string replies;
                for (const std::string& part : {all.substr(0, cut), all.substr(cut)}) {
                    pty_.send(part);
                    exchange.DrainReply();
                    replies += state_.ReplyBuffer;
                }
                EXPECT_EQ(replies, all);
            }
            // The first occurrence of the password's text after the earlier text is its echo.
            std::string expected = all;
            const std::size_t echoAt =
                all.find(echo, c.before.size() - (c.password == "aab" ? 2 : 0));
            expected.replace(echoAt, echo.size(), std::string(echo.size(), '*'));
            EXPECT_EQ(readFile(logPath_), expected);
        }
    }
}

TEST_F(ExchangeOverPty, ARouterThatEchoesAsterisksGetsNothingMasked) {
    state_.runLog.setPath(logPath_);
    state_.UserPassword = "aa\r\n";  // typed earlier: never searched for
    Exchange exchange(state_, view_, {});
    exchange.SendPassword("pelnotra");
    const std::string reply =
        "********\r\nZarn-DSL>" + std::string(300, '.') + "pelnotra aa\r\nZarn-DSL>";
    pty_.send(reply);
    exchange.DrainReply();
    EXPECT_EQ(readFile(logPath_), reply);
}

TEST_F(ExchangeOverPty, OnlyARegularFileTakesTheLogAndARefusalIsToldOnce) {
    const fs::path folder = logPath_.string() + ".d";
    fs::create_directory(folder);
    const fs::path target = folder / "target";
    const fs::path absent = folder / "absent";
    { std::ofstream(target, std::ios::binary) << "kept"; }
    PtyPair device;
    const fs::path log = folder / "Router.log";
    const struct {
        const char* what;
        std::function<fs::path()> make;
        std::string reason;
    } cases[] = {
        {"link to a file",
         [&] {
             fs::create_symlink(target, log);
             return log;
         },
         "enlace"},
        {"dangling link",
         [&] {
             fs::create_symlink(absent, log);
             return log;
         },
         "enlace"},
        {"link to a device",
         [&] {
             fs::create_symlink(device.path(), log);
             return log;
         },
         "enlace"},
        {"FIFO",
         [&] {
             ::mkfifo(log.c_str(), 0600);
             return log;
         },
         "no es un fichero normal"},
        {"device", [&] { return fs::path(device.path()); }, "no es un fichero normal"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove(log);
        state_.runLog.setPath(c.make());
        std::vector<std::string> told;
        state_.runLog.onFailure = [&](const std::string& message) { told.push_back(message); };
        Exchange exchange(state_, view_, {});
        const auto start = Clock::now();
        for (int i = 0; i < 2; ++i) {
            pty_.send("reply");
            EXPECT_EQ(exchange.DrainReply(), 5u);
        }
        EXPECT_LT(Clock::now() - start, 1s);
        ASSERT_EQ(told.size(), 1u);
        EXPECT_NE(told[0].find(c.reason), std::string::npos) << told[0];
        EXPECT_EQ(readFile(target), "kept");
        EXPECT_FALSE(fs::exists(absent));
        EXPECT_EQ(device.received(50ms), "");
    }
    fs::remove_all(folder);
}

// In a shared folder (writable by all, sticky), a log that others may read or
// that another user owns is left alone: the log goes into a new file beside
// it that only its owner may read, and the user is told where.
TEST_F(ExchangeOverPty, AnotherUsersOrAReadableLogInASharedFolderIsLeftForAPrivateOne) {
    ASSERT_EQ(::chmod(folder_.c_str(), 01777), 0);
    struct Case {
        const char* what;
        mode_t mode;
        bool foreign;
    };
    std::vector<Case> cases{{"readable by all", 0644, false}};
    if (::geteuid() == 0) cases.push_back({"another user's", 0600, true});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(folder_);
        fs::create_directory(folder_);
        ASSERT_EQ(::chmod(folder_.c_str(), 01777), 0);
        { std::ofstream(logPath_, std::ios::binary) << "ajeno|"; }
        ASSERT_EQ(::chmod(logPath_.c_str(), c.mode), 0);
        if (c.foreign) {
            ASSERT_EQ(::chown(logPath_.c_str(), 65534, 65534), 0);
        }
        std::vector<std::string> told;
        state_.runLog.setPath(logPath_);
        state_.runLog.onFailure = [&](const std::string& message) { told.push_back(message); };
        Exchange exchange(state_, view_, {});
        for (const char* reply : {"uno|", "dos|"}) {
            pty_.send(reply);
            exchange.DrainReply();
        }
        EXPECT_EQ(readFile(logPath_), "ajeno|");
        ASSERT_EQ(told.size(), 1u);
        const fs::path fresh = state_.runLog.path();
        EXPECT_NE(fresh, logPath_);
        EXPECT_EQ(fresh.parent_path(), folder_);
        EXPECT_NE(told[0].find(fresh.string()), std::string::npos) << told[0];
        EXPECT_EQ(readFile(fresh), "uno|dos|");
        struct stat info {};
        ASSERT_EQ(::stat(fresh.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0600u);
        EXPECT_EQ(info.st_uid, ::geteuid());
    }
    // A log of one's own that others may not read is appended to as ever.
    fs::remove_all(folder_);
    fs::create_directory(folder_);
    ASSERT_EQ(::chmod(folder_.c_str(), 01777), 0);
    { std::ofstream(logPath_, std::ios::binary) << "mio|"; }
    ASSERT_EQ(::chmod(logPath_.c_str(), 0600), 0);
    state_.runLog.setPath(logPath_);
    Exchange exchange(state_, view_, {});
    pty_.send("tres|");
    exchange.DrainReply();
    EXPECT_EQ(readFile(logPath_), "mio|tres|");
}

TEST_F(ExchangeOverPty, WithLoggingOffNoLogIsCreated) {
    Exchange exchange(state_, view_, {});
    pty_.send("\r\nZarn-DSL>");
    exchange.DrainReply();
    EXPECT_FALSE(fs::exists(logPath_));
}

TEST_F(ExchangeOverPty, AnUnopenableLogIsIgnored) {
    state_.runLog.setPath("/nonexistent-cofralin-dir/Router.log");
    Exchange exchange(state_, view_, {});
    pty_.send("abc");
    EXPECT_EQ(exchange.DrainReply(), 3u);
}

TEST_F(ExchangeOverPty, ACopyShowsWhatItSendsAndDrainsAndMovesItsBar) {
    Exchange exchange(state_, view_, {true, true, true});
    state_.SentLineCount = 0;
    exchange.SendLine("show vc internet \r\n");
    exchange.SendLine("\r");
    pty_.send("Remote \xe9");
    exchange.DrainReply();
    EXPECT_EQ(view_.statusTexts,
              (std::vector<std::string>{"show vc internet \r\n", "\r", "Remote \xc3\xa9"}));
    EXPECT_EQ(view_.progressSteps, (std::vector<int>{0, 1}));
    EXPECT_EQ(state_.SentLineCount, 2);
    EXPECT_EQ(pty_.received(), "show vc internet \r\n\r");
}

TEST_F(ExchangeOverPty, ACopyWithoutDisplayShowsNothing) {
    Exchange exchange(state_, view_, {});
    exchange.SendLine("exit\r\n");
    pty_.send("Bye");
    exchange.DrainReply();
    EXPECT_TRUE(view_.statusTexts.empty());
    EXPECT_TRUE(view_.progressSteps.empty());
    exchange.ShowReply();
    EXPECT_EQ(view_.lastStatus(), "Bye");
}

TEST_F(ExchangeOverPty, AChatteringLineMakesTheWaitGiveUpAtItsBoundCountedFromItsStart) {
    settings_.PromptWaitLimit = 1500ms;
    Exchange exchange(state_, view_, {});
    // Chatter from the start, and chatter that begins late in the wait: the
    // drain running then ends with the wait, not a wait limit after its own start.
    for (const auto silentFor : {0ms, 1200ms}) {
        SCOPED_TRACE(silentFor.count());
        std::atomic<bool> chatter{true};
        const auto start = Clock::now();
        std::thread router([&] {
            std::this_thread::sleep_for(silentFor);
            while (chatter) {
                pty_.send("Zarn-DSL> ruido\r\n");
                std::this_thread::sleep_for(20ms);
            }
        });
        EXPECT_FALSE(exchange.AwaitPrompt(AwaitOrder::NudgeFirst));
        const auto waited = Clock::now() - start;
        chatter = false;
        router.join();
        EXPECT_GE(waited, 1500ms);
        EXPECT_LT(waited, 1500ms + 300ms);
        exchange.DrainReply();
    }
}

TEST_F(ExchangeOverPty, ADrainStopsAtItsByteLimit) {
    settings_.DrainLimit = 100;
    pty_.send(std::string(300, 'x'));
    Exchange exchange(state_, view_, {});
    EXPECT_EQ(exchange.DrainReply(), 100u);
}

TEST(CommandLines, CatalogueLinesTakeTheirEndingThenTheSubstitutionsInOrder) {
    EXPECT_EQ(ComposeLine("save all", LineEnding::BlankCrLf), "save all \r\n");
    EXPECT_EQ(ComposeLine("save all", LineEnding::CrLf), "save all\r\n");
    EXPECT_EQ(ComposeLine("", LineEnding::CrLf), "\r\n");
    EXPECT_EQ(
        ComposeLine("add a.a.a.a/m.m.m.m", LineEnding::CrLf, {{"a.a.a.a/m.m.m.m", "192.0.2.0/26"}}),
        "add 192.0.2.0/26\r\n");
    EXPECT_EQ(ComposeLine("set a.a.a.a/m.m.m.m", LineEnding::BlankCrLf,
                          {{"a.a.a.a", "10.0.0.10"}, {"m.m.m.m", "255.255.255.248"}}),
              "set 10.0.0.10/255.255.255.248 \r\n");
    // Replaced text is not searched again, and a later token sees earlier results.
    EXPECT_EQ(ComposeLine("p yy zz", LineEnding::CrLf, {{"yy", "zz"}, {"zz", "80"}}),
              "p 80 80\r\n");
    EXPECT_EQ(ReplaceAll("aaaa", "aa", "a"), "aa");
    EXPECT_EQ(ReplaceAll("x%sy", "%s", "%d"), "x%dy");
    EXPECT_EQ(ReplaceAll("none", "a.a.a.a", "1.2.3.4"), "none");
}

TEST(CommandLines, RouterBytesAndTypedTextConvertBetweenWindows1252AndUtf8) {
    struct Case {
        std::string_view bytes;
        std::string_view utf8;
    };
    // Both ways: Latin-1 letters, the code page's own 0x80 to 0x9F, and an
    // undefined byte, which stands for the control character of its number.
    for (const Case& c : {Case{"Versi\xf3n\r\n", "Versi\xc3\xb3n\r\n"},
                          Case{"\x80"
                               "5",
                               "\xe2\x82\xac"
                               "5"},
                          Case{"\x8a\x9f\x99", "\xc5\xa0\xc5\xb8\xe2\x84\xa2"},
                          Case{"\x81\xff", "\xc2\x81\xc3\xbf"}}) {
        EXPECT_EQ(Windows1252ToUtf8(c.bytes), c.utf8);
        EXPECT_EQ(Utf8ToWindows1252(c.utf8), c.bytes);
        EXPECT_EQ(Utf8ToWindows1252Exactly(c.utf8), c.bytes);
    }
    // Text the code page cannot carry is refused whole, not sent as "?".
    EXPECT_EQ(Utf8ToWindows1252Exactly("a?b"), "a?b");
    EXPECT_EQ(Utf8ToWindows1252Exactly("\xd0\xbf\xd0\xb0"), std::nullopt);  // "па"
    EXPECT_EQ(Utf8ToWindows1252Exactly("clave\xff"), std::nullopt);         // not UTF-8
    // Characters the code page lacks and malformed UTF-8 are sent as "?".
    EXPECT_EQ(Utf8ToWindows1252("\xe2\x82\xad"
                                "1\xf0\x9f\x98\x80"
                                "2\xc3"
                                "3\x80"),
              "?1?2?3?");
    EXPECT_EQ(Utf8ToWindows1252("\xc2\x80"), "?");  // U+0080 has no byte of its own
}

}  // namespace
}  // namespace cofralin
