#include "main_window_state.h"

namespace cofralin {

namespace {

void markSingle(MainWindowState& window) {
    window.singleChecked = true;
    window.multiChecked = false;
}

void markMulti(MainWindowState& window) {
    window.singleChecked = false;
    window.multiChecked = true;
}

// "Gestionar Puertos" is usable exactly in the mode recorded after a switch,
// whether or not it went through.
void followRecordedMode(MainWindowState& window, const RouterSession& session) {
    window.portsEnabled = session.MultiPcActive == 1;
}

// A switch given up half-way: no mode is known until the next connection.
void forgetMode(MainWindowState& window, RouterSession& session) {
    session.SetRouterMode(RouterMode::Unknown);
    window.singleChecked = false;
    window.multiChecked = false;
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
        markMulti(window);
        window.portsEnabled = true;
    }
    // Single-PC leaves "Gestionar Puertos" as an earlier connection left it.
    if (session.SinglePcActive == 1) markSingle(window);
}

bool StartMultiPcSwitch(MainWindowState& window, const RouterSession& session) {
    if (session.SinglePcActive != 1) {
        markMulti(window);
        return false;
    }
    window.portsEnabled = true;
    return true;
}

void FinishMultiPcSwitch(MainWindowState& window, RouterSession& session, SwitchOutcome outcome) {
    if (outcome == SwitchOutcome::Switched) {
        session.SetRouterMode(RouterMode::MultiPc);
        markMulti(window);
    } else if (outcome == SwitchOutcome::ModeUnknown) {
        forgetMode(window, session);
    } else {
        // Not switched (given up at the password prompt, no port, no answer):
        // the mark goes back.
        markSingle(window);
    }
    followRecordedMode(window, session);
}

bool StartSinglePcSwitch(MainWindowState& window, const RouterSession& session) {
    if (session.MultiPcActive != 1) {
        markSingle(window);
        return false;
    }
    window.portsEnabled = false;
    return true;
}

void FinishSinglePcSwitch(MainWindowState& window, RouterSession& session, SwitchOutcome outcome) {
    if (outcome == SwitchOutcome::Switched) {
        session.SetRouterMode(RouterMode::SinglePc);
        markSingle(window);
    } else if (outcome == SwitchOutcome::ModeUnknown) {
        forgetMode(window, session);
    } else {
        markMulti(window);
    }
    followRecordedMode(window, session);
}

}  // namespace cofralin
