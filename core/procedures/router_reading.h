#pragma once
// Reading the router's state without changing anything: the system listing,
// the internet circuit's listing and the DHCP server's listing, each kept
// byte for byte as the router sent it, and what they say.
//
// How it works: the procedure tests the port, logs in (EnsureLogin), and
// asks for each listing in turn, each with its own drain-first wait that ends
// at a bare prompt once the listing has come; every reply of the wait, from
// the echo of its command up to and including that prompt, is kept. Then it
// leaves the command line. It sends no configuration line, not even "set
// adsl open ansi". What the listings say is derived from the kept bytes by a
// pure function, so a copy of the router taken before a change holds exactly
// what was read.
//
//   ReadingOfListings   the mode, circuit, DHCP server, mapping tables and
//                       version the listings show (pure)
//   ReadRouterState     logs in, lists, leaves

#include <array>
#include <string>

#include "frontend.h"
#include "outcome.h"

namespace cofralin {

class Operation;

// The templates a reading sends: the three listings and the exit.
extern const std::array<CatalogueKey, 4> kReadingCommands;

// Lists the system, the circuit and the DHCP server in turn, those of
// `listings` still empty, each with its own drain-first wait, every reply of
// each kept whole. False when a wait gave up (the user told).
bool ReadListings(Operation& run, RouterListings& listings);

// What the listings show. The mode is the DHCP server's ("DISABLED" is
// multi-PC and wins over "ENABLED", single-PC); a value whose label is
// missing stays unset; the mapping tables are set once the circuit was
// listed (empty when it is missing). Values are router bytes as cut.
RouterReading ReadingOfListings(const RouterListings& listings);

struct RouterStateReading {
    // How it ended (Done, PortClosed, MissingCommand, LoginFailed, NoAnswer,
    // LineLost, Stopped), what was told, read and sent.
    Outcome outcome;
    // The listings, as far as they were read.
    RouterListings listings;
};

// The whole reading, from the log-in to the exit. It starts afresh
// (KeepTrying 1, the line counter 0) and tells the progress, one step a line.
RouterStateReading ReadRouterState(RouterSession& session, Frontend& frontend);

}  // namespace cofralin
