#pragma once
// The static port mappings of the internet circuit: reading both tables from
// the circuit's listing, adding a mapping and deleting one.
//
// How it works: each operation tests the port, logs in (EnsureLogin, showing
// every reply), writes its commands back to back and then drains until a
// reply is exactly the bare prompt. The refresh collects every reply from the
// listing command up to and including that prompt and cuts the UDP table (from
// its title to the TCP title) and the TCP table (from its title to the end)
// into lines; a line of port numbers, addresses and blanks that starts with a
// port is a mapping, with its blank runs turned into tabs. Adds and deletes refresh the
// lists afterwards and tell the user when the refreshed list does not show the change. Every wait
// gives up after the session's wait limit; the user is then told that the router does not answer
// and nothing more is sent.
//
//   ParseMappingTables   the two tables of a collected listing (pure)
//   TreatMappingLine     one listing line as a list entry, or nothing
//   MappingPortText      the public port of a list entry, as the delete sends it
//   RefreshMappings      reads both tables from the router
//   AddMapping           confirms, sends the mapping with its save, refreshes
//   DeleteMapping        confirms, sends the delete with its save, refreshes

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "configuration_lines.h"
#include "frontend.h"
#include "listing_marks.h"
#include "outcome.h"

namespace cofralin {

// The private address field before the user gives one.
inline constexpr std::string_view kNoPrivateAddress = "0.0.0.0";

// What the procedures tell of the tables they read, in step with their
// messages, for a front end that shows them as lists.
class MappingEvents {
public:
    virtual ~MappingEvents() = default;
    // The tables are about to be read again: what was shown no longer holds.
    virtual void mappingsCleared() = 0;
    // The tables as the router listed them.
    virtual void mappingsListed(const MappingTables& tables) = 0;
};

// What the user typed for a new mapping, as router bytes; the front end
// fills them as the user types them.
struct PortMappingTexts {
    std::string PublicPortText;
    std::string PrivatePortText;
    std::string PrivateAddressText{kNoPrivateAddress};
};

// One line of the listing as a list entry: nothing unless it holds only digits,
// blanks (space, tab) and the punctuation of addresses (".", "/", ":") and its
// first field is a port number from 1 to 65535; otherwise blank runs become
// one tab each, except a leading run, which becomes a blank.
std::optional<std::string> TreatMappingLine(std::string_view line);

// Both mapping tables of everything collected after the listing command. A
// table whose title is missing stays empty.
MappingTables ParseMappingTables(std::string_view collected);

// The entry up to its first tab at position 1 or later; empty when it has none.
std::string MappingPortText(std::string_view entry);

// The fields of a list entry, its leading blank left out: public port,
// private address, private port.
std::vector<std::string_view> MappingEntryFields(std::string_view entry);

// True when one of `entries` maps the public port of `added` to its private
// address and port (an empty private port stands for the public one),
// compared as numbers.
bool ListsMapping(const std::vector<std::string>& entries, const PortMappingTexts& added);

// True when one of `entries` has the public port `portText`, compared as a number.
bool ListsPublicPort(const std::vector<std::string>& entries, std::string_view portText);

// The traffic type of a mapping; None when the user chose none.
enum class TrafficType { None, Udp, Tcp };

// The lines of an add of the mapping in `texts` for `type`, ended by a save.
// An empty private port stands for the public one.
ConfigurationLines AddMappingLines(const CommandCatalogue& catalogue, TrafficType type,
                                   const PortMappingTexts& texts);

// The lines of a delete of the mapping with public port `portText`, ended by a save.
ConfigurationLines DeleteMappingLines(const CommandCatalogue& catalogue, TrafficType type,
                                      std::string_view portText);

// Reads both tables from the circuit's listing (the outcome's mappings).
Outcome RefreshMappings(RouterSession& session, Frontend& frontend,
                        MappingEvents* events = nullptr);

// Adds the mapping in `texts` for `type` after the user confirmed it, then
// reads the tables again and checks that they show it (NotAccepted, told,
// when they do not). An empty private port stands for the public port in
// this add only. A missing address or public port is told and nothing is
// sent (InvalidValue), as is a missing traffic type (told nothing). A Yes
// logs in afresh (KeepTrying becomes 1).
Outcome AddMapping(RouterSession& session, Frontend& frontend, TrafficType type,
                   const PortMappingTexts& texts, MappingEvents* events = nullptr);

// Deletes the mapping of `type` whose public port the delete names as
// `portText` (MappingPortText of a list entry), after the user confirmed it,
// then reads the tables again and checks that they no longer show it.
Outcome DeleteMapping(RouterSession& session, Frontend& frontend, TrafficType type,
                      std::string_view portText, MappingEvents* events = nullptr);

}  // namespace cofralin
