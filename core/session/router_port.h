#pragma once
// Opening and closing the router port of a session.

#include <string>
#include <string_view>

#include "frontend.h"
#include "router_session.h"

namespace cofralin {

// Closes any open port of the session, then opens `device` as `portName`
// ("COM%d:") at 9600 8N1 raw. A port that cannot be opened tells "No pudo
// abrirse el puerto de comunicaciones %s" (caption "Error") and leaves no port
// open; a line that refuses its settings tells "SetCommState failed with error
// %d.\n" and stays open.
bool OpenRouterPort(RouterSession& session, std::string_view portName, const std::string& device,
                    Frontend& frontend);

// Releases the session's port, if one is open.
void CloseRouterPort(RouterSession& session);

}  // namespace cofralin
