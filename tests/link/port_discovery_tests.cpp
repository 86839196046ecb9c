// Finding and naming the serial ports on a fake sysfs tree, and why a port
// found is not offered: no permission, or the UUCP lock of another program.
#include <grp.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "fake_serial_tree.h"
#include "port_discovery.h"
#include "pty_pair.h"
#include "serial_line.h"

extern char** environ;

namespace cofralin {
namespace {

using testing::FakeSerialTree;
using testing::PtyPair;

// Sets COFRALIN_COM1..4 (an empty text leaves one unset) and unsets them at the end.
class PortVariables {
public:
    explicit PortVariables(const std::array<std::string, 4>& values) {
        for (int n = 0; n < 4; ++n) {
            if (values[n].empty()) {
                ::unsetenv(name(n).c_str());
            } else {
                ::setenv(name(n).c_str(), values[n].c_str(), 1);
            }
        }
    }
    ~PortVariables() {
        for (int n = 0; n < 4; ++n) ::unsetenv(name(n).c_str());
    }
    PortVariables(const PortVariables&) = delete;
    PortVariables& operator=(const PortVariables&) = delete;

private:
    static std::string name(int n) { return "COFRALIN_COM" + std::to_string(n + 1); }
};

std::vector<std::string> namedAs(const std::vector<SerialPort>& ports) {
    std::vector<std::string> lines;
    for (const SerialPort& port : ports)
        lines.push_back(port.name + " " + DeviceDescription(port.device));
    return lines;
}

TEST(PortDiscovery, VariablesFirstThenUartsByNumberThenUsbAdaptersByPhysicalPathAtMostFour) {
    FakeSerialTree tree;
    tree.addVirtual("tty0");
    tree.addUart("ttyS10", 4);
    tree.addUart("ttyS2", 4);
    tree.addUart("ttyS1", 0);  // a node with no UART behind it
    tree.addUsb("ttyUSB1", "1-10", "CP2102 USB to UART Bridge Controller", "0001");
    tree.addUsb("ttyUSB0", "1-2", "FT232R USB UART", "A10K3XYZ");
    tree.addUsb("ttyACM0", "1-1.4", "USB Serial", "");
    const std::string s2 = tree.node("ttyS2");
    const std::string s10 = tree.node("ttyS10");
    const std::string acm0 = tree.node("ttyACM0") + " · USB Serial";
    const std::string usb0 = tree.node("ttyUSB0") + " · FT232R USB UART · A10K3XYZ";
    const std::string usb1 =
        tree.node("ttyUSB1") + " · CP2102 USB to UART Bridge Controller · 0001";

    struct Case {
        std::array<std::string, 4> variables;
        std::vector<std::string> named;
    };
    const Case cases[] = {
        {{}, {"COM1: " + s2, "COM2: " + s10, "COM3: " + acm0, "COM4: " + usb0}},
        // A variable names its own port; the devices found fill the others.
        {{"", "/dev/q73sim"},
         {"COM1: " + s2, "COM2: /dev/q73sim", "COM3: " + s10, "COM4: " + acm0}},
        // A device a variable names is not named twice, and keeps its description.
        {{tree.node("ttyUSB0"), "", "", tree.node("ttyUSB1")},
         {"COM1: " + usb0, "COM2: " + s2, "COM3: " + s10, "COM4: " + usb1}},
    };
    for (const Case& c : cases) {
        const PortVariables variables(c.variables);
        EXPECT_EQ(namedAs(NamePorts(tree.paths())), c.named) << c.variables[0] << c.variables[1];
    }
}

TEST(PortDiscovery, ABenchAsksForMoreNamesTheWindowKeepsFour) {
    FakeSerialTree tree;
    for (const char* usbPort : {"1-1", "1-2", "1-3", "1-4", "1-5"}) {
        const std::string name = "ttyUSB" + std::string(1, usbPort[2]);
        tree.addUsb(name, usbPort, "", "");
    }
    const PortVariables variables({});
    ::setenv("COFRALIN_COM7", "/dev/q73sim7", 1);
    std::vector<std::string> named;
    for (const SerialPort& port : NamePorts(tree.paths(), std::nullopt, 8)) {
        named.push_back(port.name + " " + port.device.path);
    }
    const std::vector<std::string> window = namedAs(NamePorts(tree.paths()));
    const std::string atCom7 = DevicePathForPort("COM7:", {}, tree.paths(), 8);
    ::unsetenv("COFRALIN_COM7");

    const auto usb = [&](char n) { return tree.node("ttyUSB" + std::string(1, n)); };
    EXPECT_EQ(named, (std::vector<std::string>{"COM1: " + usb('1'), "COM2: " + usb('2'),
                                               "COM3: " + usb('3'), "COM4: " + usb('4'),
                                               "COM5: " + usb('5'), "COM7: /dev/q73sim7"}));
    EXPECT_EQ(atCom7, "/dev/q73sim7");
    // The window's four names leave the fifth adapter and COM7 out.
    EXPECT_EQ(window.size(), 4u);
    EXPECT_EQ(window.back(), "COM4: " + usb('4'));

    const struct {
        std::string_view name;
        int count;
        int index;
    } indexes[] = {{"COM1:", 4, 0},    {"COM4:", 4, 3},     {"COM5:", 4, -1}, {"COM5:", 8, 4},
                   {"COM99:", 99, 98}, {"COM100:", 99, -1}, {"COM0:", 8, -1}, {"COM05:", 8, -1},
                   {"COM1", 4, -1},    {"com1:", 4, -1}};
    for (const auto& c : indexes) EXPECT_EQ(PortIndex(c.name, c.count), c.index) << c.name;
}

TEST(PortDiscovery, TheOnlyAdapterOfALaptopIsCom1) {
    const PortVariables variables({});
    FakeSerialTree tree;
    tree.addUart("ttyS0", 0);
    tree.addUart("ttyS1", 0);
    tree.addVirtual("console");
    tree.addUsb("ttyUSB0", "3-1", "FT232R USB UART", "A10K3XYZ");
    EXPECT_EQ(namedAs(NamePorts(tree.paths())),
              std::vector<std::string>{"COM1: " + tree.node("ttyUSB0") +
                                       " · FT232R USB UART · A10K3XYZ"});
    EXPECT_EQ(DevicePathForPort("COM1:", {}, tree.paths()), tree.node("ttyUSB0"));
    EXPECT_EQ(DevicePathForPort("COM2:", {}, tree.paths()), "");
}

TEST(PortDiscovery, ProbeOffersThePortsThatOpenAndLeavesNothingOpen) {
    FakeSerialTree tree;
    PtyPair one;
    PtyPair three;
    PtyPair four;
    const PortVariables variables(
        {one.path(), "/nonexistent/cofralin-port", three.path(), four.path()});
    TermiosSerialLine holder;
    ASSERT_TRUE(holder.open(one.path()).opened);

    const PortProbe probe = ProbePorts(tree.paths());
    std::vector<std::string> offered;
    for (const SerialPort& port : probe.offered) offered.push_back(port.name);
    EXPECT_EQ(offered, (std::vector<std::string>{"COM3:", "COM4:"}));
    // The held one is told, and so is the path a variable names that is not there.
    EXPECT_EQ(PortLineText(probe), one.path() + " está en uso por otro programa.\n" +
                                       "/nonexistent/cofralin-port no existe.");
    // The port this program holds itself is offered without a test.
    EXPECT_EQ(ProbePorts(tree.paths(), std::nullopt, one.path()).offered.front().name, "COM1:");

    TermiosSerialLine again;
    EXPECT_TRUE(again.open(three.path()).opened);
}

// What a forked child, running as `nobody` outside every group, is told.
std::string refusalAsNobody(const std::string& device, const SystemPaths& paths) {
    int channel[2];
    if (::pipe(channel) != 0) return "no pipe";
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(channel[0]);
        std::string told = "could not drop privileges";
        const gid_t none = 65534;
        if (::setgroups(0, nullptr) == 0 && ::setresgid(none, none, none) == 0 &&
            ::setresuid(none, none, none) == 0) {
            ::setenv("COFRALIN_COM1", device.c_str(), 1);
            const PortProbe probe = ProbePorts(paths);
            told = std::to_string(probe.offered.size()) + "|";
            for (const PortRefusal& refusal : probe.refused) told += RefusalText(refusal);
        }
        const ssize_t ignored = ::write(channel[1], told.data(), told.size());
        (void)ignored;
        ::_exit(0);
    }
    ::close(channel[1]);
    std::string told;
    char buffer[512];
    for (ssize_t n; (n = ::read(channel[0], buffer, sizeof buffer)) > 0;) told.append(buffer, n);
    ::close(channel[0]);
    ::waitpid(child, nullptr, 0);
    return told;
}

TEST(PortRefusal, APortWithoutPermissionNamesItsGroupAndTheCommandThatAddsTheUser) {
    const group* dialout = ::getgrnam("dialout");
    const passwd* nobody = ::getpwuid(65534);
    if (::geteuid() != 0 || !dialout || !nobody) GTEST_SKIP() << "needs root, dialout and nobody";
    const std::string groupName = dialout->gr_name;
    const std::string userName = nobody->pw_name;
    const PortVariables variables({});
    FakeSerialTree tree;
    PtyPair pty;
    ASSERT_EQ(::chown(pty.path().c_str(), 0, dialout->gr_gid), 0);
    ASSERT_EQ(::chmod(pty.path().c_str(), 0660), 0);

    EXPECT_EQ(refusalAsNobody(pty.path(), tree.paths()),
              "0|Sin permiso para abrir " + pty.path() + " (grupo " + groupName +
                  "): ejecute «sudo usermod -aG " + groupName + " " + userName +
                  "» y vuelva a iniciar la sesión.");
}

std::string readFile(const std::filesystem::path& file) {
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Whether `file` is this program's lock: its PID in ten columns, then its name.
bool isOwnLock(const std::filesystem::path& file) {
    char own[16];
    std::snprintf(own, sizeof own, "%10ld ", static_cast<long>(::getpid()));
    return readFile(file).rfind(std::string(own) + "cofralin ", 0) == 0;
}

void writeLock(const std::filesystem::path& file, pid_t pid) {
    char text[64];
    std::snprintf(text, sizeof text, "%10ld minicom root\n", static_cast<long>(pid));
    std::ofstream(file) << text;
}

// A running program to stand for another one; it is stopped at the end.
class OtherProgram {
public:
    OtherProgram() {
        const char* arguments[] = {"sleep", "30", nullptr};
        if (::posix_spawnp(&pid_, "sleep", nullptr, nullptr, const_cast<char* const*>(arguments),
                           environ) != 0) {
            pid_ = -1;
        }
        for (int i = 0; pid_ > 0 && i < 100 && ProgramNameOf(pid_) != "sleep"; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    ~OtherProgram() { stop(); }
    OtherProgram(const OtherProgram&) = delete;
    OtherProgram& operator=(const OtherProgram&) = delete;

    pid_t pid() const { return pid_; }
    void stop() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

private:
    pid_t pid_ = -1;
};

TEST(UucpLock, ALiveProgramsLockRefusesThePortAndADeadOnesIsReplacedAndRemoved) {
    FakeSerialTree tree;
    const SystemPaths paths = tree.paths();
    PtyPair pty;
    const std::filesystem::path lock = LockFilePath(pty.path(), paths.lockDirectory);
    EXPECT_EQ(lock.filename().string().rfind("LCK..", 0), 0u);

    // A live holder: a program still running, named as the system knows it.
    OtherProgram other;
    ASSERT_GT(other.pid(), 0);
    const pid_t sleeper = other.pid();
    writeLock(lock, sleeper);
    const std::string held =
        pty.path() + " está en uso por sleep (PID " + std::to_string(sleeper) + ").";
    TermiosSerialLine line(paths.lockDirectory);
    const auto refused = line.open(pty.path());
    EXPECT_FALSE(refused.opened);
    ASSERT_TRUE(refused.refusal.has_value());
    EXPECT_EQ(RefusalText(*refused.refusal), held);
    const auto probed = TryOpenExclusive(pty.path(), paths.lockDirectory).refusal;
    ASSERT_TRUE(probed.has_value());
    EXPECT_EQ(RefusalText(*probed), held);
    EXPECT_TRUE(std::filesystem::exists(lock));
    other.stop();

    // Its process is gone now: the stale lock gives way to this program's own,
    // which the others see, and which goes when the port is closed.
    ASSERT_TRUE(line.open(pty.path()).opened);
    EXPECT_TRUE(isOwnLock(lock)) << readFile(lock);
    EXPECT_TRUE(TryOpenExclusive(pty.path(), paths.lockDirectory).refusal.has_value());
    line.close();
    EXPECT_FALSE(std::filesystem::exists(lock));
    EXPECT_FALSE(TryOpenExclusive(pty.path(), paths.lockDirectory).refusal.has_value());
}

TEST(PortRefusal, APathThatIsNoSerialPortIsRefusedAndTold) {
    namespace fs = std::filesystem;
    FakeSerialTree tree;
    const fs::path locks = tree.paths().lockDirectory;
    const std::string missing = tree.node("missing");
    const std::string plain = tree.node("plain");
    const std::string folder = tree.node("folder");
    const std::string fifo = tree.node("fifo");
    const std::string ttyLink = tree.node("tty-link");
    std::ofstream(plain) << "no soy un puerto";
    fs::create_directory(folder);
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    fs::create_symlink("/dev/tty", ttyLink);

    const std::string notSerial = " no es un puerto serie: ";
    const struct {
        std::string path;
        std::string told;
    } cases[] = {
        {missing, missing + " no existe."},
        {plain, plain + notSerial + "es un fichero normal."},
        {folder, folder + notSerial + "es una carpeta."},
        {fifo, fifo + notSerial + "es una FIFO."},
        {"/dev/tty", "/dev/tty" + notSerial + "es el terminal de control de este programa."},
        {ttyLink, ttyLink + notSerial + "es el terminal de control de este programa."},
        {"/dev/null", "/dev/null" + notSerial + "no es un terminal."},
    };
    for (const auto& c : cases) {
        const PortVariables variables({c.path});
        const PortProbe probe = ProbePorts(tree.paths());
        EXPECT_TRUE(probe.offered.empty()) << c.path;
        EXPECT_EQ(PortLineText(probe), c.told);
        TermiosSerialLine line(locks);
        const auto opened = line.open(c.path);
        EXPECT_FALSE(opened.opened) << c.path;
        ASSERT_TRUE(opened.refusal.has_value()) << c.path;
        EXPECT_EQ(RefusalText(*opened.refusal), c.told);
        // No lock is taken for what is no port.
        EXPECT_TRUE(fs::is_empty(locks)) << c.path;
    }
}

TEST(PortRefusal, ASystemErrorIsToldInWordsNotAsANumber) {
    EXPECT_EQ(RefusalText(ExplainOpenFailure("/dev/ttyS0", EIO)),
              "No pudo abrirse /dev/ttyS0: Error de entrada/salida.");
    EXPECT_EQ(RefusalText(ExplainOpenFailure("/dev/ttyS0", 4242)),
              "No pudo abrirse /dev/ttyS0: Error desconocido del sistema (4242).");
}

// The number of a process that has ended.
pid_t endedProcess() {
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    ::waitpid(child, nullptr, 0);
    return child;
}

TEST(UucpLock, ALockThatNamesNoLiveProcessIsRemovedAndToldUnlessItCannotBe) {
    namespace fs = std::filesystem;
    FakeSerialTree tree;
    PtyPair pty;
    const PortVariables variables({pty.path()});
    const fs::path locks = tree.paths().lockDirectory;
    const fs::path lock = LockFilePath(pty.path(), locks);
    const fs::path victim = locks.parent_path() / "victim";
    std::ofstream(victim) << "secreto";
    const pid_t ended = endedProcess();

    const auto text = [&lock](const std::string& content, bool old) {
        return [&lock, content, old] {
            std::ofstream(lock, std::ios::binary) << content;
            if (old) fs::last_write_time(lock, fs::last_write_time(lock) - std::chrono::hours(1));
        };
    };
    const std::string removed = "Se quitó el bloqueo abandonado " + lock.string() + " (";
    const std::string unknown = removed + "de dueño desconocido: ";
    const std::string namesNone = unknown + "no dice qué proceso lo tiene).";
    const struct {
        const char* what;
        std::function<void()> plant;
        bool offered;
        std::string told;
    } cases[] = {
        {"fifo", [&] { ::mkfifo(lock.c_str(), 0644); }, true, unknown + "es una FIFO)."},
        {"folder", [&] { fs::create_directory(lock); }, true, unknown + "es una carpeta)."},
        {"link", [&] { fs::create_symlink(victim, lock); }, true,
         unknown + "es un enlace simbólico)."},
        {"garbage", text("hola, mundo\n", false), true, namesNone},
        {"negative", text("       -42 minicom root\n", false), true, namesNone},
        {"zero", text("         0\n", false), true, namesNone},
        {"huge", text("99999999999999999999 minicom\n", false), true, namesNone},
        {"beyond any pid", text("   4194305\n", false), true, namesNone},
        {"oversized", text(std::string(4096, '7'), false), true, unknown + "es demasiado grande)."},
        {"empty, long ago", text("", true), true, namesNone},
        {"ended holder", text(std::to_string(ended) + " minicom\n", false), true,
         removed + "su proceso " + std::to_string(ended) + " ya no existe)."},
        // What cannot be removed keeps the port away and says which file.
        {"full folder",
         [&] {
             fs::create_directory(lock);
             std::ofstream(lock / "dentro") << "x";
         },
         false,
         pty.path() + " no se ofrece: no pudo quitarse el bloqueo abandonado " + lock.string() +
             " (de dueño desconocido: es una carpeta): La carpeta no está vacía."},
        // An empty lock just made is one its program is still writing.
        {"empty, just made", text("", false), false,
         pty.path() + " está en uso por otro programa (bloqueo " + lock.string() + ")."},
    };
    for (const auto& c : cases) {
        c.plant();
        const PortProbe probe = ProbePorts(tree.paths());
        EXPECT_EQ(probe.offered.size(), c.offered ? 1u : 0u) << c.what;
        EXPECT_EQ(PortLineText(probe), c.told) << c.what;
        EXPECT_EQ(fs::exists(fs::symlink_status(lock)), !c.offered) << c.what;
        EXPECT_EQ(readFile(victim), "secreto") << c.what;
        std::error_code ignored;
        fs::remove_all(lock, ignored);

        // Opening meets it the same way: it gives way to this program's own lock.
        c.plant();
        TermiosSerialLine line(locks);
        EXPECT_EQ(line.open(pty.path()).opened, c.offered) << c.what;
        if (c.offered) {
            EXPECT_TRUE(isOwnLock(lock)) << c.what;
        }
        line.close();
        fs::remove_all(lock, ignored);
    }
}

TEST(UucpLock, TheLockIsWrittenUnderAFreshNameNeverThroughALinkAndReadableByAll) {
    namespace fs = std::filesystem;
    FakeSerialTree tree;
    PtyPair pty;
    const fs::path locks = tree.paths().lockDirectory;
    const fs::path lock = LockFilePath(pty.path(), locks);
    const fs::path victim = locks.parent_path() / "victim";
    std::ofstream(victim) << "secreto";
    fs::permissions(victim, fs::perms(0600));
    // What a local user could plant: the draft name of old and the lock's own
    // name, both leading to a file that is not theirs.
    const std::string oldDraft = "LTMP." + std::to_string(::getpid());
    fs::create_symlink(victim, locks / oldDraft);
    fs::create_symlink(victim, lock);

    const mode_t mask = ::umask(077);
    TermiosSerialLine line(locks);
    const bool opened = line.open(pty.path()).opened;
    ::umask(mask);
    ASSERT_TRUE(opened);
    EXPECT_EQ(readFile(victim), "secreto");
    EXPECT_EQ(fs::status(victim).permissions(), fs::perms(0600));
    struct stat placed {};
    ASSERT_EQ(::lstat(lock.c_str(), &placed), 0);
    EXPECT_TRUE(S_ISREG(placed.st_mode));
    EXPECT_EQ(placed.st_mode & 07777, 0644u);
    // No draft is left behind; the planted link is untouched.
    std::vector<std::string> entries;
    for (const auto& entry : fs::directory_iterator(locks)) {
        entries.push_back(entry.path().filename().string());
    }
    std::sort(entries.begin(), entries.end());
    EXPECT_EQ(entries, (std::vector<std::string>{lock.filename().string(), oldDraft}));
    EXPECT_EQ(fs::read_symlink(locks / oldDraft), victim);
}

TEST(UucpLock, AFolderAnyoneMayChangeOffersNoPortAndTakesNoLock) {
    namespace fs = std::filesystem;
    FakeSerialTree tree;
    PtyPair pty;
    const PortVariables variables({pty.path()});
    const fs::path locks = tree.paths().lockDirectory;
    fs::permissions(locks, fs::perms(0777));

    const PortProbe probe = ProbePorts(tree.paths());
    EXPECT_TRUE(probe.offered.empty());
    const std::string told = pty.path() +
                             " no se ofrece: cualquier usuario puede cambiar los bloqueos de " +
                             locks.string() + " (la carpeta no tiene el bit «sticky»); ejecute " +
                             "«sudo chmod +t " + locks.string() + "».";
    EXPECT_EQ(PortLineText(probe), told);
    TermiosSerialLine line(locks);
    const auto refused = line.open(pty.path());
    EXPECT_FALSE(refused.opened);
    ASSERT_TRUE(refused.refusal.has_value());
    EXPECT_EQ(RefusalText(*refused.refusal), told);
    EXPECT_TRUE(fs::is_empty(locks));

    // Sticky, as /run/lock is: only the owner of a lock may remove it.
    fs::permissions(locks, fs::perms(01777));
    EXPECT_EQ(ProbePorts(tree.paths()).offered.size(), 1u);
    EXPECT_TRUE(line.open(pty.path()).opened);
    EXPECT_TRUE(fs::exists(LockFilePath(pty.path(), locks)));
}

}  // namespace
}  // namespace cofralin
