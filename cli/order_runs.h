#pragma once
// One order on one port: the port opened, the connection procedure run as
// the window runs it when a port is chosen, then the order's own procedure,
// and the result the output reports.
//
// How it works: every order that touches a router first connects (log-in,
// the internet circuit made sure of, the mode read), as the window does
// before it enables its buttons. A switch to the mode the router is already
// in, an add of a mapping the router already lists and a delete of one it
// does not list change nothing ("unchanged"); otherwise the order's
// procedure runs, asking first where the window asks. A mapping add or
// delete needs multi-PC mode, as the window's "Gestionar Puertos" does. A
// dry run (--comprobar) runs the same, with the session's dry run on: the
// outcome's planned lines are what a real run would send.

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "cli_frontend.h"
#include "cli_request.h"
#include "outcome.h"
#include "port_targets.h"
#include "router_session.h"

namespace cofralin::cli {

// How a port's run ended, as the output and the exit status name it.
enum class Result {
    Ok,
    Unchanged,
    Refused,
    Invalid,
    NoAnswer,
    LineLost,
    HalfConfigured,
    LoginFailed,
    Stopped,
    PortRefused,
};

// "ok", "unchanged", "refused", ... as the JSON output writes them.
std::string_view ResultName(Result result);
// The exit status of a port that ended so.
int ExitStatus(Result result);
// The result of a procedure that ended so.
Result ResultOf(Ending ending);

struct PortResult {
    std::string port;
    std::string device;
    Order order = Order::State;
    Result result = Result::Ok;
    std::string message;  // Spanish, one message a line
    RouterReading read;
    std::optional<std::string> shippedVersion;
    // A dry run: the lines a real run would send (empty: nothing to change).
    std::optional<std::vector<std::string>> lines;
    std::optional<std::string> copy;  // the copy of the router kept before a change
    std::chrono::milliseconds elapsed{0};
};

// Runs the request's order on `target` with `session` (a fresh one, not
// open) and `frontend`. The port is closed again at the end.
PortResult RunOnPort(const PortTarget& target, const CliRequest& request, RouterSession& session,
                     CliFrontend& frontend);

}  // namespace cofralin::cli
