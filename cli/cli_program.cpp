#include "cli_program.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "arguments.h"
#include "cli_frontend.h"
#include "console.h"
#include "order_runs.h"
#include "password_source.h"
#include "port_targets.h"
#include "report.h"
#include "router_copies.h"
#include "settings.h"

namespace cofralin::cli {

namespace {

namespace fs = std::filesystem;

constexpr int kUsageStatus = 2;
constexpr int kNoPortStatus = 3;

// Written by the signal handler, read by the thread that stops the sessions.
int signalPipe[2] = {-1, -1};

void onSignal(int) {
    const int saved = errno;
    const char byte = 's';
    [[maybe_unused]] const ssize_t ignored = ::write(signalPipe[1], &byte, 1);
    errno = saved;
}

bool isTerminal(int fd) { return ::isatty(fd) == 1; }

// Before the console exists: straight to the stream.
void writeTo(int fd, const std::string& text) {
    [[maybe_unused]] const ssize_t ignored = ::write(fd, text.data(), text.size());
}

int refuseUsage(const std::string& why) {
    writeTo(STDERR_FILENO, "cofralin-cli: " + why + "\nPruebe «cofralin-cli --help».\n");
    return kUsageStatus;
}

// The catalogue of --catalogo, else CONFIG.TXT of the current folder as the
// window reads it, else the installed one. Empty when loaded; else why not.
std::string loadCatalogue(const CliRequest& request, Settings& settings) {
    CatalogueLoadResult loaded;
    if (request.catalogue) {
        std::error_code error;
        if (!fs::is_regular_file(*request.catalogue, error)) {
            return "--catalogo: no pudo abrirse el fichero " + request.catalogue->string() + ".";
        }
        loaded = LoadCommandCatalogueFile(settings.catalogue, *request.catalogue);
    } else {
        loaded = LoadCommandCatalogue(settings.catalogue, ".");
        std::error_code error;
        if (loaded.status == CatalogueLoadResult::Status::FileMissing &&
            fs::is_regular_file(kShippedCatalogue, error)) {
            loaded = LoadCommandCatalogueFile(settings.catalogue, kShippedCatalogue);
        }
    }
    if (loaded.status == CatalogueLoadResult::Status::Loaded) return {};
    return CatalogueFailureMessage(loaded);
}

// "COM1:" and "/dev/ttyUSB0" as parts of a file name: "COM1", "dev_ttyUSB0".
std::string fileNamePart(const std::string& port) {
    std::string part;
    for (const char c : port) {
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                           (c >= '0' && c <= '9') || c == '-' || c == '.';
        if (plain) {
            part += c;
        } else if (c != ':' && !part.empty() && part.back() != '_') {
            part += '_';
        }
    }
    return part.empty() ? "puerto" : part;
}

std::string timeStamp() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local);
    return text;
}

// The "puertos" order: every port the discovery names, offered or not.
int listPorts(const CliRequest& request, Console& console) {
    const SystemPaths paths = CommandLineSystemPaths();
    const PortProbe probe = ProbePorts(paths, std::nullopt, {}, kMaxPortCount);
    std::vector<ListedPort> listed;
    for (const SerialPort& port : NamePorts(paths, std::nullopt, kMaxPortCount)) {
        ListedPort entry{port.name, port.device, std::nullopt};
        for (const PortRefusal& refusal : probe.refused) {
            if (refusal.device == port.device.path) entry.refusal = RefusalText(refusal);
        }
        const bool asked =
            request.ports.empty() ||
            std::any_of(request.ports.begin(), request.ports.end(), [&](const std::string& p) {
                return PortNameOf(p) == port.name || p == port.device.path;
            });
        if (asked) listed.push_back(std::move(entry));
    }
    for (const StaleLock& stale : probe.cleared)
        console.write(NoteText(StaleLockText(stale)), true);
    int status = 0;
    for (const ListedPort& port : listed) {
        console.write(request.json ? ListedPortJson(port) : ListedPortText(port));
        if (port.refusal) status = ExitStatus(Result::PortRefused);
    }
    if (listed.empty() && !request.json) console.write("No se encontró ningún puerto serie.\n");
    return status;
}

// The "copias" order: every copy in the folder, the refused ones with why.
int listCopies(const CliRequest& request, Console& console) {
    const fs::path folder = DefaultCopyFolder();
    const std::vector<ListedCopy> copies = ListCopies(folder);
    int status = 0;
    for (const ListedCopy& copy : copies) {
        console.write(request.json ? ListedCopyJson(copy) : ListedCopyText(copy));
        if (!copy.copy) status = ExitStatus(Result::Refused);
    }
    if (copies.empty() && !request.json) {
        console.write("No hay ninguna copia en " + folder.string() + ".\n");
    }
    return status;
}

// Asks every session to stop at the first signal; the second ends the
// program at once, the terminal put back first.
class StopOnSignal {
public:
    explicit StopOnSignal(std::vector<std::unique_ptr<RouterSession>>& sessions)
        : sessions_(sessions) {
        if (::pipe2(signalPipe, O_CLOEXEC) != 0) return;
        struct sigaction action {};
        action.sa_handler = onSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        ::sigaction(SIGINT, &action, &savedInt_);
        ::sigaction(SIGTERM, &action, &savedTerm_);
        watcher_ = std::thread([this] { watch(); });
    }
    ~StopOnSignal() {
        if (!watcher_.joinable()) return;
        const char quit = 'q';
        [[maybe_unused]] const ssize_t ignored = ::write(signalPipe[1], &quit, 1);
        watcher_.join();
        ::sigaction(SIGINT, &savedInt_, nullptr);
        ::sigaction(SIGTERM, &savedTerm_, nullptr);
        ::close(signalPipe[0]);
        ::close(signalPipe[1]);
    }
    StopOnSignal(const StopOnSignal&) = delete;
    StopOnSignal& operator=(const StopOnSignal&) = delete;

    const std::atomic<bool>& stopped() const { return stopped_; }

private:
    void watch() {
        for (;;) {
            char byte = 0;
            const ssize_t n = ::read(signalPipe[0], &byte, 1);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0 || byte == 'q') return;
            if (stopped_.exchange(true)) {
                Console::RestoreTerminal();
                ::_exit(ExitStatus(Result::Stopped));
            }
            for (const auto& session : sessions_) session->RequestStop();
        }
    }

    std::vector<std::unique_ptr<RouterSession>>& sessions_;
    std::atomic<bool> stopped_{false};
    struct sigaction savedInt_ {};
    struct sigaction savedTerm_ {};
    std::thread watcher_;
};

struct Checked {
    Settings settings;
    PasswordConfig passwords;
    PortSelection ports;
};

// Everything checked before a byte is sent; the exit status when refused.
std::optional<int> check(CliRequest& request, Checked& checked) {
    if (const std::string why = loadCatalogue(request, checked.settings); !why.empty()) {
        return refuseUsage(why);
    }
    checked.settings.CopyFolder = DefaultCopyFolder();
    if (request.order == Order::Restore) {
        // A copy that is not whole and ours is refused before any port is opened.
        std::variant<RouterCopy, std::string> read =
            ReadCopyFile(CopyPathFor(request.copyArgument, checked.settings.CopyFolder));
        if (const std::string* why = std::get_if<std::string>(&read)) {
            return refuseUsage(*why + " No se ha enviado nada al Router.");
        }
        request.copy = std::get<RouterCopy>(std::move(read));
        if (const std::optional<std::string> why = CheckCopyValues(*request.copy)) {
            return refuseUsage("La copia " + request.copyArgument + " " + *why +
                               ": no se ha enviado nada al Router.");
        }
    }
    // As the window's start says: the orders that need a missing command
    // say so again, with nothing sent.
    if (const std::string missing = EmptyTemplatesText(EmptyTemplates(checked.settings.catalogue));
        !missing.empty()) {
        writeTo(STDERR_FILENO, NoteText(missing));
    }
    if (request.logFolder) {
        std::error_code error;
        if (!fs::is_directory(*request.logFolder, error)) {
            return refuseUsage("--registro: la carpeta " + request.logFolder->string() +
                               " no existe.");
        }
    }
    std::string error;
    checked.passwords = ReadPasswordConfig(request.passwordFile, isTerminal(STDIN_FILENO), error);
    if (!error.empty()) return refuseUsage(error);
    if (ChangesRouter(request.order) && !request.yes && !request.dryRun &&
        !isTerminal(STDIN_FILENO)) {
        return refuseUsage(std::string(OrderName(request.order)) +
                           " cambia el Router: confírmelo con --si, o dé la orden en un terminal "
                           "para responder a la pregunta.");
    }
    if (request.ports.empty() && !request.allPorts) {
        return refuseUsage("indique el puerto del Router con -p PUERTO, o --todos.");
    }
    checked.ports = SelectPorts(request, CommandLineSystemPaths());
    if (!checked.ports.error.empty()) return refuseUsage(checked.ports.error);
    if (checked.ports.targets.empty()) {
        for (const std::string& note : checked.ports.notes) writeTo(STDERR_FILENO, NoteText(note));
        writeTo(STDERR_FILENO, NoteText("no se encontró ningún puerto serie que pueda abrirse."));
        return kNoPortStatus;
    }
    return std::nullopt;
}

// One thread a port; the highest exit status of theirs.
int runPorts(const CliRequest& request, Checked& checked) {
    const std::vector<PortTarget>& targets = checked.ports.targets;
    Console console(targets.size(), !request.json && isTerminal(STDOUT_FILENO));
    for (const std::string& note : checked.ports.notes) console.write(NoteText(note), true);

    std::vector<std::unique_ptr<RouterSession>> sessions;
    const std::string stamp = timeStamp();
    for (const PortTarget& target : targets) {
        auto session = std::make_unique<RouterSession>(checked.settings);
        if (request.logFolder) {
            session->runLog.setPath(*request.logFolder /
                                    ("Router-" + fileNamePart(target.name) + "-" + stamp + ".log"));
            session->runLog.onFailure = [&console, name = target.name](const std::string& text) {
                console.write(name + " " + text + "\n", true);
            };
        }
        sessions.push_back(std::move(session));
    }

    const StopOnSignal stop(sessions);
    std::vector<int> statuses(targets.size(), 0);
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < targets.size(); ++i) {
        threads.emplace_back([&, i] {
            CliFrontend frontend(console, i, targets[i].name, request, checked.passwords,
                                 stop.stopped());
            const PortResult result = RunOnPort(targets[i], request, *sessions[i], frontend);
            const std::vector<std::string> secrets = frontend.secrets();
            console.write(request.json ? ResultJson(result, secrets)
                                       : ResultText(result, request.dryRun, secrets));
            statuses[i] = ExitStatus(result.result);
        });
    }
    for (std::thread& thread : threads) thread.join();
    console.closeBoard();
    return *std::max_element(statuses.begin(), statuses.end());
}

}  // namespace

int RunCli(int argc, char** argv) {
    const ParsedArguments parsed = ParseArguments(std::vector<std::string>(argv + 1, argv + argc));
    switch (parsed.kind) {
        case ParsedArguments::Kind::Help:
            writeTo(STDOUT_FILENO, HelpText());
            return 0;
        case ParsedArguments::Kind::Version:
            writeTo(STDOUT_FILENO, VersionText());
            return 0;
        case ParsedArguments::Kind::Refused:
            return refuseUsage(parsed.error);
        case ParsedArguments::Kind::Run:
            break;
    }
    CliRequest request = parsed.request;
    if (request.order == Order::Ports || request.order == Order::Copies) {
        Console console(0, false);
        return request.order == Order::Ports ? listPorts(request, console)
                                             : listCopies(request, console);
    }
    Checked checked;
    if (const std::optional<int> refused = check(request, checked)) return *refused;
    return runPorts(request, checked);
}

}  // namespace cofralin::cli
