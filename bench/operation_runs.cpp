#include "operation_runs.h"

#include <functional>
#include <memory>
#include <optional>
#include <utility>

#include "command_catalogue.h"
#include "exchange.h"
#include "procedure_table.h"
#include "q73_simulator.h"
#include "scripted_frontend.h"
#include "simulator_session.h"
#include "temp_folder.h"

#if COFRALIN_BENCH_GUI
#include <QApplication>
#include <QEvent>
#include <QPushButton>
#include <algorithm>
#include <chrono>
#include <cstdlib>

#include "event_turns.h"
#include "single_pc_dlg.h"
#endif

namespace cofralin::bench {

namespace {

using testing::ProcedureRow;
using testing::ScriptedFrontend;

// A fresh simulated router behind a counted serial line, with the shipped catalogue.
class BenchSession {
public:
    explicit BenchSession(SimulatorOptions options) : simulator_(paced(std::move(options))) {}

    // Empty on success, otherwise why the session could not start.
    std::string start() {
        if (!simulator_.start()) return "simulator: " + simulator_.error();
        if (!testing::LoadShippedCatalogue(settings_)) return "CONFIG.TXT was not loaded";
        // Every change keeps its copy of the router first, as in use.
        settings_.CopyFolder = copies_.path() / "copias";
        auto device = std::make_unique<TermiosSerialLine>();
        if (!device->open(simulator_.slavePath()).opened) {
            return "cannot open " + simulator_.slavePath();
        }
        auto counted = std::make_unique<CountingSerialLine>(std::move(device));
        line_ = counted.get();
        state.RouterPort = std::move(counted);
        state.PortName = "COM1:";
        return {};
    }

    RouterState router() const { return simulator_.snapshot(); }

    // Takes what the router is still saying off the line (the exit's answer of
    // an earlier step), so that the next timed step starts on a quiet line:
    // in use the user's pause lets it all arrive before the next operation.
    void settle() {
        ScriptedFrontend quiet;
        Exchange exchange(state, quiet, ExchangeDisplay{});
        while (exchange.DrainReply() > 0) {
        }
        state.ReplyBuffer.clear();
    }

    const CountingSerialLine& line() const { return *line_; }

private:
    testing::TempFolder copies_;
    Settings settings_;

public:
    RouterSession state{settings_};

private:
    static SimulatorOptions paced(SimulatorOptions options) {
        options.pace = true;
        return options;
    }

    Q73Simulator simulator_;
    CountingSerialLine* line_ = nullptr;
};

// The samples of one run, one per row of the operation; nothing when the
// procedure did not end as it should on a healthy router.
using Timed = std::function<std::optional<std::vector<Sample>>(BenchSession&)>;

struct Operation {
    std::vector<std::string> rows;
    SimulatorOptions options;
    Timed run;
};

SimulatorOptions atPrompt() {
    SimulatorOptions options;
    options.loggedIn = true;
    return options;
}

SimulatorOptions missingCircuit() {
    SimulatorOptions options = atPrompt();
    options.noVc = true;
    return options;
}

std::optional<std::vector<Sample>> sampleIf(bool done, const Stopwatch& watch) {
    if (!done) return std::nullopt;
    return std::vector<Sample>{watch.sample()};
}

// A row of the procedure table, run with its sample values: done, and the
// router shows it.
Timed procedureRun(const ProcedureRow& row) {
    return [&row](BenchSession& session) -> std::optional<std::vector<Sample>> {
        ScriptedFrontend frontend;
        const Stopwatch watch(session.line());
        const Outcome outcome = row.run(session.state, frontend);
        return sampleIf(outcome.done() && row.worked(session.router(), outcome), watch);
    };
}

std::optional<std::vector<Sample>> connection(BenchSession& session) {
    ScriptedFrontend frontend;
    const Stopwatch watch(session.line());
    return sampleIf(RunConnectionProcedure(session.state, frontend).done(), watch);
}

#if COFRALIN_BENCH_GUI
// Notes each turn of the event loop: a posted event that posts itself again
// is delivered once by every turn.
class TurnProbe final : public QObject {
public:
    void start() {
        last_ = std::chrono::steady_clock::now();
        longest_ = {};
        running_ = true;
        post();
    }
    std::chrono::nanoseconds stop() {
        note();
        running_ = false;
        return longest_;
    }

protected:
    bool event(QEvent* event) override {
        if (event->type() != kTurn) return QObject::event(event);
        if (running_) {
            note();
            post();
        }
        return true;
    }

private:
    static constexpr QEvent::Type kTurn = QEvent::User;
    void post() { QCoreApplication::postEvent(this, new QEvent(kTurn)); }
    void note() {
        const auto now = std::chrono::steady_clock::now();
        longest_ = std::max<std::chrono::nanoseconds>(longest_, now - last_);
        last_ = now;
    }

    std::chrono::steady_clock::time_point last_;
    std::chrono::nanoseconds longest_{};
    bool running_ = false;
};

// The same switch through the real dialog, offscreen, with the event loop
// turning while the line waits as the main window sets it up: every line sent
// and every reply is painted at once, so this shows what the repaints and the
// turns cost, and how long the window goes without one.
std::optional<std::vector<Sample>> singlePcDialog(BenchSession& session) {
    if (session.router().running.dhcp.mode != DhcpMode::Disabled) return std::nullopt;
    TurnEventLoopWhileWaiting(*session.state.RouterPort);
    CSinglePcDlg dialog(session.state);
    dialog.show();
    QCoreApplication::processEvents();
    auto* ok = dialog.findChild<QPushButton*>(QStringLiteral("idc_1"));
    if (!ok) return std::nullopt;
    TurnProbe turns;
    const Stopwatch watch(session.line());
    turns.start();
    ok->click();
    const std::chrono::nanoseconds gap = turns.stop();
    std::optional<std::vector<Sample>> taken =
        sampleIf(dialog.switchResult() == Ending::Done, watch);
    if (taken) taken->front().longestEventGap = gap;
    return taken;
}
#endif

// Notes what the run had cost when the outcome question came up.
class MessageTiming : public ScriptedFrontend {
public:
    const Stopwatch* watch = nullptr;
    std::optional<Sample> atMessage;

    bool confirm(const Message& question, Answers answers) override {
        if (watch && !atMessage) atMessage = watch->sample();
        return ScriptedFrontend::confirm(question, answers);
    }
};

std::optional<std::vector<Sample>> versionCheck(BenchSession& session) {
    MessageTiming frontend;
    // The shipped version is newer than the router's: Cancel, so nothing is handed over.
    frontend.answers = {testing::Answer::Cancel};
    const Stopwatch watch(session.line());
    frontend.watch = &watch;
    const Outcome outcome =
        UpdateRouterSoftware(session.state, frontend, ProgramSearch{"/nonexistent", ""});
    const Sample whole = watch.sample();
    if (!outcome.done() || !frontend.atMessage || frontend.messages.size() != 1) {
        return std::nullopt;
    }
    return std::vector<Sample>{*frontend.atMessage, whole};
}

std::vector<Operation> operations() {
    // Each procedure of the table on its sample router, then the variants
    // that only the benchmark times.
    std::vector<Operation> list;
    for (const ProcedureRow& row : testing::Procedures()) {
        list.push_back({{std::string(row.name)}, testing::SampleRouter(row), procedureRun(row)});
    }
    list.push_back({{"Connection, router at its prompt"}, atPrompt(), connection});
    list.push_back({{"Connection, missing circuit created"}, missingCircuit(), connection});
#if COFRALIN_BENCH_GUI
    SimulatorOptions multiPc;
    multiPc.mode = StartMode::MultiPc;
    list.push_back({{"SinglePc through the dialog offscreen"}, multiPc, singlePcDialog});
#endif
    list.push_back({{"Update, to its outcome question", "Update, whole (answered Cancel)"},
                    SimulatorOptions{},
                    versionCheck});
    return list;
}

}  // namespace

OperationReport RunOperations(int runs) {
#if COFRALIN_BENCH_GUI
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    int argc = 1;
    char name[] = "cofralin_bench";
    char* argv[] = {name, nullptr};
    QApplication application(argc, argv);
#endif
    OperationReport report;
    for (const Operation& operation : operations()) {
        std::vector<std::vector<Sample>> samples(operation.rows.size());
        for (int run = 0; run < runs; ++run) {
            BenchSession session(operation.options);
            if (const std::string error = session.start(); !error.empty()) {
                report.failures.push_back(operation.rows.front() + ": " + error);
                break;
            }
            const std::optional<std::vector<Sample>> taken = operation.run(session);
            if (!taken || taken->size() != operation.rows.size()) {
                report.failures.push_back(operation.rows.front() +
                                          ": the procedure did not end as it should");
                break;
            }
            for (std::size_t i = 0; i < taken->size(); ++i) samples[i].push_back((*taken)[i]);
        }
        for (std::size_t i = 0; i < operation.rows.size(); ++i) {
            if (!samples[i].empty()) {
                report.rows.push_back({operation.rows[i], Typical(samples[i])});
            }
        }
    }
    return report;
}

}  // namespace cofralin::bench
