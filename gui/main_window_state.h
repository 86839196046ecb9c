#pragma once
// What the main window shows: the lit lamp, which controls are enabled and
// the radio marks. Plain C++, so the enabling rules are tested without a
// window; CMainDlg only copies a state onto its controls.

#include "router_session.h"

namespace cofralin {

// Identifiers of the main window's controls.
namespace main_ids {
inline constexpr int kLampConnected = 1008;
inline constexpr int kLampConnecting = 1010;
inline constexpr int kLampNotConnected = 1011;
}  // namespace main_ids

enum class Lamp { NotConnected, Connecting, Connected };

struct MainWindowState {
    Lamp lamp = Lamp::NotConnected;
    bool modesEnabled = false;   // 1002 and 1003
    bool portsEnabled = false;   // 1004
    bool updateEnabled = false;  // 1005
    bool singleChecked = false;  // 1002
    bool multiChecked = false;   // 1003

    bool operator==(const MainWindowState&) const = default;
};

// The identifier of the lamp bitmap that shows `lamp`.
int LampControl(Lamp lamp);

// A port was chosen: the connecting lamp, nothing else changes. It stays so
// when the port cannot be opened.
void ShowConnecting(MainWindowState& window);

// The port's device is gone and the port closed: the state after start, with
// no mode known.
void ShowLineLost(MainWindowState& window, RouterSession& session);

// After the connection dialog: `connected` is its result OK; the mode flags
// are those it left.
void ApplyConnectionOutcome(MainWindowState& window, bool connected, const RouterSession& session);

// How a mode dialog left the router, as the main window records it.
enum class SwitchOutcome {
    Switched,     // the router is in the new mode
    NotSwitched,  // the router is still in the old mode
    ModeUnknown,  // given up half-way: the router may be in neither
};

// The mode radio buttons. A click has already moved the mark to the clicked
// button. StartSwitch tells whether the mode dialog is to run (only when the other
// mode is the active one); when it is not, the mark stays where the click put
// it. When it is, the marks keep showing the recorded mode while the dialog
// runs: FinishSwitch is told how the switch ended and records the new mode and
// moves the mark, leaves the mark where it was, or records no mode at all (no
// mark, both flags 0, as after a connection that found no mode). A switch that
// did not go through never changes the mode flags. StartSwitch sets "Gestionar
// Puertos" for the mode being tried; FinishSwitch sets it for the mode recorded
// afterwards (usable in multi-PC only).
bool StartSwitch(MainWindowState& window, const RouterSession& session, RouterMode to);
void FinishSwitch(MainWindowState& window, RouterSession& session, RouterMode to,
                  SwitchOutcome outcome);

}  // namespace cofralin
