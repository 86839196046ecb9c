#include "port_mappings.h"

#include <cstddef>

#include "login.h"

namespace cofralin {

namespace {

constexpr std::string_view kErrorCaption = "Error";
constexpr std::string_view kAddCaption = "Añadir Puertos";
constexpr std::string_view kDeleteCaption = "Eliminar Puertos";
constexpr std::string_view kNoAddressText = "No se indicó la dirección privada";
constexpr std::string_view kNoPublicPortText = "No se indicó el puerto público";

// The classes of the C locale, spelled out so that the process locale cannot
// change which lines count as mappings.
bool isDigit(unsigned char byte) { return byte >= '0' && byte <= '9'; }
bool isSpace(unsigned char byte) { return byte == ' ' || (byte >= '\t' && byte <= '\r'); }
bool isPunct(unsigned char byte) {
    return (byte >= '!' && byte <= '/') || (byte >= ':' && byte <= '@') ||
           (byte >= '[' && byte <= '`') || (byte >= '{' && byte <= '~');
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

void tellRouterSilent(RouterView& view) {
    view.showMessage(std::string(kRouterSilentText), std::string(kErrorCaption),
                     MessageButtons::Ok);
}

void tellPortClosed(RouterView& view) {
    view.showMessage(std::string(kPortClosedText), std::string(kErrorCaption), MessageButtons::Ok);
}

// The start every operation shares: the port tested, then the log-in.
// Done when the router's command line is open.
PortsOutcome openCommandLine(Exchange& exchange, RouterView& view) {
    if (!exchange.state().portOpen()) {
        tellPortClosed(view);
        return PortsOutcome::PortClosed;
    }
    switch (EnsureLogin(exchange, true)) {
        case LoginOutcome::LoggedIn:
            return PortsOutcome::Done;
        case LoginOutcome::Abandoned:
            return PortsOutcome::Abandoned;
        case LoginOutcome::NoAnswer:
            break;
    }
    tellRouterSilent(view);
    return PortsOutcome::NoAnswer;
}

// The wait that ends an add or a delete: drain first, show every reply.
bool awaitPromptAfterCommands(Exchange& exchange) {
    return exchange.AwaitPrompt(AwaitOrder::DrainFirst, [&exchange] { exchange.ShowReply(); });
}

// The traffic type that is set; UDP has no say when TCP is set.
enum class TrafficType { None, Udp, Tcp };

TrafficType checkedTrafficType(PortsView& view) {
    if (view.radioChecked(ports_ids::kTcp)) return TrafficType::Tcp;
    if (view.radioChecked(ports_ids::kUdp)) return TrafficType::Udp;
    return TrafficType::None;
}

// Restores the arrow cursor on every way out of an add or a delete.
class BusyCursor {
public:
    explicit BusyCursor(RouterView& view) : view_(view) { view_.setBusy(true); }
    ~BusyCursor() { view_.setBusy(false); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;

private:
    RouterView& view_;
};

}  // namespace

std::optional<std::string> TreatMappingLine(std::string_view line) {
    if (line.empty()) return std::nullopt;
    for (const char c : line) {
        const auto byte = static_cast<unsigned char>(c);
        if (!isDigit(byte) && !isPunct(byte) && !isSpace(byte)) return std::nullopt;
    }
    std::string entry(line);
    for (std::string folded = ReplaceAll(entry, "  ", " "); folded != entry;
         folded = ReplaceAll(entry, "  ", " ")) {
        entry = std::move(folded);
    }
    entry = ReplaceAll(entry, " ", "\t");
    if (entry.front() == '\t') entry.front() = ' ';
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

std::string MappingPortText(std::string_view entry) {
    const std::size_t tab = entry.find('\t', 1);
    return tab == std::string_view::npos ? std::string() : std::string(entry.substr(0, tab));
}

PortsOutcome RefreshMappings(Exchange& exchange, PortsView& view) {
    SessionState& state = exchange.state();
    state.KeepTrying = 1;
    view.clearList(ports_ids::kUdpList);
    view.clearList(ports_ids::kTcpList);
    view.enableControl(ports_ids::kDelete, false);
    state.ReplyBuffer.clear();
    if (const PortsOutcome opened = openCommandLine(exchange, view); opened != PortsOutcome::Done) {
        return opened;
    }

    exchange.SendCatalogueLine(CatalogueKey::SHOW_VC_INTERNET, LineEnding::BlankCrLf);
    // Everything from the first reply after the listing command up to and
    // including the bare prompt: the tables may arrive over several drains.
    state.ReplyBuffer.clear();
    std::string collected;
    const Exchange::Deadline deadline = exchange.startWait();
    do {
        if (deadline.passed()) {
            tellRouterSilent(view);
            return PortsOutcome::NoAnswer;
        }
        exchange.DrainReply();
        exchange.ShowReply();
        collected += state.ReplyBuffer;
        exchange.SendLine(kNudge);
    } while (!exchange.ReplyIsPrompt());
    // Its answer stays on the line for the next drain.
    exchange.SendCatalogueLine(CatalogueKey::EXIT_CLI, LineEnding::BlankCrLf);

    const MappingTables tables = ParseMappingTables(collected);
    for (const std::string& entry : tables.udp) view.addListEntry(ports_ids::kUdpList, entry);
    for (const std::string& entry : tables.tcp) view.addListEntry(ports_ids::kTcpList, entry);
    return PortsOutcome::Done;
}

PortsOutcome AddMapping(Exchange& exchange, PortsView& view, const PortMappingTexts& texts) {
    const bool noAddress = texts.PrivateAddressText == kNoPrivateAddress;
    if (texts.PublicPortText.empty() || noAddress) {
        if (noAddress) {
            view.showMessage(std::string(kNoAddressText), std::string(kErrorCaption),
                             MessageButtons::Ok);
        }
        if (texts.PublicPortText.empty()) {
            view.showMessage(std::string(kNoPublicPortText), std::string(kErrorCaption),
                             MessageButtons::Ok);
        }
        return PortsOutcome::MissingInput;
    }
    const TrafficType type = checkedTrafficType(view);
    if (type == TrafficType::None) return PortsOutcome::NoSelection;

    const std::string question = std::string("Se dispone a añadir el puerto ") +
                                 (type == TrafficType::Tcp ? "TCP" : "UDP") + " público " +
                                 Latin1ToUtf8(texts.PublicPortText) + "\n¿Está seguro?";
    if (view.showMessage(question, std::string(kAddCaption), MessageButtons::YesNo) !=
        MessageAnswer::Yes) {
        return PortsOutcome::NotConfirmed;
    }

    const BusyCursor busy(view);
    // An empty private port means the public one, for this add only: what the
    // user left empty stays empty for the next add of the same opening.
    const std::string& privatePort =
        texts.PrivatePortText.empty() ? texts.PublicPortText : texts.PrivatePortText;

    // Runs with the KeepTrying that the last operation left: after a cancelled
    // password prompt nothing is sent until the refresh logs in.
    const PortsOutcome outcome = openCommandLine(exchange, view);
    if (outcome == PortsOutcome::NoAnswer) return outcome;
    if (outcome == PortsOutcome::Done) {
        const CatalogueKey mapping =
            type == TrafficType::Tcp ? CatalogueKey::ADD_NAT_TCP : CatalogueKey::ADD_NAT_UDP;
        exchange.SendCatalogueLine(CatalogueKey::SET_ADSL_OPEN_ANSI, LineEnding::BlankCrLf);
        exchange.SendCatalogueLine(CatalogueKey::DISABLE_VC_INTERNET, LineEnding::BlankCrLf);
        exchange.SendCatalogueLine(mapping, LineEnding::BlankCrLf,
                                   {{"a.a.a.a", texts.PrivateAddressText},
                                    {"yy", privatePort},
                                    {"zz", texts.PublicPortText}});
        exchange.SendCatalogueLine(CatalogueKey::ENABLE_VC_INTERNET, LineEnding::BlankCrLf);
        exchange.SendCatalogueLine(CatalogueKey::SAVE_ALL, LineEnding::BlankCrLf);
        // The command line is left only after the bare prompt was seen: a router
        // that asks for its password after the exit never shows that prompt again.
        if (!awaitPromptAfterCommands(exchange)) {
            tellRouterSilent(view);
            return PortsOutcome::NoAnswer;
        }
        exchange.SendCatalogueLine(CatalogueKey::EXIT_CLI, LineEnding::BlankCrLf);
    }
    const PortsOutcome refreshed = RefreshMappings(exchange, view);
    return outcome == PortsOutcome::Done && refreshed == PortsOutcome::NoAnswer ? refreshed
                                                                                : outcome;
}

PortsOutcome DeleteMapping(Exchange& exchange, PortsView& view) {
    SessionState& state = exchange.state();
    const TrafficType type = checkedTrafficType(view);
    if (type == TrafficType::None) return PortsOutcome::NoSelection;
    const std::optional<std::string> selected = view.selectedListEntry(
        type == TrafficType::Tcp ? ports_ids::kTcpList : ports_ids::kUdpList);
    // Deselecting an entry also reports a selection change; with nothing
    // selected there is nothing to delete.
    if (!selected) return PortsOutcome::NoSelection;

    const std::string portText = MappingPortText(*selected);
    const char* const protocol = type == TrafficType::Tcp ? "tcp" : "udp";
    const std::string command =
        std::string("delete nat ") + protocol + " vc internet public_port " + portText + "\r\n";
    const std::string question = std::string("Se dispone a eliminar el puerto ") +
                                 (type == TrafficType::Tcp ? "TCP" : "UDP") + " público " +
                                 Latin1ToUtf8(portText) + "\n¿Está seguro?";
    if (view.showMessage(question, std::string(kDeleteCaption), MessageButtons::YesNo) !=
        MessageAnswer::Yes) {
        return PortsOutcome::NotConfirmed;
    }

    const BusyCursor busy(view);
    state.KeepTrying = 1;
    state.ReplyBuffer.clear();
    if (const PortsOutcome opened = openCommandLine(exchange, view); opened != PortsOutcome::Done) {
        return opened;
    }
    exchange.SendCatalogueLine(CatalogueKey::DISABLE_VC_INTERNET, LineEnding::BlankCrLf);
    // The command already ends its line, so the router also gets a line of one blank.
    exchange.SendLine(ComposeLine(command, LineEnding::BlankCrLf));
    exchange.SendCatalogueLine(CatalogueKey::ENABLE_VC_INTERNET, LineEnding::BlankCrLf);
    exchange.SendCatalogueLine(CatalogueKey::SAVE_ALL, LineEnding::BlankCrLf);
    if (!awaitPromptAfterCommands(exchange)) {
        tellRouterSilent(view);
        return PortsOutcome::NoAnswer;
    }
    const PortsOutcome refreshed = RefreshMappings(exchange, view);
    return refreshed == PortsOutcome::NoAnswer ? refreshed : PortsOutcome::Done;
}

}  // namespace cofralin
