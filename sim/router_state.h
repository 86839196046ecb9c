#pragma once
// What the simulated Q73 router holds: its configuration (running and saved)
// and where its command line stands. Plain values, copied out for tests.
//
// Addresses are kept as four octets; the router reads them in decimal whatever
// leading zeros they carry ("192.000.002.010" is 192.0.2.10, never octal) and
// prints them in its listings with three-digit octets.

#include <array>
#include <compare>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cofralin {

struct Ipv4Address {
    std::array<std::uint8_t, 4> octets{};

    friend auto operator<=>(const Ipv4Address&, const Ipv4Address&) = default;
};

// Four decimal octets of one to three digits each, 0 to 255; nothing else.
std::optional<Ipv4Address> parseIpv4(std::string_view text);
// "ddd.ddd.ddd.ddd", 15 characters: the form of the router's listings.
std::string formatPadded(const Ipv4Address& address);
Ipv4Address maskFromPrefix(int prefix);
// The prefix length of a contiguous mask; nothing for a mask with holes.
std::optional<int> prefixFromMask(const Ipv4Address& mask);

// An address with the length of its network prefix ("192.0.2.1/26").
struct AddressWithPrefix {
    Ipv4Address address;
    int prefix = 0;

    friend bool operator==(const AddressWithPrefix&, const AddressWithPrefix&) = default;
};

// "a.a.a.a/m.m.m.m" (contiguous mask) or "a.a.a.a/p" (0 to 32).
std::optional<AddressWithPrefix> parseAddressWithPrefix(std::string_view text);

enum class NatProtocol { Udp, Tcp };

// A static port mapping of the internet circuit's address translation.
struct NatMapping {
    NatProtocol protocol = NatProtocol::Udp;
    std::uint16_t publicPort = 0;
    Ipv4Address privateAddress;
    std::uint16_t privatePort = 0;

    friend bool operator==(const NatMapping&, const NatMapping&) = default;
};

// A port number, 1 to 65535, digits only.
std::optional<std::uint16_t> parsePort(std::string_view text);
// "udp|tcp:PUBLIC:ADDRESS:PRIVATE", the form of the simulator's --mapping option.
std::optional<NatMapping> parseMappingSpec(std::string_view text);

struct LanNetwork {
    AddressWithPrefix network;
    bool enabled = true;

    friend bool operator==(const LanNetwork&, const LanNetwork&) = default;
};

struct InternetVc {
    bool enabled = false;
    Ipv4Address localAddress;
    AddressWithPrefix remote;  // the remote address and its prefix
    bool natEnabled = false;
    std::optional<Ipv4Address> natDefaultAddress;
    bool defaultRoute = false;
    // Sorted by protocol, then public port; a public port is used once per protocol.
    std::vector<NatMapping> mappings;

    friend bool operator==(const InternetVc&, const InternetVc&) = default;
};

enum class DhcpMode { Server, Disabled };

struct DhcpSettings {
    DhcpMode mode = DhcpMode::Server;
    Ipv4Address start;
    Ipv4Address router;
    Ipv4Address dns;
    Ipv4Address wins;
    unsigned long leaseSeconds = 86400;

    friend bool operator==(const DhcpSettings&, const DhcpSettings&) = default;
};

// Everything "save all" copies from the running to the saved configuration.
struct RouterConfig {
    std::optional<LanNetwork> lan;
    std::optional<InternetVc> vc;
    DhcpSettings dhcp;
    std::string adslStandard;                      // "ansi" after "set adsl open ansi"
    std::map<std::string, std::string> textFiles;  // captured text, bytes as received
    std::map<std::string, std::string> filters;    // name -> the text it was built from
    std::string eth1InputFilter;                   // empty: no filter attached
    std::string atm1InputFilter;

    friend bool operator==(const RouterConfig&, const RouterConfig&) = default;
};

// Where the command line stands.
enum class CliState {
    QuickSetup,  // first start: every line asks "Quick Setup?" until "no"
    Password,    // logged out: a line is a password
    Prompt,      // logged in at "Zarn-DSL>"
    Capture,     // taking a text file until the byte 4
};

struct RouterState {
    CliState cli = CliState::Password;
    RouterConfig running;
    RouterConfig saved;
    int saveCount = 0;
    std::string version;
};

}  // namespace cofralin
