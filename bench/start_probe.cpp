#include "start_probe.h"

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <vector>

#if COFRALIN_BENCH_GUI
#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QTimer>

#include "main_dlg.h"
#include "settings.h"
#endif

extern char** environ;

namespace cofralin::bench {

namespace {

// Without the window code there is nothing to start: only the entry points stay.
#if COFRALIN_BENCH_GUI
using Clock = std::chrono::steady_clock;

long long nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
        .count();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Ends the loop once the watched window's first paint event has been handled.
class FirstPaint : public QObject {
public:
    explicit FirstPaint(QEventLoop& loop) : loop_(loop) {}
    bool eventFilter(QObject* watched, QEvent* event) override {
        // quit() takes effect after this event, so the paint itself is counted.
        if (event->type() == QEvent::Paint) {
            seen = true;
            loop_.quit();
        }
        return QObject::eventFilter(watched, event);
    }
    bool seen = false;

private:
    QEventLoop& loop_;
};

// Runs one probe; false with `failure` set when it did not report.
bool runProbe(const std::string& self, StartSample& sample, std::string& failure) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) {
        failure = "pipe failed";
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    std::vector<char*> arguments{const_cast<char*>(self.c_str()),
                                 const_cast<char*>(kStartProbeArgument), nullptr};
    const long long spawned = nowNs();
    pid_t child = -1;
    const int error =
        ::posix_spawn(&child, self.c_str(), &actions, nullptr, arguments.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    std::string output;
    if (error == 0) {
        char buffer[256];
        for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;) {
            output.append(buffer, static_cast<std::size_t>(n));
        }
    }
    ::close(pipeFds[0]);
    if (error != 0) {
        failure = "the probe could not be started";
        return false;
    }
    int status = 0;
    ::waitpid(child, &status, 0);

    std::istringstream line(output);
    std::string word;
    long long appStarted = 0;
    long long painted = 0;
    long peak = 0;
    if (!(line >> word >> appStarted >> painted >> peak) || word != "probe" || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0) {
        failure = "the probe did not report: " + output;
        return false;
    }
    sample.spawnToPaintMs = static_cast<double>(painted - spawned) / 1e6;
    sample.appToPaintMs = static_cast<double>(painted - appStarted) / 1e6;
    sample.peakKiB = peak;
    return true;
}

#endif

}  // namespace

StartReport MeasureStart(const std::string& self, int runs) {
    StartReport report;
#if COFRALIN_BENCH_GUI
    report.available = true;
    // Offscreen, as the GUI tests run; the probe inherits it.
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    std::vector<StartSample> samples;
    for (int run = 0; run < runs; ++run) {
        StartSample sample;
        if (!runProbe(self, sample, report.failure)) return report;
        samples.push_back(sample);
    }
    std::vector<double> spawn;
    std::vector<double> app;
    std::vector<double> peak;
    for (const StartSample& s : samples) {
        spawn.push_back(s.spawnToPaintMs);
        app.push_back(s.appToPaintMs);
        peak.push_back(static_cast<double>(s.peakKiB));
        report.maxPeakKiB = std::max(report.maxPeakKiB, s.peakKiB);
    }
    report.runs = runs;
    report.median = {median(spawn), median(app), static_cast<long>(median(peak))};
#else
    (void)self;
    (void)runs;
#endif
    return report;
}

int RunStartProbe(int argc, char** argv) {
#if COFRALIN_BENCH_GUI
    // The program reads CONFIG.TXT from its current folder.
    if (::chdir(COFRALIN_RUN_DIR) != 0) return 3;
    const long long appStarted = nowNs();
    Settings settings;
    QApplication application(argc, argv);
    CMainDlg window(settings);
    if (!window.initialise()) return 2;
    QEventLoop loop;
    FirstPaint firstPaint(loop);
    window.installEventFilter(&firstPaint);
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    window.show();
    loop.exec();
    const long long painted = nowNs();
    if (!firstPaint.seen || !window.isVisible()) return 4;
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    std::printf("probe %lld %lld %ld\n", appStarted, painted, usage.ru_maxrss);
    return 0;
#else
    (void)argc;
    (void)argv;
    return 1;
#endif
}

}  // namespace cofralin::bench
