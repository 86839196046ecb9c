// cofralin-cli as a shell and a script see it: bad input refused with
// nothing sent, each exit status, the password from each source and never
// shown, four routers at once with one refusing a line, Ctrl-C, and the
// terminal's status lines, questions and password prompt.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <string>
#include <thread>

#include "cli_test_support.h"
#include "pty_pair.h"

namespace cofralin {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using nlohmann::json;
using testing::CliCall;
using testing::CliResult;
using testing::Plain;
using testing::PtyPair;
using testing::RouterIn;
using testing::Routers;
using testing::RunCofralinCli;

// A file in a fresh folder, with `mode`.
class TempFile {
public:
    TempFile(const std::string& text, mode_t mode) {
        char pattern[] = "/tmp/cofralin-cli-XXXXXX";
        folder_ = ::mkdtemp(pattern);
        path_ = folder_ / "clave";
        std::ofstream(path_) << text;
        ::chmod(path_.c_str(), mode);
    }
    ~TempFile() { std::filesystem::remove_all(folder_); }
    const std::filesystem::path& path() const { return path_; }
    const std::filesystem::path& folder() const { return folder_; }

private:
    std::filesystem::path folder_;
    std::filesystem::path path_;
};

TEST(CliInput, BadInputIsRefusedNamingTheArgumentWithNothingSent) {
    const TempFile open("pelnotra\n", 0644);
    const struct Case {
        std::vector<std::string> arguments;
        std::string named;  // in the message
    } cases[] = {
        {{"monopuesto", "10.1.1/24", "--si"}, "monopuesto GESTION/MASCARA: «10.1.1»"},
        {{"monopuesto", "10.1.1.1/255.0.255.0", "--si"}, "La máscara IP de gestión (255.0.255.0)"},
        {{"monopuesto", "10.1.1.1/33", "--si"}, "«33» no es una máscara"},
        {{"multipuesto", "172.26.0.1/28", "--estacion", "10.0.0.1", "--si"}, "--estacion: "},
        {{"mapeos", "alta", "tcp", "70000", "192.168.1.10", "80", "--si"},
         "mapeos alta PUBLICO: el puerto «70000»"},
        {{"mapeos", "baja", "udp", "0", "--si"}, "mapeos baja PUBLICO: el puerto «0»"},
        {{"mapeos", "alta", "sctp", "80", "192.168.1.10", "80", "--si"}, "«sctp»"},
        {{"reiniciar"}, "«reiniciar»: orden desconocida"},
        {{"estado", "--rapido"}, "«--rapido»: opción desconocida"},
        {{"estado", "--registro"}, "--registro: falta su valor"},
        {{"actualizar", "-p", "COM2", "--si"}, "actualizar: indique un solo puerto"},
        {{"estado", "--clave-fichero", open.path().string()},
         "--clave-fichero: no se usa " + open.path().string() + ": otros usuarios"},
        // A change without --si and without a terminal to ask on.
        {{"multipuesto", "172.26.0.1/28"}, "multipuesto cambia el Router: confírmelo con --si"},
        {{"estado", "-p", "COM0"}, "-p: «COM0» no es un puerto"},
        {{"estado", "-p", "COM1"}, "-p: el puerto COM1: se indica dos veces"},
    };
    Routers routers({SimulatorOptions{}});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments[0] + " " + (c.arguments.size() > 1 ? c.arguments[1] : ""));
        CliCall call{c.arguments, routers.environment()};
        call.arguments.insert(call.arguments.begin(), {"-p", "COM1"});
        const CliResult run = RunCofralinCli(call);
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.out, "");
        EXPECT_TRUE(run.err.starts_with("cofralin-cli: ")) << run.err;
        EXPECT_NE(run.err.find(c.named), std::string::npos) << run.err;
        EXPECT_NE(run.err.find("cofralin-cli --help"), std::string::npos);
    }
    std::this_thread::sleep_for(150ms);
    EXPECT_EQ(routers[0].received(), "");
}

TEST(CliExit, EachWayOfEndingHasItsStatus) {
    SimulatorOptions refusing = RouterIn(StartMode::SinglePc);
    refusing.answers = {{"set vc internet local_ip_address", "Error: argumento no valido"}};
    SimulatorOptions lost;
    lost.hangupAfter = 2;
    SimulatorOptions silent;
    silent.silent = true;
    SimulatorOptions locked;
    locked.password = "secreto";
    const struct Case {
        std::string_view name;
        SimulatorOptions router;
        std::vector<std::string> arguments;
        std::string port;
        std::string outcome;
        int status;
    } cases[] = {
        {"done", {}, {"estado"}, "COM1", "ok", 0},
        {"nothing to change", {}, {"monopuesto", "10.1.1.1/24", "--si"}, "COM1", "unchanged", 0},
        {"refused", refusing, {"multipuesto", "172.26.0.1/28", "--si"}, "COM1", "refused", 1},
        {"port refused", {}, {"estado"}, "/dev/null", "port_refused", 3},
        {"no port", {}, {"estado"}, "COM9", "port_refused", 3},
        {"line lost", lost, {"estado"}, "COM1", "line_lost", 3},
        {"no answer", silent, {"estado"}, "COM1", "no_answer", 3},
        {"log-in failed", locked, {"estado"}, "COM1", "login_failed", 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Routers routers({c.router});
        CliCall call{c.arguments, routers.environment()};
        call.arguments.insert(call.arguments.end(), {"-p", c.port, "--json"});
        const CliResult run = RunCofralinCli(call);
        EXPECT_EQ(run.status, c.status) << run.out << run.err;
        const std::vector<json> lines = run.json();
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_EQ(lines[0]["outcome"], c.outcome);
        EXPECT_FALSE(lines[0]["message"].get<std::string>().empty());
    }
}

TEST(CliPasswords, FromEachSourceAndNeverShownNorLogged) {
    const std::string secret = "Secreto-73";
    const TempFile file(secret + "\n", 0600);
    const struct Case {
        std::string_view name;
        std::vector<std::pair<std::string, std::string>> environment;
        std::vector<std::string> arguments;
        std::string routerPassword;
        std::string outcome;
    } cases[] = {
        {"built-in", {}, {}, "pelnotra", "ok"},
        {"variable", {{"COFRALIN_CLAVE", secret}}, {}, secret, "ok"},
        {"file", {}, {"--clave-fichero", file.path().string()}, secret, "ok"},
        {"wrong variable", {{"COFRALIN_CLAVE", "otra"}}, {}, secret, "login_failed"},
        {"none", {}, {}, secret, "login_failed"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SimulatorOptions options;
        options.password = c.routerPassword;
        Routers routers({options});
        CliCall call{c.arguments, routers.environment()};
        call.environment.insert(call.environment.end(), c.environment.begin(), c.environment.end());
        call.arguments.insert(call.arguments.end(),
                              {"estado", "-p", "COM1", "--registro", file.folder().string()});
        const CliResult run = RunCofralinCli(call);
        EXPECT_NE(run.out.find("(" + c.outcome + ")"), std::string::npos) << run.out << run.err;
        EXPECT_EQ(run.out.find(secret), std::string::npos);
        EXPECT_EQ(run.err.find(secret), std::string::npos);
        if (c.outcome == "ok") {
            EXPECT_NE(routers[0].received().find(c.routerPassword), std::string::npos);
        }
        // One log for the port, named by port and time, masked.
        int logs = 0;
        for (const auto& entry : std::filesystem::directory_iterator(file.folder())) {
            const std::string name = entry.path().filename().string();
            if (!name.starts_with("Router-COM1-")) continue;
            ++logs;
            std::ifstream in(entry.path());
            const std::string logged((std::istreambuf_iterator<char>(in)), {});
            EXPECT_NE(logged.find("Login incorrect"), std::string::npos);
            EXPECT_EQ(logged.find(secret), std::string::npos);
            EXPECT_EQ(logged.find("pelnotra"), std::string::npos);
            std::filesystem::remove(entry.path());
        }
        EXPECT_EQ(logs, 1);
    }
}

TEST(CliManyRouters, FourAtOnceEachLineWholeAndOneRefusingALine) {
    std::vector<SimulatorOptions> options(4, RouterIn(StartMode::SinglePc));
    options[2].answers = {{"set vc internet local_ip_address", "Error: argumento no valido"}};
    // Named beyond the window's four names, as a bench's adapters are.
    Routers routers(options, 5);
    CliCall call{{"multipuesto", "172.26.0.1/28", "--todos", "--si"}, routers.environment()};
    const auto start = Clock::now();
    const CliResult run = RunCofralinCli(call);
    EXPECT_EQ(run.status, 1) << run.out << run.err;
    std::vector<std::string> names;
    for (std::size_t i = 0; i < routers.size(); ++i) names.push_back(routers.name(i));
    EXPECT_TRUE(testing::EveryLineStartsWithAPort(run.out, names)) << run.out;
    for (std::size_t i = 0; i < routers.size(); ++i) {
        SCOPED_TRACE(names[i]);
        const bool refused = i == 2;
        EXPECT_NE(run.out.find(names[i] +
                               " multipuesto: " + (refused ? "rechazado (refused)" : "hecho (ok)")),
                  std::string::npos);
        const RouterState router = routers[i].snapshot();
        EXPECT_EQ(router.saved.dhcp.mode == DhcpMode::Disabled &&
                      Plain(router.saved.vc->localAddress) == "192.0.2.10",
                  !refused);
    }
    EXPECT_NE(run.out.find("COM7:   El Router no aceptó la dirección local del circuito"),
              std::string::npos);
    // At once: not four switches one after the other.
    std::vector<long> times;
    for (std::size_t at = run.out.find("tiempo: "); at != std::string::npos;
         at = run.out.find("tiempo: ", at + 1)) {
        times.push_back(std::stol(run.out.substr(at + 8)));
    }
    ASSERT_EQ(times.size(), 4u);
    const long longest = *std::max_element(times.begin(), times.end());
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count(),
              2 * longest);
}

TEST(CliStop, CtrlCStopsEverySessionWithinHalfASecond) {
    SimulatorOptions slow;
    slow.slowMs = 100;  // the connection still running at the signal
    const struct Case {
        std::string_view name;
        std::vector<SimulatorOptions> routers;
        std::vector<std::string> outcomes;
        int status;
    } cases[] = {
        {"during the configuration", {RouterIn(StartMode::SinglePc)}, {"half_configured"}, 4},
        {"before and during",
         {slow, RouterIn(StartMode::SinglePc)},
         {"stopped", "half_configured"},
         130},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Routers routers(c.routers);
        Q73Simulator& switching = routers[routers.size() - 1];
        CliCall call{{"multipuesto", "172.26.0.1/28", "--todos", "--si", "--json"},
                     routers.environment()};
        std::optional<Clock::time_point> signalled;
        call.whileRunning = [&](pid_t child, const CliResult&) {
            if (!signalled && switching.waitForReceived("delete ip network lan", 0ms)) {
                ::kill(child, SIGINT);
                signalled = Clock::now();
            }
        };
        const CliResult run = RunCofralinCli(call);
        ASSERT_TRUE(signalled.has_value());
        EXPECT_LT(run.ended - *signalled, 500ms)
            << std::chrono::duration_cast<std::chrono::milliseconds>(run.ended - *signalled).count()
            << " ms";
        EXPECT_EQ(run.status, c.status) << run.out << run.err;
        const std::vector<json> lines = run.json();
        ASSERT_EQ(lines.size(), c.outcomes.size()) << run.out;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const std::size_t port = lines[i]["port"] == routers.name(0) ? 0 : 1;
            EXPECT_EQ(lines[i]["outcome"], c.outcomes[port]) << lines[i];
        }
        // Nothing more went out after the stop.
        const std::string received = switching.received();
        std::this_thread::sleep_for(200ms);
        EXPECT_EQ(switching.received(), received);
        EXPECT_EQ(received.find("save all"), std::string::npos);
    }
}

TEST(CliTerminal, StatusLinesQuestionsAndAPasswordWithoutEcho) {
    SimulatorOptions locked;
    locked.password = "Secreto-73";
    const struct Case {
        std::string_view name;
        std::vector<std::string> arguments;
        SimulatorOptions router;
        std::string asked;   // what the program asks on the error stream
        std::string answer;  // what the user types
        bool board;          // the standard output is the terminal
        std::string outcome;
    } cases[] = {
        {"password",
         {"estado"},
         locked,
         "está protegido mediante password",
         "Secreto-73\n",
         false,
         "(ok)"},
        {"question answered yes",
         {"multipuesto", "172.26.0.1/28"},
         {},
         "[s/N]",
         "s\n",
         false,
         "(ok)"},
        {"question answered no",
         {"multipuesto", "172.26.0.1/28"},
         {},
         "[s/N]",
         "n\n",
         false,
         "(stopped)"},
        {"status lines", {"estado"}, {}, "", "", true, "(ok)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Routers routers({c.router, SimulatorOptions{}});
        PtyPair terminal;
        CliCall call{c.arguments, routers.environment()};
        call.arguments.push_back("--todos");
        call.input = terminal.slave();
        if (c.board) call.output = terminal.slave();
        // Every question asked gets its answer; what the terminal shows is
        // read as it comes, so that the program never waits for it.
        std::size_t answered = 0;
        std::string shown;
        call.whileRunning = [&](pid_t, const CliResult& sofar) {
            shown += terminal.received(0ms);
            if (c.asked.empty()) return;
            std::size_t asked = 0;
            for (std::size_t at = sofar.err.find(c.asked); at != std::string::npos;
                 at = sofar.err.find(c.asked, at + 1)) {
                ++asked;
            }
            for (; answered < asked; ++answered) terminal.send(c.answer);
        };
        const CliResult run = RunCofralinCli(call);
        shown += terminal.received(100ms);
        const std::string out = c.board ? shown : run.out;
        EXPECT_NE(out.find("COM1: " + c.arguments[0] + ": "), std::string::npos) << out;
        EXPECT_NE(out.find(c.outcome), std::string::npos) << out;
        EXPECT_EQ(shown.find("Secreto-73"), std::string::npos) << "echoed";
        if (c.board) {
            // Each port's status line, redrawn in place above the results.
            EXPECT_NE(shown.find("COM2: conexión"), std::string::npos);
            EXPECT_NE(shown.find("\x1b[2A\r\x1b[J"), std::string::npos);
        }
        if (c.outcome == "(stopped)") {
            EXPECT_EQ(routers[0].received().find("delete ip network lan"), std::string::npos);
        }
    }
}

}  // namespace
}  // namespace cofralin
