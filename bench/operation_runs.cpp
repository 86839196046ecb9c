#include "operation_runs.h"

#include <functional>
#include <memory>
#include <optional>
#include <utility>

#include "command_catalogue.h"
#include "connection.h"
#include "exchange.h"
#include "login.h"
#include "multi_pc.h"
#include "port_mappings.h"
#include "ports_test_view.h"
#include "q73_simulator.h"
#include "scripted_view.h"
#include "single_pc.h"
#include "software_update.h"

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

using testing::PortsTestView;
using testing::ScriptedView;

// A fresh simulated router behind a counted serial line, with the shipped catalogue.
class BenchSession {
public:
    explicit BenchSession(SimulatorOptions options) : simulator_(paced(std::move(options))) {
        state.DefaultPassword = std::string(kBuiltInPassword);
    }

    // Empty on success, otherwise why the session could not start.
    std::string start() {
        if (!simulator_.start()) return "simulator: " + simulator_.error();
        if (LoadCommandCatalogue(state.CommandCatalogue, COFRALIN_SOURCE_DIR).status !=
            CatalogueLoadResult::Status::Loaded) {
            return "CONFIG.TXT was not loaded";
        }
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

    // Takes what the router is still saying off the line (the exit's answer of
    // an earlier step), so that the next timed step starts on a quiet line:
    // in use the user's pause lets it all arrive before the next operation.
    void settle() {
        ScriptedView quiet;
        Exchange exchange(state, quiet, ExchangeDisplay{});
        while (exchange.DrainReply() > 0) {
        }
        state.ReplyBuffer.clear();
    }

    const CountingSerialLine& line() const { return *line_; }

    SessionState state;

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

SimulatorOptions multiPc() {
    SimulatorOptions options;
    options.mode = StartMode::MultiPc;
    return options;
}

SimulatorOptions multiPcWithMappings() {
    SimulatorOptions options = multiPc();
    const auto mapping = [](NatProtocol protocol, std::uint16_t publicPort, const char* address,
                            std::uint16_t privatePort) {
        return NatMapping{protocol, publicPort, *parseIpv4(address), privatePort};
    };
    options.mappings = {mapping(NatProtocol::Udp, 5060, "192.168.1.10", 5060),
                        mapping(NatProtocol::Udp, 53, "192.168.1.11", 53),
                        mapping(NatProtocol::Tcp, 80, "192.168.1.20", 8080)};
    return options;
}

std::optional<std::vector<Sample>> sampleIf(bool done, const Stopwatch& watch) {
    if (!done) return std::nullopt;
    return std::vector<Sample>{watch.sample()};
}

std::optional<std::vector<Sample>> connection(BenchSession& session) {
    ScriptedView view;
    session.state.KeepTrying = 1;
    session.state.SentLineCount = 0;
    const Stopwatch watch(session.line());
    Exchange exchange(session.state, view, kConnectDisplay);
    return sampleIf(RunConnectionProcedure(exchange) == ConnectionOutcome::Connected, watch);
}

std::optional<std::vector<Sample>> multiPcOpening(BenchSession& session) {
    ScriptedView view;
    const Stopwatch watch(session.line());
    Exchange exchange(session.state, view, kMultiPcDisplay);
    return sampleIf(!OpenMultiPcDialog(exchange).empty(), watch);
}

std::optional<std::vector<Sample>> multiPcOk(BenchSession& session) {
    ScriptedView view;
    Exchange exchange(session.state, view, kMultiPcDisplay);
    if (OpenMultiPcDialog(exchange).empty()) return std::nullopt;
    session.settle();
    const Stopwatch watch(session.line());
    session.state.KeepTrying = 1;
    return sampleIf(RunMultiPcSwitch(exchange, MultiPcSettings{}) == ModeSwitchResult::Switched,
                    watch);
}

std::optional<std::vector<Sample>> singlePcOk(BenchSession& session) {
    ScriptedView view;
    const Stopwatch watch(session.line());
    Exchange exchange(session.state, view, kSinglePcDisplay);
    StartSinglePcDialog(exchange);
    return sampleIf(RunSinglePcSwitch(exchange, SinglePcSettings{}) == ModeSwitchResult::Switched,
                    watch);
}

std::optional<std::vector<Sample>> refresh(BenchSession& session) {
    PortsTestView view;
    const Stopwatch watch(session.line());
    Exchange exchange(session.state, view, kPortsDisplay);
    const bool done = RefreshMappings(exchange, view) == PortsOutcome::Done &&
                      view.lists[ports_ids::kUdpList].size() == 2;
    return sampleIf(done, watch);
}

std::optional<std::vector<Sample>> add(BenchSession& session) {
    PortsTestView view;
    view.chooseTcp();
    PortMappingTexts texts;
    texts.PublicPortText = "8081";
    texts.PrivatePortText = "80";
    texts.PrivateAddressText = "192.168.1.30";
    // As the dialog's opening leaves it; an add goes on from there.
    session.state.KeepTrying = 1;
    const Stopwatch watch(session.line());
    Exchange exchange(session.state, view, kPortsDisplay);
    const bool done = AddMapping(exchange, view, texts) == PortsOutcome::Done &&
                      view.lists[ports_ids::kTcpList].size() == 2;
    return sampleIf(done, watch);
}

std::optional<std::vector<Sample>> remove(BenchSession& session) {
    PortsTestView view;
    Exchange exchange(session.state, view, kPortsDisplay);
    if (RefreshMappings(exchange, view) != PortsOutcome::Done) return std::nullopt;
    session.settle();
    view.chooseUdp();
    if (!view.select(ports_ids::kUdpList, " 5060\t192.168.001.010\t5060")) return std::nullopt;
    const Stopwatch watch(session.line());
    const bool done = DeleteMapping(exchange, view) == PortsOutcome::Done &&
                      view.lists[ports_ids::kUdpList].size() == 1;
    return sampleIf(done, watch);
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
        sampleIf(dialog.switchResult() == ModeSwitchResult::Switched, watch);
    if (taken) taken->front().longestEventGap = gap;
    return taken;
}
#endif

// Notes what the run had cost when the outcome message came up.
class MessageTimingView : public ScriptedView {
public:
    const Stopwatch* watch = nullptr;
    std::optional<Sample> atMessage;

    MessageAnswer showMessage(const std::string& text, const std::string& caption,
                              MessageButtons buttons, MessageSeverity severity) override {
        if (watch && !atMessage) atMessage = watch->sample();
        return ScriptedView::showMessage(text, caption, buttons, severity);
    }
};

std::optional<std::vector<Sample>> versionCheck(BenchSession& session) {
    MessageTimingView view;
    // The shipped version is newer than the router's: Cancel, so nothing is handed over.
    view.messageAnswers = {MessageAnswer::Cancel};
    const Stopwatch watch(session.line());
    view.watch = &watch;
    const UpdateOutcome outcome =
        UpdateRouterSoftware(session.state, view, ProgramSearch{"/nonexistent", ""});
    const Sample whole = watch.sample();
    if (outcome != UpdateOutcome::Returned || !view.atMessage || view.messages.size() != 1 ||
        view.messages[0].buttons != MessageButtons::OkCancel) {
        return std::nullopt;
    }
    return std::vector<Sample>{*view.atMessage, whole};
}

std::vector<Operation> operations() {
    std::vector<Operation> list{
        {{"Connection, router at its prompt"}, atPrompt(), connection},
        {{"Connection, built-in password"}, SimulatorOptions{}, connection},
        {{"Connection, missing circuit created"}, missingCircuit(), connection},
        {{"Single → multi, dialog opening"}, SimulatorOptions{}, multiPcOpening},
        {{"Single → multi, OK"}, SimulatorOptions{}, multiPcOk},
        {{"Multi → single, OK"}, multiPc(), singlePcOk},
    };
#if COFRALIN_BENCH_GUI
    list.push_back(
        {{"Multi → single, OK, through the dialog offscreen"}, multiPc(), singlePcDialog});
#endif
    list.insert(
        list.end(),
        {
            {{"Mappings, refresh"}, multiPcWithMappings(), refresh},
            {{"Mappings, add (with its refresh)"}, multiPcWithMappings(), add},
            {{"Mappings, delete (with its refresh)"}, multiPcWithMappings(), remove},
            {{"Version check, to its outcome message", "Version check, whole (answered Cancel)"},
             SimulatorOptions{},
             versionCheck},
        });
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
