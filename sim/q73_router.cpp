#include "q73_router.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <utility>

namespace cofralin {

namespace {

constexpr char kEndOfCapture = 4;

constexpr std::string_view kUnknownCommand = "Error: comando desconocido\r\n";
constexpr std::string_view kBadArgument = "Error: argumento no valido\r\n";
// The connection procedure creates the circuit when it reads "not in table".
constexpr std::string_view kVcMissing = "Error: vc internet not in table\r\n";

// Where the value of a listing line starts, counted from the label's first character.
constexpr std::size_t kDhcpValueColumn = 19;
constexpr std::size_t kVcValueColumn = 43;
constexpr std::size_t kSystemValueColumn = 42;

constexpr std::string_view kUdpTitle = "Port Address Translation, Static UDP Ports";
constexpr std::string_view kTcpTitle = "Port Address Translation, Static TCP Ports";

// The addresses of a router as it leaves the factory in each mode. Documentation
// ranges; they agree with the addresses the program gives a new circuit.
const Ipv4Address kPublicRouter{{192, 0, 2, 1}};
const Ipv4Address kPublicHost{{192, 0, 2, 10}};
const Ipv4Address kPublicRemote{{192, 0, 2, 2}};
constexpr int kPublicPrefix = 26;
const Ipv4Address kMgmtAddress{{10, 1, 1, 1}};
constexpr int kMgmtPrefix = 24;
const Ipv4Address kPrivateRouter{{172, 26, 0, 1}};
constexpr int kPrivatePrefix = 28;
const Ipv4Address kDnsServer{{198, 51, 100, 53}};
constexpr std::string_view kFactoryFilter =
    "#filter\rIP:\r1 ACCEPT src-addr=203.0.113.16/28;\r2 REJECT tcp-dst-port=23;\r"
    "3 REJECT tcp-dst-port=80;\r";

std::string lowerCase(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return lower;
}

std::vector<std::string> splitWords(std::string_view line) {
    std::vector<std::string> words;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
        const std::size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
        if (i > start) words.push_back(lowerCase(line.substr(start, i - start)));
    }
    return words;
}

// True when `words` are exactly `expected`.
bool is(const std::vector<std::string>& words, std::initializer_list<std::string_view> expected) {
    return std::equal(words.begin(), words.end(), expected.begin(), expected.end());
}

// True when `words` start with `expected`.
bool startsWith(const std::vector<std::string>& words,
                std::initializer_list<std::string_view> expected) {
    return words.size() >= expected.size() &&
           std::equal(expected.begin(), expected.end(), words.begin());
}

std::string labelLine(std::string_view label, std::size_t column, std::string_view value) {
    std::string line(label);
    if (line.size() < column) line.append(column - line.size(), ' ');
    line += value;
    line += "\r\n";
    return line;
}

std::string mappingRow(const NatMapping& mapping) {
    char row[64];
    std::snprintf(row, sizeof row, "%12u   %s%12u\r\n", unsigned{mapping.publicPort},
                  formatPadded(mapping.privateAddress).c_str(), unsigned{mapping.privatePort});
    return row;
}

bool mappingOrder(const NatMapping& a, const NatMapping& b) {
    if (a.protocol != b.protocol) return a.protocol == NatProtocol::Udp;
    return a.publicPort < b.publicPort;
}

std::optional<NatProtocol> parseProtocol(std::string_view word) {
    if (word == "udp") return NatProtocol::Udp;
    if (word == "tcp") return NatProtocol::Tcp;
    return std::nullopt;
}

std::uint32_t bitsOf(const Ipv4Address& address) {
    std::uint32_t bits = 0;
    for (const std::uint8_t octet : address.octets) bits = (bits << 8) | octet;
    return bits;
}

// A subnet of 1 to 30 prefix bits has a network and a broadcast address that
// no interface or pool can take; a shorter or longer one has none.
bool isNetworkOrBroadcast(const Ipv4Address& address, const AddressWithPrefix& subnet) {
    if (subnet.prefix < 1 || subnet.prefix > 30) return false;
    const std::uint32_t hostBits = ~bitsOf(maskFromPrefix(subnet.prefix));
    if ((bitsOf(address) & ~hostBits) != (bitsOf(subnet.address) & ~hostBits)) return false;
    const std::uint32_t host = bitsOf(address) & hostBits;
    return host == 0 || host == hostBits;
}

// A host of the subnet: inside it and neither its network nor its broadcast address.
bool isHostOf(const Ipv4Address& address, const AddressWithPrefix& subnet) {
    const std::uint32_t networkBits = bitsOf(maskFromPrefix(subnet.prefix));
    return (bitsOf(address) & networkBits) == (bitsOf(subnet.address) & networkBits) &&
           !isNetworkOrBroadcast(address, subnet);
}

std::optional<bool> parseSwitch(std::string_view word) {
    if (word == "enable") return true;
    if (word == "disable") return false;
    return std::nullopt;
}

RouterConfig factoryConfig(const SimulatorOptions& options) {
    RouterConfig config;
    config.adslStandard = "ansi";
    config.dhcp.start = kPublicHost;
    config.dhcp.router = kPublicRouter;
    config.dhcp.dns = kDnsServer;
    config.dhcp.wins = Ipv4Address{};
    config.dhcp.leaseSeconds = 86400;

    InternetVc vc;
    vc.enabled = true;
    vc.defaultRoute = true;
    if (options.mode == StartMode::SinglePc) {
        // The public subnet sits on the LAN and the PC takes its address by DHCP.
        config.lan = LanNetwork{{kPublicRouter, kPublicPrefix}, true};
        config.dhcp.mode = DhcpMode::Server;
        vc.localAddress = kMgmtAddress;
        vc.remote = {kMgmtAddress, kMgmtPrefix};
        vc.natEnabled = false;
    } else {
        // The public address sits on the circuit, translated for a private LAN.
        config.lan = LanNetwork{{kPrivateRouter, kPrivatePrefix}, true};
        config.dhcp.mode = DhcpMode::Disabled;
        vc.localAddress = kPublicHost;
        vc.remote = {kPublicRemote, kPublicPrefix};
        vc.natEnabled = true;
        config.textFiles["filtro"] = std::string(kFactoryFilter);
        config.filters["filtro"] = std::string(kFactoryFilter);
        config.atm1InputFilter = "filtro";
    }
    for (const NatMapping& mapping : options.mappings) {
        const bool taken = std::any_of(vc.mappings.begin(), vc.mappings.end(), [&](const auto& m) {
            return m.protocol == mapping.protocol && m.publicPort == mapping.publicPort;
        });
        if (!taken) vc.mappings.push_back(mapping);
    }
    std::sort(vc.mappings.begin(), vc.mappings.end(), mappingOrder);
    if (!options.noVc) config.vc = std::move(vc);
    return config;
}

}  // namespace

Q73Router::Q73Router(const SimulatorOptions& options)
    : options_(options),
      password_(options.password),
      loggedInAfterSetup_(options.loggedIn),
      echoPassword_(options.echoPassword) {
    state_.version = options.version;
    state_.running = factoryConfig(options);
    state_.saved = state_.running;
    if (options.firstStart) {
        state_.cli = CliState::QuickSetup;
    } else {
        state_.cli = options.loggedIn ? CliState::Prompt : CliState::Password;
    }
}

std::string Q73Router::feed(std::string_view bytes) {
    std::string output;
    for (const char byte : bytes) output += feedByte(byte).bytes;
    return output;
}

RouterOutput Q73Router::feedByte(char byte) {
    if (state_.cli == CliState::Capture) {
        if (byte == kEndOfCapture) {
            state_.running.textFiles[captureName_] = captureText_;
            captureText_.clear();
            state_.cli = CliState::Prompt;
            return {std::string(kRouterPrompt), true};
        }
        if (captureText_.size() < kCaptureLimit) captureText_ += byte;
        return {};
    }
    if (byte == '\r') {
        listed_ = false;
        std::string reply = endLine();
        return {std::move(reply), true, listed_};
    }
    if (byte == '\b' || byte == '\x7f') {
        if (line_.empty()) return {};
        line_.pop_back();
        return {"\b \b", false};
    }
    // Line feeds, zero bytes and other control bytes carry nothing on a command line.
    if (static_cast<unsigned char>(byte) < 0x20 && byte != '\t') return {};
    if (line_.size() >= kLineLimit) return {};
    line_ += byte;
    const bool masked = state_.cli == CliState::Password && !echoPassword_;
    return {std::string(1, masked ? '*' : byte), false};
}

std::string Q73Router::endLine() {
    const std::string line = std::move(line_);
    line_.clear();
    switch (state_.cli) {
        case CliState::QuickSetup: {
            if (is(splitWords(line), {"no"})) {
                state_.cli = loggedInAfterSetup_ ? CliState::Prompt : CliState::Password;
                return std::string(state_.cli == CliState::Prompt ? kRouterPrompt
                                                                  : kLoginIncorrect);
            }
            return std::string(kQuickSetupQuestion);
        }
        case CliState::Password:
            if (line == password_) {
                state_.cli = CliState::Prompt;
                return std::string(kRouterPrompt);
            }
            return std::string(kLoginIncorrect);
        case CliState::Capture:  // handled byte by byte
        case CliState::Prompt:
            break;
    }

    const std::vector<std::string> words = splitWords(line);
    if (words.empty()) return std::string(kRouterPrompt);
    if (const std::string* answer = answerFor(line)) {
        return "\r\n" + *answer + "\r\n" + std::string(kRouterPrompt);
    }
    if (is(words, {"exit"})) {
        state_.cli = CliState::Password;
        return "\r\nBye\r\n";
    }
    if (words.size() == 3 && is({words[0], words[1]}, {"capture", "text_file"})) {
        captureName_ = words[2];
        captureText_.clear();
        state_.cli = CliState::Capture;
        return "\r\n";
    }
    bool noPrompt = false;
    std::string reply = "\r\n" + runCommand(words, noPrompt);
    if (!noPrompt) reply += kRouterPrompt;
    return reply;
}

std::string Q73Router::runCommand(const std::vector<std::string>& words, bool& noPrompt) {
    noPrompt = false;
    const std::string& verb = words[0];
    const std::string object = words.size() > 1 ? words[1] : std::string();

    if (verb == "show") {
        listed_ = true;
        if (is(words, {"show", "dhcp", "server"})) return showDhcpServer();
        if (is(words, {"show", "vc", "internet"})) return showVcInternet();
        if (is(words, {"show", "system"})) return showSystem();
        listed_ = false;
        if (words.size() == 3 && object == "vc")
            return "Error: vc " + words[2] + " not in table\r\n";
        return std::string(kUnknownCommand);
    }
    if (is(words, {"save", "all"})) {
        state_.saved = state_.running;
        ++state_.saveCount;
        return "Configuracion guardada.\r\n";
    }
    if (is(words, {"set", "adsl", "open", "ansi"})) {
        state_.running.adslStandard = "ansi";
        return {};
    }
    if (object == "ip") return ipNetworkCommand(words);
    if (object == "vc") return vcCommand(words);
    if (object == "dhcp") return dhcpCommand(words);
    if (object == "nat") return natCommand(words);
    if (object == "filter" || object == "interface") return filterCommand(words);
    return std::string(kUnknownCommand);
}

std::string Q73Router::ipNetworkCommand(const std::vector<std::string>& words) {
    if (!startsWith(words, {words[0], "ip", "network"}) || words.size() < 4) {
        return std::string(kUnknownCommand);
    }
    if (words[3] != "lan") return "Error: network " + words[3] + " not found\r\n";
    std::optional<LanNetwork>& lan = state_.running.lan;
    const std::string& verb = words[0];

    if (verb == "add") {
        // add ip network lan address A/M [enable yes|no]
        if (words.size() < 6 || words[4] != "address") return std::string(kBadArgument);
        const auto network = parseAddressWithPrefix(words[5]);
        if (!network) return std::string(kBadArgument);
        bool enabled = true;
        if (words.size() == 8 && words[6] == "enable" && (words[7] == "yes" || words[7] == "no")) {
            enabled = words[7] == "yes";
        } else if (words.size() != 6) {
            return std::string(kBadArgument);
        }
        // A new network takes the place of the one there was.
        lan = LanNetwork{*network, enabled};
        return {};
    }
    if (words.size() != 4) return std::string(kBadArgument);
    if (verb != "enable" && verb != "disable" && verb != "delete") {
        return std::string(kUnknownCommand);
    }
    if (!lan) return "Error: network lan not found\r\n";
    if (verb == "delete") {
        lan.reset();
    } else {
        lan->enabled = verb == "enable";
    }
    return {};
}

std::string Q73Router::vcCommand(const std::vector<std::string>& words) {
    const std::string& verb = words[0];
    if (words.size() < 3) return std::string(kBadArgument);
    if (words[2] != "internet") return "Error: vc " + words[2] + " not in table\r\n";
    std::optional<InternetVc>& vc = state_.running.vc;

    if (verb == "add" && words.size() == 3) {
        if (vc) return "Error: vc internet already exists\r\n";
        // A new circuit starts disabled, without addresses or options.
        vc.emplace();
        return {};
    }
    if ((verb == "enable" || verb == "disable") && words.size() == 3) {
        if (!vc) return std::string(kVcMissing);
        vc->enabled = verb == "enable";
        return {};
    }
    if (verb != "set") return std::string(kUnknownCommand);
    if (!vc) return std::string(kVcMissing);

    if (words.size() == 5 && words[3] == "remote_ip_address") {
        const auto remote = parseAddressWithPrefix(words[4]);
        if (!remote) return std::string(kBadArgument);
        vc->remote = *remote;
        return {};
    }
    if (words.size() == 5 && words[3] == "local_ip_address") {
        const auto local = parseIpv4(words[4]);
        // Not an address one end of the circuit can have.
        if (!local || *local == Ipv4Address{} || isNetworkOrBroadcast(*local, vc->remote)) {
            return std::string(kBadArgument);
        }
        vc->localAddress = *local;
        return {};
    }
    if (words.size() == 6 && words[3] == "option") {
        const auto on = parseSwitch(words[5]);
        if (!on) return std::string(kBadArgument);
        if (words[4] == "nat") {
            vc->natEnabled = *on;
        } else if (words[4] == "default_route") {
            vc->defaultRoute = *on;
        } else {
            return std::string(kBadArgument);
        }
        return {};
    }
    if (words.size() == 6 && words[3] == "nat" && words[4] == "default_address") {
        const auto address = parseIpv4(words[5]);
        if (!address) return std::string(kBadArgument);
        vc->natDefaultAddress = *address;
        return {};
    }
    return std::string(kUnknownCommand);
}

std::string Q73Router::dhcpCommand(const std::vector<std::string>& words) {
    DhcpSettings& dhcp = state_.running.dhcp;
    if (words.size() == 4 && is({words[0], words[2]}, {"set", "mode"})) {
        if (words[3] == "server") {
            dhcp.mode = DhcpMode::Server;
        } else if (words[3] == "disable") {
            dhcp.mode = DhcpMode::Disabled;
        } else {
            return std::string(kBadArgument);
        }
        return {};
    }
    if (words.size() != 5 || !is({words[0], words[2]}, {"set", "server"})) {
        return std::string(kUnknownCommand);
    }
    const std::string& field = words[3];
    if (field == "lease_time") {
        const std::string& text = words[4];
        if (text.empty() || text.size() > 9 ||
            !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
            return std::string(kBadArgument);
        }
        dhcp.leaseSeconds = std::stoul(text);
        return {};
    }
    Ipv4Address* target = nullptr;
    if (field == "start_address") target = &dhcp.start;
    if (field == "router") target = &dhcp.router;
    if (field == "dns_address") target = &dhcp.dns;
    if (field == "wins_address") target = &dhcp.wins;
    if (!target) return std::string(kUnknownCommand);
    const auto address = parseIpv4(words[4]);
    if (!address) return std::string(kBadArgument);
    // A serving pool starts at a host of the LAN it serves.
    const std::optional<LanNetwork>& lan = state_.running.lan;
    if (target == &dhcp.start && dhcp.mode == DhcpMode::Server && lan &&
        !isHostOf(*address, lan->network)) {
        return std::string(kBadArgument);
    }
    *target = *address;
    return {};
}

std::string Q73Router::natCommand(const std::vector<std::string>& words) {
    // add|delete nat udp|tcp vc internet public_port P [private_address A private_port Q]
    const std::string& verb = words[0];
    if (verb != "add" && verb != "delete") return std::string(kUnknownCommand);
    if (words.size() < 5 || words[3] != "vc") return std::string(kBadArgument);
    const auto protocol = parseProtocol(words[2]);
    if (!protocol) return std::string(kBadArgument);
    if (words[4] != "internet") return "Error: vc " + words[4] + " not in table\r\n";
    if (!state_.running.vc) return std::string(kVcMissing);
    std::vector<NatMapping>& mappings = state_.running.vc->mappings;

    std::map<std::string, std::string> values;
    for (std::size_t i = 5; i + 1 < words.size(); i += 2) values[words[i]] = words[i + 1];
    const std::size_t pairs = verb == "add" ? 3 : 1;
    if (words.size() != 5 + 2 * pairs || values.size() != pairs || !values.count("public_port")) {
        return std::string(kBadArgument);
    }
    const auto publicPort = parsePort(values["public_port"]);
    if (!publicPort) return std::string(kBadArgument);
    const auto existing = std::find_if(mappings.begin(), mappings.end(), [&](const auto& m) {
        return m.protocol == *protocol && m.publicPort == *publicPort;
    });

    if (verb == "delete") {
        if (existing == mappings.end()) {
            return "Error: public_port " + std::to_string(*publicPort) + " not found\r\n";
        }
        mappings.erase(existing);
        return {};
    }
    const auto address = parseIpv4(values["private_address"]);
    const auto privatePort = parsePort(values["private_port"]);
    if (!address || !privatePort) return std::string(kBadArgument);
    if (existing != mappings.end()) {
        return "Error: public_port " + std::to_string(*publicPort) + " already in use\r\n";
    }
    mappings.push_back({*protocol, *publicPort, *address, *privatePort});
    std::sort(mappings.begin(), mappings.end(), mappingOrder);
    return {};
}

std::string Q73Router::filterCommand(const std::vector<std::string>& words) {
    RouterConfig& config = state_.running;
    const std::string& verb = words[0];
    if (words[1] == "interface") {
        // set interface eth:1|atm:1 input_filter [NAME]; no name takes the filter off.
        if (verb != "set" || words.size() < 4 || words.size() > 5 || words[3] != "input_filter") {
            return std::string(kUnknownCommand);
        }
        std::string* attached = nullptr;
        if (words[2] == "eth:1") attached = &config.eth1InputFilter;
        if (words[2] == "atm:1") attached = &config.atm1InputFilter;
        if (!attached) return "Error: interface " + words[2] + " not found\r\n";
        const std::string name = words.size() == 5 ? words[4] : std::string();
        if (!name.empty() && !config.filters.count(name)) {
            return "Error: filter " + name + " not found\r\n";
        }
        *attached = name;
        return {};
    }
    if (words.size() != 3) return std::string(kBadArgument);
    const std::string& name = words[2];
    if (verb == "add") {
        const auto text = config.textFiles.find(name);
        if (text == config.textFiles.end()) return "Error: text_file " + name + " not found\r\n";
        config.filters[name] = text->second;
        return {};
    }
    if (verb == "delete") {
        if (!config.filters.erase(name)) return "Error: filter " + name + " not found\r\n";
        // A deleted filter no longer guards any interface.
        if (config.eth1InputFilter == name) config.eth1InputFilter.clear();
        if (config.atm1InputFilter == name) config.atm1InputFilter.clear();
        return {};
    }
    return std::string(kUnknownCommand);
}

std::string Q73Router::listingLine(std::string_view label, std::size_t column,
                                   std::string_view value) const {
    for (const std::string& omitted : options_.omittedLabels) {
        if (omitted == label) return {};
    }
    for (const auto& [listed, given] : options_.listedValues) {
        if (listed == label) return labelLine(label, column, given);
    }
    return labelLine(label, column, value);
}

const std::string* Q73Router::answerFor(std::string_view line) const {
    const std::string typed = lowerCase(line.substr(line.find_first_not_of(" \t")));
    for (const auto& [prefix, answer] : options_.answers) {
        if (typed.starts_with(lowerCase(prefix))) return &answer;
    }
    return nullptr;
}

std::string Q73Router::showDhcpServer() const {
    const RouterConfig& config = state_.running;
    const DhcpSettings& dhcp = config.dhcp;
    const Ipv4Address mask =
        config.lan ? maskFromPrefix(config.lan->network.prefix) : Ipv4Address{};
    // ENABLED and DISABLED appear in capitals on the first line only: the program
    // tells the mode from them.
    std::string text = "DHCP Server: ";
    text += dhcp.mode == DhcpMode::Server ? "ENABLED\r\n" : "DISABLED\r\n";
    text += listingLine("IP Router:", kDhcpValueColumn, formatPadded(dhcp.router));
    text += listingLine("IP Mask:", kDhcpValueColumn, formatPadded(mask));
    text += listingLine("Start IP Address:", kDhcpValueColumn, formatPadded(dhcp.start));
    text += listingLine("Pool size:", kDhcpValueColumn, "50");
    text += listingLine("DNS Server:", kDhcpValueColumn, formatPadded(dhcp.dns));
    text += listingLine("WINS Server:", kDhcpValueColumn, formatPadded(dhcp.wins));
    text += listingLine("Lease time:", kDhcpValueColumn,
                        std::to_string(dhcp.leaseSeconds) + " seconds");
    return text;
}

std::string Q73Router::showVcInternet() const {
    if (!state_.running.vc) return std::string(kVcMissing);
    const InternetVc& vc = *state_.running.vc;
    auto onOff = [](bool on) { return on ? "enabled" : "disabled"; };
    std::string text = "VC internet\r\n";
    text += listingLine("Status:", kVcValueColumn, onOff(vc.enabled));
    text += listingLine("Encapsulation:", kVcValueColumn, "rfc1483 routed llc");
    text += listingLine("VPI/VCI:", kVcValueColumn, "8/32");
    text += listingLine("Local IP Address:", kVcValueColumn, formatPadded(vc.localAddress));
    text +=
        listingLine("Remote IP Address:", kVcValueColumn,
                    formatPadded(vc.remote.address) + "/" + std::to_string(vc.remote.prefix) + " ");
    text += listingLine("Option nat:", kVcValueColumn, onOff(vc.natEnabled));
    text += listingLine("Option default_route:", kVcValueColumn, onOff(vc.defaultRoute));
    text += listingLine("Nat default address:", kVcValueColumn,
                        vc.natDefaultAddress ? formatPadded(*vc.natDefaultAddress) : "none");
    const char* heading = " Public Port   Private Address     Private Port\r\n";
    for (const NatProtocol protocol : {NatProtocol::Udp, NatProtocol::Tcp}) {
        text += protocol == NatProtocol::Udp ? kUdpTitle : kTcpTitle;
        text += "\r\n";
        text += heading;
        for (const NatMapping& mapping : vc.mappings) {
            if (mapping.protocol == protocol) text += mappingRow(mapping);
        }
    }
    return text;
}

std::string Q73Router::showSystem() const {
    std::string text;
    text += listingLine("Model:", kSystemValueColumn, "Q73 ADSL");
    text += listingLine("System Version:", kSystemValueColumn, state_.version);
    text += listingLine("Boot loader:", kSystemValueColumn, "1.0.2");
    text += listingLine("Memory:", kSystemValueColumn, "8 MB");
    text += listingLine(
        "ADSL standard:", kSystemValueColumn,
        state_.running.adslStandard.empty() ? "multimode" : state_.running.adslStandard);
    return text;
}

}  // namespace cofralin
