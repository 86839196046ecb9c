#pragma once
// What the cofralin-cli tests share: simulated routers named as ports, and
// what the router holds in the words of the program's output.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "cli_process.h"
#include "q73_simulator.h"

namespace cofralin::testing {

// Simulated routers, the first named "COM<first>:" and the others after it.
class Routers {
public:
    explicit Routers(std::vector<SimulatorOptions> options, int first = 1) : first_(first) {
        for (SimulatorOptions& o : options) {
            routers_.push_back(std::make_unique<Q73Simulator>(std::move(o)));
            EXPECT_TRUE(routers_.back()->start()) << routers_.back()->error();
        }
    }
    Q73Simulator& operator[](std::size_t i) { return *routers_[i]; }
    std::size_t size() const { return routers_.size(); }
    std::string name(std::size_t i) const { return "COM" + std::to_string(first_ + i) + ":"; }
    // COFRALIN_COMn for each.
    std::vector<std::pair<std::string, std::string>> environment() const {
        std::vector<std::pair<std::string, std::string>> variables;
        for (std::size_t i = 0; i < routers_.size(); ++i) {
            variables.emplace_back("COFRALIN_COM" + std::to_string(first_ + i),
                                   routers_[i]->slavePath());
        }
        return variables;
    }

private:
    int first_;
    std::vector<std::unique_ptr<Q73Simulator>> routers_;
};

inline std::string Plain(const Ipv4Address& address) {
    std::string text;
    for (const auto octet : address.octets) {
        text += (text.empty() ? "" : ".") + std::to_string(octet);
    }
    return text;
}

inline SimulatorOptions RouterIn(StartMode mode) {
    SimulatorOptions options;
    options.mode = mode;
    options.mappings = {{NatProtocol::Udp, 5060, {{192, 168, 1, 10}}, 5060}};
    return options;
}

// Every line of `text` starts with one of `names` and a blank.
inline bool EveryLineStartsWithAPort(const std::string& text,
                                     const std::vector<std::string>& names) {
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        if (end == std::string::npos) return false;  // a line cut short
        const std::string line = text.substr(start, end - start);
        bool named = false;
        for (const std::string& name : names) named = named || line.starts_with(name + " ");
        if (!named) return false;
        start = end + 1;
    }
    return true;
}

}  // namespace cofralin::testing
