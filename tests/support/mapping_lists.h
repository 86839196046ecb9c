#pragma once
// A front end that keeps what the port-mapping dialog keeps: the traffic
// type chosen, both lists sorted as the dialog sorts them, one selection, and
// adds and deletes run as the dialog runs them.

#include <algorithm>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "port_mappings.h"
#include "scripted_frontend.h"

namespace cofralin::testing {

class MappingListsFrontend : public ScriptedFrontend {
public:
    TrafficType type = TrafficType::None;
    std::map<TrafficType, std::vector<std::string>> lists;
    std::optional<std::string> selection;
    int listClears = 0;

    void chooseUdp() { type = TrafficType::Udp; }
    void chooseTcp() { type = TrafficType::Tcp; }
    // Selects `entry` of the list of `list`; it must be listed.
    bool select(TrafficType list, const std::string& entry) {
        const std::vector<std::string>& entries = lists[list];
        if (std::find(entries.begin(), entries.end(), entry) == entries.end()) return false;
        selection = entry;
        return true;
    }

    void mappingsCleared() override {
        ScriptedFrontend::mappingsCleared();
        ++listClears;
        lists.clear();
        selection.reset();
    }
    void mappingsListed(const MappingTables& tables) override {
        ScriptedFrontend::mappingsListed(tables);
        lists[TrafficType::Udp] = sorted(tables.udp);
        lists[TrafficType::Tcp] = sorted(tables.tcp);
    }

    Ending refresh(RouterSession& session) { return RefreshMappings(session, *this, this).ending; }
    Ending add(RouterSession& session, const PortMappingTexts& texts) {
        return AddMapping(session, *this, type, texts, this).ending;
    }
    // The delete of the selected entry; as the dialog, nothing without one.
    std::optional<Ending> remove(RouterSession& session) {
        if (!selection || type == TrafficType::None) return std::nullopt;
        return DeleteMapping(session, *this, type, MappingPortText(*selection), this).ending;
    }

private:
    static std::vector<std::string> sorted(std::vector<std::string> entries) {
        std::sort(entries.begin(), entries.end());
        return entries;
    }
};

}  // namespace cofralin::testing
