// The files q73sim makes in a folder others may write to: the record never
// goes through a link or into another user's file, and the device link
// replaces only what an earlier run left.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "pty_pair.h"
#include "sim_files.h"

namespace cofralin {
namespace {

namespace fs = std::filesystem;
using testing::PtyPair;

constexpr uid_t kNobody = 65534;

// A folder anyone may write to, sticky, as /tmp is.
class SharedFolder {
public:
    SharedFolder() {
        std::string pattern = (fs::temp_directory_path() / "q73sim-files-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
        fs::permissions(path_, fs::perms(01777));
    }
    ~SharedFolder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    SharedFolder(const SharedFolder&) = delete;
    SharedFolder& operator=(const SharedFolder&) = delete;
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

// What stands at `path`, to tell whether it was touched.
std::string whatIsAt(const fs::path& path) {
    std::error_code error;
    const fs::file_status status = fs::symlink_status(path, error);
    if (!fs::exists(status)) return "nothing";
    if (fs::is_symlink(status)) return "link to " + fs::read_symlink(path).string();
    if (!fs::is_regular_file(status)) return "no plain file";
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return "file " + text.str();
}

void writeText(const fs::path& path, const std::string& text) { std::ofstream(path) << text; }

TEST(SimulatorFiles, TheRecordNeverGoesThroughALinkNorIntoAFileNotItsOwn) {
    const SharedFolder folder;
    const fs::path record = folder.path() / "received";
    const fs::path victim = folder.path() / "victim";
    const fs::path elsewhere = folder.path() / "elsewhere";
    writeText(victim, "secreto");
    const bool root = ::geteuid() == 0;
    const struct {
        const char* what;
        std::function<void()> plant;
        bool taken;
    } cases[] = {
        {"nothing there", [] {}, true},
        {"a record of an earlier run", [&] { writeText(record, "viejo"); }, true},
        {"a link to a file", [&] { fs::create_symlink(victim, record); }, false},
        {"a link to nothing yet", [&] { fs::create_symlink(elsewhere, record); }, false},
        {"a FIFO", [&] { ::mkfifo(record.c_str(), 0666); }, false},
        {"a folder", [&] { fs::create_directory(record); }, false},
        {"another user's file",
         [&] {
             writeText(record, "ajeno");
             EXPECT_TRUE(!root || ::chown(record.c_str(), kNobody, kNobody) == 0);
         },
         !root},
    };
    for (const auto& c : cases) {
        c.plant();
        const std::string before = whatIsAt(record);
        std::string error;
        const int fd = OpenRecordFile(record, error);
        EXPECT_EQ(fd >= 0, c.taken) << c.what << ": " << error;
        if (fd >= 0) {
            EXPECT_EQ(::write(fd, "abc", 3), 3);
            ::close(fd);
            EXPECT_EQ(whatIsAt(record), "file abc") << c.what;
            EXPECT_EQ(fs::status(record).permissions() & fs::perms::others_all, fs::perms::none)
                << c.what;
        } else {
            EXPECT_FALSE(error.empty()) << c.what;
            EXPECT_EQ(whatIsAt(record), before) << c.what;
        }
        EXPECT_EQ(whatIsAt(victim), "file secreto") << c.what;
        EXPECT_EQ(whatIsAt(elsewhere), "nothing") << c.what;
        fs::remove_all(record);
    }
}

TEST(SimulatorFiles, TheLinkReplacesOnlyALinkOfAnEarlierRunAndIsRemovedOnlyWhileItsOwn) {
    const SharedFolder folder;
    const PtyPair pty;
    const fs::path link = folder.path() / "com1";
    const fs::path victim = folder.path() / "victim";
    writeText(victim, "secreto");
    const bool root = ::geteuid() == 0;
    const struct {
        const char* what;
        std::function<void()> plant;
        bool made;
    } cases[] = {
        {"nothing there", [] {}, true},
        {"an earlier run's link", [&] { fs::create_symlink("/dev/pts/999", link); }, true},
        {"a link to a file", [&] { fs::create_symlink(victim, link); }, false},
        {"a plain file", [&] { writeText(link, "mío"); }, false},
        {"a folder", [&] { fs::create_directory(link); }, false},
        {"another user's link to a pseudo-terminal",
         [&] {
             fs::create_symlink("/dev/pts/999", link);
             EXPECT_TRUE(!root || ::lchown(link.c_str(), kNobody, kNobody) == 0);
         },
         !root},
    };
    for (const auto& c : cases) {
        c.plant();
        const std::string before = whatIsAt(link);
        std::string error;
        EXPECT_EQ(MakeDeviceLink(link, pty.path(), error), c.made) << c.what << ": " << error;
        if (c.made) {
            EXPECT_EQ(whatIsAt(link), "link to " + pty.path()) << c.what;
            RemoveDeviceLink(link, pty.path());
            EXPECT_EQ(whatIsAt(link), "nothing") << c.what;
        } else {
            EXPECT_FALSE(error.empty()) << c.what;
            EXPECT_EQ(whatIsAt(link), before) << c.what;
            // Nor is it removed at the end.
            RemoveDeviceLink(link, pty.path());
            EXPECT_EQ(whatIsAt(link), before) << c.what;
        }
        EXPECT_EQ(whatIsAt(victim), "file secreto") << c.what;
        fs::remove_all(link);
    }
    // No half-made link is left behind.
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 1);
}

// The exit status of q73sim with `arguments`, killed after two seconds.
int q73simExit(const std::vector<std::string>& arguments) {
    std::vector<char*> argv{const_cast<char*>("q73sim")};
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        const int quiet = ::open("/dev/null", O_WRONLY);
        ::dup2(quiet, 1);
        ::dup2(quiet, 2);
        ::execv(Q73SIM_PATH, argv.data());
        ::_exit(127);
    }
    int status = 0;
    for (int wait = 0; wait < 200; ++wait) {
        if (::waitpid(child, &status, WNOHANG) == child) {
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(child, SIGKILL);
    ::waitpid(child, &status, 0);
    return -2;
}

TEST(SimulatorFiles, Q73simStopsRatherThanWriteThroughOrReplaceALinkNotItsOwn) {
    const SharedFolder folder;
    const fs::path victim = folder.path() / "victim";
    const fs::path planted = folder.path() / "planted";
    writeText(victim, "secreto");
    fs::create_symlink(victim, planted);
    EXPECT_EQ(q73simExit({"--record", planted.string()}), 1);
    EXPECT_EQ(q73simExit({"--link", planted.string()}), 1);
    EXPECT_EQ(whatIsAt(victim), "file secreto");
    EXPECT_EQ(whatIsAt(planted), "link to " + victim.string());
}

}  // namespace
}  // namespace cofralin
