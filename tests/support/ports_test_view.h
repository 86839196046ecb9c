#pragma once
// A port-mapping view for procedure tests: the scripted view plus two sorted
// lists, a selection per list and the two radio buttons.

#include <algorithm>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "port_mappings.h"
#include "scripted_view.h"

namespace cofralin::testing {

class PortsTestView : public ScriptedView, public PortLists {
public:
    std::map<int, std::vector<std::string>> lists;
    std::map<int, std::optional<std::string>> selections;
    std::map<int, bool> radios;
    int listClears = 0;

    void chooseUdp() {
        radios[ports_ids::kUdp] = true;
        radios[ports_ids::kTcp] = false;
    }
    void chooseTcp() {
        radios[ports_ids::kUdp] = false;
        radios[ports_ids::kTcp] = true;
    }
    // Selects the entry of `list` whose text is `entry`; it must be listed.
    bool select(int list, const std::string& entry) {
        const std::vector<std::string>& entries = lists[list];
        if (std::find(entries.begin(), entries.end(), entry) == entries.end()) return false;
        selections[list] = entry;
        return true;
    }

    void clearList(int id) override {
        ++listClears;
        lists[id].clear();
        selections[id].reset();
    }
    void addListEntry(int id, const std::string& entry) override {
        std::vector<std::string>& entries = lists[id];
        entries.insert(std::upper_bound(entries.begin(), entries.end(), entry), entry);
    }
    std::optional<std::string> selectedListEntry(int id) override { return selections[id]; }
    bool radioChecked(int id) override { return radios[id]; }
};

}  // namespace cofralin::testing
