#pragma once
// Opening and closing the one router port of the session.

#include <string>
#include <string_view>

#include "messages.h"
#include "router_view.h"
#include "session_state.h"

namespace cofralin {

// Closes any open port, then opens `portName` ("COM%d:") at 9600 8N1 raw.
// A port that cannot be opened shows "No pudo abrirse el puerto de
// comunicaciones %s" (caption "Error") and leaves no port open; a line that
// refuses its settings shows "SetCommState failed with error %d.\n" and stays open.
bool OpenRouterPort(SessionState& state, std::string_view portName, RouterView& view);

// Releases the port, if one is open.
void CloseRouterPort(SessionState& state);

}  // namespace cofralin
