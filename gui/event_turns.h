#pragma once
// Lets the windows repaint while a procedure waits for the router.
//
// The procedures block the interface thread until they end. While a read of
// the line waits, the line's idle callback turns the event loop once: window
// system events (expose, paint, resize) are delivered, the user's input
// (clicks, keys) is dropped rather than run once the procedure has ended, and
// no timer tick and no close request is delivered during the turn, so nothing
// can start a second procedure or end a dialog in the middle of one. A turn
// that would nest inside another is skipped.

namespace cofralin {

class SerialLine;

// Installs the turn as the idle callback of `line`.
void TurnEventLoopWhileWaiting(SerialLine& line);

// One turn of the event loop as described above; what the idle callback runs.
void TurnEventLoopOnce();

}  // namespace cofralin
