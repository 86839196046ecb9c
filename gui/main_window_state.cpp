#include "main_window_state.h"

namespace cofralin {

namespace {

// The radio mark on `mode`'s button alone.
void mark(MainWindowState& window, RouterMode mode) {
    window.singleChecked = mode == RouterMode::SinglePc;
    window.multiChecked = mode == RouterMode::MultiPc;
}

RouterMode other(RouterMode mode) {
    return mode == RouterMode::MultiPc ? RouterMode::SinglePc : RouterMode::MultiPc;
}

// "Gestionar Puertos" is usable exactly in the mode recorded after a switch,
// whether or not it went through.
void followRecordedMode(MainWindowState& window, const RouterSession& session) {
    window.portsEnabled = session.MultiPcActive == 1;
}

// A switch given up half-way: no mode is known until the next connection.
void forgetMode(MainWindowState& window, RouterSession& session) {
    session.SetRouterMode(RouterMode::Unknown);
    mark(window, RouterMode::Unknown);
}

}  // namespace

int LampControl(Lamp lamp) {
    switch (lamp) {
        case Lamp::Connected:
            return main_ids::kLampConnected;
        case Lamp::Connecting:
            return main_ids::kLampConnecting;
        case Lamp::NotConnected:
            break;
    }
    return main_ids::kLampNotConnected;
}

void ShowConnecting(MainWindowState& window) { window.lamp = Lamp::Connecting; }

void ShowLineLost(MainWindowState& window, RouterSession& session) {
    window = MainWindowState{};
    session.SetRouterMode(RouterMode::Unknown);
}

void ApplyConnectionOutcome(MainWindowState& window, bool connected, const RouterSession& session) {
    if (!connected) {
        // The marks stay as an earlier connection left them.
        window.lamp = Lamp::NotConnected;
        window.modesEnabled = false;
        window.updateEnabled = false;
        window.portsEnabled = false;
        return;
    }
    window.lamp = Lamp::Connected;
    window.modesEnabled = true;
    window.updateEnabled = true;
    if (session.MultiPcActive == 1) {
        mark(window, RouterMode::MultiPc);
        window.portsEnabled = true;
    }
    // Single-PC leaves "Gestionar Puertos" as an earlier connection left it.
    if (session.SinglePcActive == 1) mark(window, RouterMode::SinglePc);
}

bool StartSwitch(MainWindowState& window, const RouterSession& session, RouterMode to) {
    if (session.mode() != other(to)) {
        mark(window, to);
        return false;
    }
    window.portsEnabled = to == RouterMode::MultiPc;
    return true;
}

void FinishSwitch(MainWindowState& window, RouterSession& session, RouterMode to,
                  SwitchOutcome outcome) {
    if (outcome == SwitchOutcome::Switched) {
        session.SetRouterMode(to);
        mark(window, to);
    } else if (outcome == SwitchOutcome::ModeUnknown) {
        forgetMode(window, session);
    } else {
        // Not switched (given up at the password prompt, no port, no answer):
        // the mark stays on the recorded mode.
        mark(window, other(to));
    }
    followRecordedMode(window, session);
}

}  // namespace cofralin
