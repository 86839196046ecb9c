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
#include "exchange.h"
#include "login.h"

namespace cofralin {

// The addresses the connection procedure gives a newly created internet
// circuit (public documentation ranges): the LAN subnet without leading zeros,
// the DHCP pool start and default router as 15-character zero-padded addresses.
inline constexpr std::string_view kCreationLanSubnet = "192.0.2.0/26";
inline constexpr std::string_view kCreationPoolStart = "192.000.002.010";
inline constexpr std::string_view kCreationDefaultRouter = "192.000.002.001";

// Controls of the connection dialog that the procedure drives.
namespace connect_ids {
inline constexpr int kOk = 1;
inline constexpr int kCancel = 2;
inline constexpr int kProgress = 1006;
inline constexpr int kStatus = 1007;
}  // namespace connect_ids

inline constexpr std::string_view kConnectedText =
    "Conexión establecida.\nPulse OK para continuar.";
inline constexpr std::string_view kNoAnswerText =
    "El Router no responde.\nPulse CANCEL para continuar.";
inline constexpr std::string_view kWrongPasswordText =
    "La password no es correcta.\nPulse CANCEL para continuar.";
enum class ConnectionOutcome { Connected, NoAnswer, WrongPassword, LineLost, MissingCommand };

// The whole connection procedure on an open port, with the connection dialog's
// copy of the exchange (progress bar, no display of lines or replies). It
// leaves the outcome text in the status and enables the one button to press.
// A command template it may send that is empty stops it before anything is
// sent, the status naming the key.
ConnectionOutcome RunConnectionProcedure(Exchange& exchange);

// What the connection procedure sends to create the internet circuit in
// single-PC form: the circuit, its LAN and DHCP server, save and exit.
ConfigurationLines CircuitCreationLines(const CommandCatalogue& catalogue);

// The connection dialog's copy of the exchange.
inline constexpr ExchangeDisplay kConnectDisplay{true, false, false};

}  // namespace cofralin
