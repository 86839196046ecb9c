#pragma once
// Reading the router's refusals out of what it answered to configuration
// lines sent back to back.
//
// How it works: the router echoes each line it is sent, then answers it; a
// line of its answer that begins with "Error" is the refusal of the line
// echoed last. The replies drained by the waits that follow the lines are
// cut into the router's lines, each freed of the prompts before it; a line
// that is one of those sent marks where the answers to it begin. A refusal
// before any echo belongs to no line the router named. Refusals of lines
// that only clear an old setting (disabling or deleting what may not be
// there) do not count: what matters is that the new settings are taken.

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "command_catalogue.h"

namespace cofralin {

struct Refusal {
    std::string line;    // the line refused, without its ending; empty when no echo named it
    std::string answer;  // the router's line that refused it
};

// Every refusal in `replies` of the lines of `sent`, in order.
std::vector<Refusal> RefusalsIn(std::string_view replies, std::span<const std::string> sent);

// Whether refusing `line` leaves a setting not taken, as opposed to a line
// that only clears an old one.
bool RefusalCounts(const CommandCatalogue& catalogue, std::string_view line);

// The setting a configuration line carries, in Spanish ("la ruta por defecto").
std::string SettingOfLine(const CommandCatalogue& catalogue, std::string_view line);

// What a configuration line sets: the value it gives (an address, a
// subnet), or the whole line when it gives none.
std::string ValueOfLine(const CommandCatalogue& catalogue, std::string_view line);

// The refusals that count (see RefusalCounts).
std::vector<Refusal> CountedRefusals(const CommandCatalogue& catalogue,
                                     std::vector<Refusal> refusals);

// One Spanish line for each refusal, naming the setting and its value.
std::vector<std::string> RefusalTexts(const CommandCatalogue& catalogue,
                                      const std::vector<Refusal>& refusals);

}  // namespace cofralin
