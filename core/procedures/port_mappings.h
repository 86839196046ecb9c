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
//   RefreshMappings      empties both lists and fills them from the router
//   AddMapping           confirms, sends the mapping with its save, refreshes
//   DeleteMapping        confirms, sends the delete with its save, refreshes

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "configuration_lines.h"
#include "exchange.h"
#include "listing_marks.h"
#include "session_state.h"

namespace cofralin {

// Controls of the port-mapping dialog that the procedures drive.
namespace ports_ids {
inline constexpr int kDelete = 3;
inline constexpr int kPublicPort = 1018;
inline constexpr int kPrivatePort = 1019;
inline constexpr int kPrivateAddress = 1020;
inline constexpr int kUdp = 1021;
inline constexpr int kTcp = 1022;
inline constexpr int kStatus = 1023;
inline constexpr int kUdpList = 1025;
inline constexpr int kTcpList = 1026;
}  // namespace ports_ids

// The private address field before the user gives one.
inline constexpr std::string_view kNoPrivateAddress = "0.0.0.0";

// The port-mapping dialog's copy of the exchange: no bar, nothing shown by
// SendLine or DrainReply; the procedures call ShowReply themselves.
inline constexpr ExchangeDisplay kPortsDisplay{false, false, false};

// The two lists and the two traffic-type radio buttons of the port-mapping
// dialog, as the procedures use them; everything else goes through the
// dialog's router view. List entries are router bytes, kept exactly as the
// router's line gave them.
class PortLists {
public:
    virtual ~PortLists() = default;

    virtual void clearList(int id) = 0;
    virtual void addListEntry(int id, const std::string& entry) = 0;
    // The selected entry of a list, or nothing when none is selected.
    virtual std::optional<std::string> selectedListEntry(int id) = 0;
    virtual bool radioChecked(int id) = 0;
};

// What the user typed for a new mapping, as router bytes. The opening of the
// dialog resets them; the edits copy into them as they lose the focus.
struct PortMappingTexts {
    std::string PublicPortText;
    std::string PrivatePortText;
    std::string PrivateAddressText{kNoPrivateAddress};
};

struct MappingTables {
    std::vector<std::string> udp;  // in the router's order; the list sorts them
    std::vector<std::string> tcp;
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

// True when one of `entries` maps the public port of `added` to its private
// address and port (an empty private port stands for the public one),
// compared as numbers.
bool ListsMapping(const std::vector<std::string>& entries, const PortMappingTexts& added);

// True when one of `entries` has the public port `portText`, compared as a number.
bool ListsPublicPort(const std::vector<std::string>& entries, std::string_view portText);

// The traffic type that is set; UDP has no say when TCP is set.
enum class TrafficType { None, Udp, Tcp };

// The lines of an add of the mapping in `texts` for `type`, ended by a save.
// An empty private port stands for the public one.
ConfigurationLines AddMappingLines(const CommandCatalogue& catalogue, TrafficType type,
                                   const PortMappingTexts& texts);

// The lines of a delete of the mapping with public port `portText`, ended by a save.
ConfigurationLines DeleteMappingLines(const CommandCatalogue& catalogue, TrafficType type,
                                      std::string_view portText);

enum class PortsOutcome {
    Done,            // the router answered with the bare prompt at the end
    NotConfirmed,    // the user answered No; nothing was sent
    MissingInput,    // no address or no public port; nothing was sent
    NoSelection,     // no traffic type set or no entry selected; nothing was sent
    PortClosed,      // no port open; told the user
    Abandoned,       // the password prompt was cancelled
    NoAnswer,        // a wait gave up or the line was lost; told, nothing more was sent
    NotAccepted,     // the refreshed list does not show the change; told the user
    MissingCommand,  // a command template it needs is empty; told, nothing sent
};

// Empties both lists and fills them from the circuit's listing.
PortsOutcome RefreshMappings(Exchange& exchange, PortLists& lists);

// Adds the mapping typed into `texts` for the traffic type that is set. An
// empty private port stands for the public port in this add only; `texts`
// keeps what the user typed. A Yes logs in afresh (KeepTrying becomes 1). The
// outcome is the add's own; the refresh that follows a Yes has run whenever
// a port was open and nothing gave up.
PortsOutcome AddMapping(Exchange& exchange, PortLists& lists, const PortMappingTexts& texts);

// Deletes the mapping selected in the list of the traffic type that is set.
PortsOutcome DeleteMapping(Exchange& exchange, PortLists& lists);

}  // namespace cofralin
