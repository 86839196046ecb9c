#include "port_mappings.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <span>

#include "login.h"
#include "operation.h"
#include "router_copies.h"
#include "value_checks.h"

namespace cofralin {

namespace {

// What the mapping procedures tell by themselves: nothing; they show the
// replies where they want them.
constexpr ExchangeDisplay kPortsDisplay{false, false, false};

constexpr unsigned long kHighestPort = 65535;

// The command templates each operation sends; an add or a delete ends with a refresh.
constexpr std::array kRefreshCommands{CatalogueKey::SHOW_VC_INTERNET, CatalogueKey::EXIT_CLI};
constexpr std::array kDeleteCommands{CatalogueKey::DISABLE_VC_INTERNET,
                                     CatalogueKey::ENABLE_VC_INTERNET, CatalogueKey::SAVE_ALL,
                                     CatalogueKey::SHOW_VC_INTERNET, CatalogueKey::EXIT_CLI};
std::array<CatalogueKey, 7> addCommands(TrafficType type) {
    return {CatalogueKey::SET_ADSL_OPEN_ANSI,
            CatalogueKey::DISABLE_VC_INTERNET,
            type == TrafficType::Tcp ? CatalogueKey::ADD_NAT_TCP : CatalogueKey::ADD_NAT_UDP,
            CatalogueKey::ENABLE_VC_INTERNET,
            CatalogueKey::SAVE_ALL,
            CatalogueKey::SHOW_VC_INTERNET,
            CatalogueKey::EXIT_CLI};
}

// Spelled out so that the process locale cannot change which lines count as mappings.
bool isDigit(unsigned char byte) { return byte >= '0' && byte <= '9'; }

// What a mapping row is made of: port numbers, addresses with their dots,
// prefix slashes and colons, and the blanks between them. No control byte
// (CR, VT, FF...) and no dash: a row's bytes go into the delete command.
bool isRowByte(unsigned char byte) {
    return isDigit(byte) || byte == ' ' || byte == '\t' || byte == '.' || byte == '/' ||
           byte == ':';
}

// The entry's first field, as the delete takes it and without its leading
// blank, is a port number from 1 to 65535.
bool startsWithPort(std::string_view entry) {
    std::string_view field = entry.substr(0, entry.find('\t', 1));
    if (field.starts_with(' ')) field.remove_prefix(1);
    if (field.empty() || field.size() > 5) return false;
    unsigned long port = 0;
    for (const char c : field) {
        if (!isDigit(static_cast<unsigned char>(c))) return false;
        port = port * 10 + static_cast<unsigned long>(c - '0');
    }
    return port >= 1 && port <= kHighestPort;
}

// Cuts [start, end) of `collected` into lines and treats each one. A line runs
// to the next line feed, which may lie past `end`, and loses that line feed
// and the byte before it (the router's carriage return).
void parseSection(std::string_view collected, std::ptrdiff_t start, std::ptrdiff_t end,
                  std::vector<std::string>& entries) {
    const auto total = static_cast<std::ptrdiff_t>(collected.size());
    std::ptrdiff_t position = start;
    while (position < end - 2) {
        const std::size_t found = collected.find('\n', static_cast<std::size_t>(position));
        const std::ptrdiff_t lineFeed =
            found == std::string_view::npos ? end : static_cast<std::ptrdiff_t>(found);
        std::ptrdiff_t length = lineFeed - position - 1;
        if (length < 0) length = 0;
        if (position + length > total) length = total - position;
        if (const std::optional<std::string> entry = TreatMappingLine(collected.substr(
                static_cast<std::size_t>(position), static_cast<std::size_t>(length)))) {
            entries.push_back(*entry);
        }
        position = lineFeed + 1;
    }
}

// The start every operation shares: the port tested, the templates it sends,
// then the log-in. Done when the router's command line is open.
Ending openCommandLine(Operation& run, std::span<const CatalogueKey> commands) {
    if (!run.RequirePort()) return run.GaveUp();
    if (!run.RequireTemplates(commands)) return Ending::MissingCommand;
    return LoginEnding(run.LogIn(true)).value_or(Ending::Done);
}

// The wait that ends an add or a delete: drain first, show every reply. A
// give-up is told as the router's silence, but the change may be half made.
bool awaitPromptAfterCommands(Operation& run) {
    return run.AwaitPrompt(AwaitOrder::DrainFirst, [&run] { run.ShowReply(); });
}

std::string_view protocolName(TrafficType type) { return type == TrafficType::Tcp ? "TCP" : "UDP"; }
std::string protocolWord(TrafficType type) { return type == TrafficType::Tcp ? "tcp" : "udp"; }

bool confirmed(Frontend& frontend, std::string_view verb, TrafficType type,
               std::string_view portText, std::string_view caption) {
    return frontend.confirm({MappingQuestionText(verb, protocolName(type), portText),
                             std::string(caption), MessageSeverity::Notice},
                            Answers::YesNo);
}

// A port number's value, whatever zeros lead it; nothing unless it is 1 to 65535.
std::optional<unsigned long> portValue(std::string_view text) {
    while (text.size() > 1 && text.front() == '0') text.remove_prefix(1);
    if (text.empty() || text.size() > 5) return std::nullopt;
    unsigned long port = 0;
    for (const char c : text) {
        if (!isDigit(static_cast<unsigned char>(c))) return std::nullopt;
        port = port * 10 + static_cast<unsigned long>(c - '0');
    }
    if (port < 1 || port > kHighestPort) return std::nullopt;
    return port;
}

bool samePort(std::string_view a, std::string_view b) {
    const std::optional<unsigned long> x = portValue(a);
    return x && x == portValue(b);
}

std::string_view withoutLeadingBlank(std::string_view text) {
    if (text.starts_with(' ')) text.remove_prefix(1);
    return text;
}

const std::vector<std::string>& tableOf(const MappingTables& tables, TrafficType type) {
    return type == TrafficType::Tcp ? tables.tcp : tables.udp;
}

// Reads both tables from the circuit's listing into the run's reading.
Ending refresh(Operation& run, MappingEvents* events) {
    run.session().KeepTrying = 1;
    run.read().mappings.reset();
    if (events) events->mappingsCleared();
    if (const Ending opened = openCommandLine(run, kRefreshCommands); opened != Ending::Done) {
        return opened;
    }
    run.SendCatalogueLine(CatalogueKey::SHOW_VC_INTERNET, LineEnding::BlankCrLf);
    // Everything from the first reply after the listing command up to and
    // including the bare prompt: the tables may arrive over several drains.
    std::string collected;
    const bool listed = run.AwaitListing(AwaitOrder::DrainFirst, kVcListingMarks, [&] {
        run.ShowReply();
        collected += run.Reply();
    });
    if (!listed) return run.GaveUp();
    // Its answer stays on the line for the next drain.
    run.SendCatalogueLine(CatalogueKey::EXIT_CLI, LineEnding::BlankCrLf);

    run.read().mappings = ParseMappingTables(collected);
    if (events) events->mappingsListed(*run.read().mappings);
    return Ending::Done;
}

// The refusals of a mapping change: the mapping's own line as the change
// refused ("El Router no aceptó añadir el puerto ..."), any other by its setting.
std::vector<std::string> mappingRefusalTexts(Operation& run, const std::vector<Refusal>& refusals,
                                             std::string_view verb, TrafficType type,
                                             std::string_view portText) {
    std::vector<std::string> texts;
    for (const Refusal& refusal : refusals) {
        // The add's and the delete's own lines both name "nat".
        const bool mappingLine = refusal.line.find("nat ") != std::string::npos;
        texts.push_back(mappingLine ? MappingNotTakenText(verb, protocolName(type), portText)
                                    : RefusalTexts(run.catalogue(), {refusal}).front());
    }
    return texts;
}

// Says which change the refreshed lists do not show.
Ending notAccepted(Operation& run, std::string_view verb, TrafficType type,
                   std::string_view portText) {
    run.ShowError(MappingNotTakenText(verb, protocolName(type), portText));
    return Ending::NotAccepted;
}

// The add once confirmed, up to its exit.
Ending addConfirmed(Operation& run, TrafficType type, const PortMappingTexts& texts) {
    if (const Ending opened = openCommandLine(run, addCommands(type)); opened != Ending::Done) {
        return opened;
    }
    const ConfigurationLines lines = AddMappingLines(run.catalogue(), type, texts);
    if (run.DryRun()) return run.Plan(lines);
    const std::string privatePort =
        texts.PrivatePortText.empty() ? texts.PublicPortText : texts.PrivatePortText;
    if (const auto stop =
            KeepCopy(run, "mapeos alta " + protocolWord(type) + " " + texts.PublicPortText + " " +
                              texts.PrivateAddressText + " " + privatePort)) {
        return *stop;
    }
    run.SendConfiguration(lines, false);
    // The command line is left only after the bare prompt was seen: a router
    // that asks for its password after the exit never shows that prompt again.
    if (!awaitPromptAfterCommands(run)) return Ending::HalfConfigured;
    if (const std::vector<Refusal> refused = run.Refusals(); !refused.empty()) {
        return run.StopRefused(
            mappingRefusalTexts(run, refused, "añadir", type, texts.PublicPortText), {});
    }
    run.SendCatalogueLine(CatalogueKey::EXIT_CLI, LineEnding::BlankCrLf);
    return Ending::Done;
}

// The add from its checks to the check of the refreshed tables.
Ending addMapping(Operation& run, TrafficType type, const PortMappingTexts& texts,
                  MappingEvents* events) {
    Ending added = addConfirmed(run, type, texts);
    // A dry run's refresh would only find the mapping missing.
    if (run.DryRun()) return added;
    // Without a port or a command, and once it gave up, a refresh would only
    // tell the same again.
    if (added == Ending::NoAnswer || added == Ending::LineLost || added == Ending::Stopped ||
        added == Ending::HalfConfigured || added == Ending::PortClosed ||
        added == Ending::MissingCommand || added == Ending::CopyNotKept) {
        return added;
    }
    const Ending refreshed = refresh(run, events);
    if (added != Ending::Done) return added;
    if (refreshed != Ending::Done) return refreshed == Ending::LoginFailed ? added : refreshed;
    if (!ListsMapping(tableOf(*run.read().mappings, type), texts)) {
        return notAccepted(run, "añadir", type, texts.PublicPortText);
    }
    return Ending::Done;
}

// The delete once confirmed, up to the check of the refreshed tables.
Ending deleteMapping(Operation& run, TrafficType type, std::string_view portText,
                     MappingEvents* events) {
    if (const Ending opened = openCommandLine(run, kDeleteCommands); opened != Ending::Done) {
        return opened;
    }
    const ConfigurationLines lines = DeleteMappingLines(run.catalogue(), type, portText);
    if (run.DryRun()) return run.Plan(lines);
    if (const auto stop = KeepCopy(run, "mapeos baja " + protocolWord(type) + " " +
                                            std::string(withoutLeadingBlank(portText)))) {
        return *stop;
    }
    run.SendConfiguration(lines, false);
    if (!awaitPromptAfterCommands(run)) return Ending::HalfConfigured;
    const std::vector<Refusal> refused = run.Refusals();
    if (!refused.empty()) {
        run.StopRefused(
            mappingRefusalTexts(run, refused, "eliminar", type, withoutLeadingBlank(portText)), {});
    }
    const Ending refreshed = refresh(run, events);
    if (!refused.empty()) return Ending::NotAccepted;
    if (refreshed == Ending::Done &&
        ListsPublicPort(tableOf(*run.read().mappings, type), portText)) {
        return notAccepted(run, "eliminar", type, withoutLeadingBlank(portText));
    }
    return refreshed == Ending::LoginFailed ? Ending::Done : refreshed;
}

}  // namespace

std::vector<std::string_view> MappingEntryFields(std::string_view entry) {
    if (entry.starts_with(' ')) entry.remove_prefix(1);
    std::vector<std::string_view> fields;
    for (std::size_t tab = entry.find('\t'); tab != std::string_view::npos;
         tab = entry.find('\t')) {
        fields.push_back(entry.substr(0, tab));
        entry.remove_prefix(tab + 1);
    }
    fields.push_back(entry);
    return fields;
}

std::optional<std::string> TreatMappingLine(std::string_view line) {
    for (const char c : line) {
        if (!isRowByte(static_cast<unsigned char>(c))) return std::nullopt;
    }
    std::string entry(line);
    for (std::string folded = ReplaceAll(entry, "  ", " "); folded != entry;
         folded = ReplaceAll(entry, "  ", " ")) {
        entry = std::move(folded);
    }
    entry = ReplaceAll(entry, " ", "\t");
    if (entry.empty()) return std::nullopt;
    if (entry.front() == '\t') entry.front() = ' ';
    if (!startsWithPort(entry)) return std::nullopt;
    // A row without its private address cannot be told apart from another, and
    // its delete could name the wrong mapping: it is not offered.
    const std::vector<std::string_view> fields = MappingEntryFields(entry);
    if (fields.size() < 2 || fields[1].empty()) return std::nullopt;
    return entry;
}

MappingTables ParseMappingTables(std::string_view collected) {
    MappingTables tables;
    const std::size_t udp = collected.find(kUdpTableTitle);
    const std::size_t tcp = collected.find(kTcpTableTitle);
    const auto total = static_cast<std::ptrdiff_t>(collected.size());
    if (udp != std::string_view::npos) {
        const std::ptrdiff_t end =
            tcp != std::string_view::npos ? static_cast<std::ptrdiff_t>(tcp) : total;
        parseSection(collected, static_cast<std::ptrdiff_t>(udp), end, tables.udp);
    }
    if (tcp != std::string_view::npos) {
        parseSection(collected, static_cast<std::ptrdiff_t>(tcp), total, tables.tcp);
    }
    return tables;
}

bool ListsMapping(const std::vector<std::string>& entries, const PortMappingTexts& added) {
    const std::string& privatePort =
        added.PrivatePortText.empty() ? added.PublicPortText : added.PrivatePortText;
    return std::any_of(entries.begin(), entries.end(), [&](const std::string& entry) {
        const std::vector<std::string_view> fields = MappingEntryFields(entry);
        return fields.size() == 3 && samePort(fields[0], added.PublicPortText) &&
               SameAddress(fields[1], added.PrivateAddressText) && samePort(fields[2], privatePort);
    });
}

bool ListsPublicPort(const std::vector<std::string>& entries, std::string_view portText) {
    return std::any_of(entries.begin(), entries.end(), [&](const std::string& entry) {
        return samePort(MappingEntryFields(entry).front(), withoutLeadingBlank(portText));
    });
}

std::string MappingPortText(std::string_view entry) {
    const std::size_t tab = entry.find('\t', 1);
    return tab == std::string_view::npos ? std::string() : std::string(entry.substr(0, tab));
}

ConfigurationLines AddMappingLines(const CommandCatalogue& catalogue, TrafficType type,
                                   const PortMappingTexts& texts) {
    // An empty private port means the public one, for this add only: what the
    // user left empty stays empty for the next add of the same opening.
    const std::string& privatePort =
        texts.PrivatePortText.empty() ? texts.PublicPortText : texts.PrivatePortText;
    const CatalogueKey mapping =
        type == TrafficType::Tcp ? CatalogueKey::ADD_NAT_TCP : CatalogueKey::ADD_NAT_UDP;
    const auto blank = LineEnding::BlankCrLf;
    return {CatalogueLine(catalogue, CatalogueKey::SET_ADSL_OPEN_ANSI, blank),
            CatalogueLine(catalogue, CatalogueKey::DISABLE_VC_INTERNET, blank),
            CatalogueLine(catalogue, mapping, blank,
                          {{kAddressToken, texts.PrivateAddressText},
                           {kPrivatePortToken, privatePort},
                           {kPublicPortToken, texts.PublicPortText}}),
            CatalogueLine(catalogue, CatalogueKey::ENABLE_VC_INTERNET, blank),
            CatalogueLine(catalogue, CatalogueKey::SAVE_ALL, blank)};
}

ConfigurationLines DeleteMappingLines(const CommandCatalogue& catalogue, TrafficType type,
                                      std::string_view portText) {
    const std::string command = std::string("delete nat ") +
                                (type == TrafficType::Tcp ? "tcp" : "udp") +
                                " vc internet public_port " + std::string(portText) + "\r\n";
    const auto blank = LineEnding::BlankCrLf;
    // The command already ends its line, so the router also gets a line of one blank.
    return {CatalogueLine(catalogue, CatalogueKey::DISABLE_VC_INTERNET, blank),
            ComposeLine(command, blank),
            CatalogueLine(catalogue, CatalogueKey::ENABLE_VC_INTERNET, blank),
            CatalogueLine(catalogue, CatalogueKey::SAVE_ALL, blank)};
}

Outcome RefreshMappings(RouterSession& session, Frontend& frontend, MappingEvents* events) {
    Operation run(session, frontend, kPortsDisplay, RunStart{.keepTrying = true, .busy = false});
    return run.Finish(refresh(run, events));
}

Outcome AddMapping(RouterSession& session, Frontend& frontend, TrafficType type,
                   const PortMappingTexts& texts, MappingEvents* events) {
    const bool noAddress = texts.PrivateAddressText == kNoPrivateAddress;
    if (texts.PublicPortText.empty() || noAddress) {
        Operation run(session, frontend, kPortsDisplay, RunStart{.busy = false});
        if (noAddress) run.ShowError(kNoPrivateAddressText);
        if (texts.PublicPortText.empty()) run.ShowError(kNoPublicPortText);
        return run.Finish(Ending::InvalidValue);
    }
    if (type == TrafficType::None) return EndedWith(Ending::InvalidValue);
    if (!confirmed(frontend, "añadir", type, texts.PublicPortText, kAddMappingCaption)) {
        return EndedWith(Ending::NotConfirmed);
    }
    // Yes was answered: log in afresh, as the delete does, even after a
    // password not given earlier.
    Operation run(session, frontend, kPortsDisplay, RunStart{.keepTrying = true});
    return run.Finish(addMapping(run, type, texts, events));
}

Outcome DeleteMapping(RouterSession& session, Frontend& frontend, TrafficType type,
                      std::string_view portText, MappingEvents* events) {
    if (type == TrafficType::None) return EndedWith(Ending::InvalidValue);
    if (!confirmed(frontend, "eliminar", type, portText, kDeleteMappingCaption)) {
        return EndedWith(Ending::NotConfirmed);
    }
    Operation run(session, frontend, kPortsDisplay, RunStart{.keepTrying = true});
    return run.Finish(deleteMapping(run, type, portText, events));
}

}  // namespace cofralin
