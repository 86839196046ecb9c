#pragma once
// The connection procedure.
//
// How it works: it nudges the router with "\r" until a drained reply is
// exactly the prompt, answering "Quick Setup?" with "no" and "Login incorrect"
// with the built-in password first and typed passwords after; 60 near-silent
// passes in a row mean the router does not answer. Logged in, it makes sure
// the internet circuit exists (creating it in single-PC form), reads the DHCP
// server setting to tell the mode, and leaves the command line.

#include <string_view>

#include "configuration_lines.h"
#include "frontend.h"
#include "outcome.h"

namespace cofralin {

// The addresses the connection procedure gives a newly created internet
// circuit (public documentation ranges): the LAN subnet without leading zeros,
// the DHCP pool start and default router as 15-character zero-padded addresses.
inline constexpr std::string_view kCreationLanSubnet = "192.0.2.0/26";
inline constexpr std::string_view kCreationPoolStart = "192.000.002.010";
inline constexpr std::string_view kCreationDefaultRouter = "192.000.002.001";

// What a connection starts from: KeepTrying 1, the line counter 0, no mode
// known. The procedure starts so; a front end may show so before it runs.
void PrepareConnection(RouterSession& session);

// The whole connection procedure on an open port. It tells the progress (one
// step a line sent) and nothing else on its way; the outcome's message is
// the outcome in words: connected, no answer, the password refused, the line
// lost or a command template missing (Done, NoAnswer, LoginFailed, LineLost,
// Stopped, MissingCommand). The mode found is in the session's flags and in
// the outcome; a failure leaves no mode. In a dry run (RunOptions) a missing
// circuit is not created: its creation lines are the outcome's planned lines,
// and the mode is the single-PC mode the creation would leave.
Outcome RunConnectionProcedure(RouterSession& session, Frontend& frontend);

// What the connection procedure sends to create the internet circuit in
// single-PC form: the circuit, its LAN and DHCP server, save and exit.
ConfigurationLines VcCreationLines(const CommandCatalogue& catalogue);

}  // namespace cofralin
