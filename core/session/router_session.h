#pragma once
// One router on one serial port: the line, the port's name and device, the
// reply buffer, the count of lines sent, the log-in and mode flags, the
// typed password, the session's run log and a stop request.
//
// Threading: a session is driven by one thread at a time, the one that runs
// its procedure; nothing in it is shared with another session. Any thread may
// call RequestStop: every wait of the running procedure notices it within
// half a second and the procedure returns, sending nothing more. The
// settings are shared read-only.

#include <atomic>
#include <memory>
#include <string>

#include "run_log.h"
#include "run_options.h"
#include "serial_line.h"
#include "settings.h"

namespace cofralin {

// The mode the two flags record together: at most one of them is 1.
enum class RouterMode { Unknown, SinglePc, MultiPc };

class RouterSession {
public:
    explicit RouterSession(const Settings& settings) : settings_(settings) {}
    RouterSession(const RouterSession&) = delete;
    RouterSession& operator=(const RouterSession&) = delete;

    const Settings& settings() const { return settings_; }
    const CommandCatalogue& catalogue() const { return settings_.catalogue; }

    // The serial line; a closed line is the "no port open" state.
    std::unique_ptr<SerialLine> RouterPort;
    std::string PortName;     // "COM%d:"
    std::string PortDevice;   // the device behind PortName while it is open
    std::string PortProduct;  // the device's product and serial number, where known
    std::string PortSerial;

    std::string ReplyBuffer;  // never holds a zero byte
    int SentLineCount = 0;

    int KeepTrying = 0;
    int SinglePcActive = 0;
    int MultiPcActive = 0;
    std::string UserPassword;  // the typed password followed by CR LF

    RunLog runLog;
    // How its procedures run: a dry run sends no configuration line.
    RunOptions runOptions;
    // Set once the user has been told that the open port's device is gone.
    bool lineLossTold = false;

    bool portOpen() const { return RouterPort && RouterPort->isOpen(); }

    RouterMode mode() const {
        if (SinglePcActive == 1) return RouterMode::SinglePc;
        return MultiPcActive == 1 ? RouterMode::MultiPc : RouterMode::Unknown;
    }
    // Records `mode` in SinglePcActive and MultiPcActive.
    void SetRouterMode(RouterMode mode) {
        SinglePcActive = mode == RouterMode::SinglePc ? 1 : 0;
        MultiPcActive = mode == RouterMode::MultiPc ? 1 : 0;
    }

    // What a procedure or a dialog that starts afresh sets: KeepTrying 1, the
    // line counter 0.
    void StartAfresh() {
        KeepTrying = 1;
        SentLineCount = 0;
    }

    // Asks the running procedure, from any thread, to stop. It stays asked
    // until ClearStop: a procedure started afterwards stops at once.
    void RequestStop() { stopRequested_.store(true, std::memory_order_relaxed); }
    void ClearStop() { stopRequested_.store(false, std::memory_order_relaxed); }
    bool StopRequested() const { return stopRequested_.load(std::memory_order_relaxed); }

private:
    const Settings& settings_;
    std::atomic<bool> stopRequested_{false};
};

}  // namespace cofralin
