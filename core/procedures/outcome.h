#pragma once
// What a procedure returns: how it ended, what it read from the router, what
// it told its user and the lines it sent. The front ends turn it into their
// own controls and texts; nothing in it names a window.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "router_session.h"

namespace cofralin {

// How a procedure ended. Only Done means that it did what was asked; the
// endings before ListingIncomplete sent no configuration line.
enum class Ending {
    Done,               // it did what was asked
    NotConfirmed,       // the user answered No: nothing was sent
    InvalidValue,       // a value was refused or missing: nothing was sent
    PortClosed,         // no port open: nothing was sent
    MissingCommand,     // a command template it needs is empty: nothing was sent
    LoginFailed,        // no password the router took (the user gave none)
    NoAnswer,           // a wait gave up before any configuration line
    LineLost,           // the port's device went away before any configuration line
    Stopped,            // asked to stop before any configuration line
    CopyNotKept,        // the copy before the change could not be written: nothing configured
    ListingIncomplete,  // a listing lacked a value or held an unusable one: nothing configured
    NotAccepted,        // the router refused a change, or does not show it afterwards
    HalfConfigured,     // gave up, lost the line or was stopped after configuration lines
    HandedOver,         // the upgrade program has the line now
};

// The two static mapping tables, entries as the router's lines gave them
// (blank runs turned into tabs), in the router's order.
struct MappingTables {
    std::vector<std::string> udp;
    std::vector<std::string> tcp;

    bool operator==(const MappingTables&) const = default;
};

// What a procedure read from the router's listings, as router bytes. Only
// what the procedure listed is set.
struct RouterReading {
    RouterMode mode = RouterMode::Unknown;
    std::optional<std::string> vcLocalAddress;
    std::optional<std::string> vcRemoteSubnet;
    std::optional<bool> dhcpEnabled;
    std::optional<std::string> dhcpRouter;
    std::optional<std::string> dhcpMask;
    std::optional<std::string> dhcpStart;
    std::optional<MappingTables> mappings;
    std::optional<std::string> routerVersion;

    bool operator==(const RouterReading&) const = default;
};

// Every reply of each listing's wait, in order, as the router sent it (zero
// bytes aside, which no drain keeps). Empty for a listing not read.
struct RouterListings {
    std::string system;      // SHOW_SYSTEM
    std::string vc;          // SHOW_VC_INTERNET
    std::string dhcpServer;  // SHOW_DHCP_SERVER_SETTING

    bool operator==(const RouterListings&) const = default;
};

struct Outcome {
    Ending ending = Ending::Done;
    // What the user was told, one message a line, in order; for the
    // connection, the outcome in words.
    std::string message;
    RouterReading read;
    // Every line sent, as sent, but the nudges and the passwords.
    std::vector<std::string> sent;
    // A dry run (RunOptions): the configuration lines it would have sent, as
    // they would go out, none of them sent; empty when there was nothing to
    // send or the run was a real one.
    std::vector<std::string> planned;
    // The copy of the router kept before the change, when one was.
    std::filesystem::path copy;

    bool done() const { return ending == Ending::Done; }
};

// An outcome that ended before the router was touched.
inline Outcome EndedWith(Ending ending) {
    Outcome outcome;
    outcome.ending = ending;
    return outcome;
}

}  // namespace cofralin
