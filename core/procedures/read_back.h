#pragma once
// Reading the router back at the end of a switch: what the DHCP server and the
// internet circuit list, compared with what the switch sent.
//
// How it works: once the save has been answered with the bare prompt, the
// switch lists the DHCP server, then the circuit, each with a drain-first wait
// that ends at the bare prompt once the listing has come, and collects every
// reply. Each setting it sent is looked up under its label and compared octet
// by octet as numbers, so "192.000.002.010" is "192.0.2.10"; a remote subnet
// compares its address and its prefix length, whether written with a mask or
// with a length. A setting whose label is missing or whose value differs was
// not taken: the switch tells which, still leaves the command line, and does
// not count.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "mode_switch.h"

namespace cofralin {

class Operation;

// What a switch sent that its listings must show afterwards.
struct SentSettings {
    bool dhcpServerOn = false;              // "ENABLED" after single-PC, "DISABLED" after multi-PC
    std::string vcLocalAddress;             // the circuit's local address
    std::string vcRemoteSubnet;             // the circuit's remote address/mask as sent
    std::optional<std::string> dhcpRouter;  // single-PC only
    std::optional<std::string> dhcpStart;   // single-PC only
};

// Everything each listing of the read-back drained.
struct ReadBackListings {
    std::string dhcpServer;
    std::string circuit;
};

// The same address and prefix length; each side "address/mask" or "address/length".
bool SameSubnet(std::string_view a, std::string_view b);

// One Spanish line per setting the listings do not show as sent, in the order
// of the configuration; empty when the router took them all.
std::vector<std::string> SettingsNotTaken(const SentSettings& sent, const ReadBackListings& listed);

// After the save's bare prompt: lists the DHCP server and the circuit
// (`eachReply` runs on every reply), then leaves the command line. Done
// when every setting was taken; NotAccepted, with a message naming each
// setting that was not; HalfConfigured when a listing never came (the user
// told), with nothing more sent.
Ending ReadBackAndLeave(Operation& run, const SentSettings& sent,
                        const std::function<void()>& eachReply = {});

}  // namespace cofralin
