#include "refusals.h"

#include <algorithm>
#include <array>
#include <utility>

#include "exchange.h"
#include "line_composition.h"
#include "messages.h"

namespace cofralin {

namespace {

constexpr std::string_view kRefusalWord = "Error";
// A router line without the prompts it starts with.
std::string_view withoutPrompts(std::string_view line) {
    line = Trimmed(line);
    while (line.starts_with(kPromptWord)) line = Trimmed(line.substr(kPromptWord.size()));
    return line;
}

// The text of a template up to its first placeholder: what every line made
// from it starts with.
std::string_view fixedStart(std::string_view value) {
    std::size_t end = value.size();
    for (const std::string_view token :
         {kAddressToken, kMaskToken, kPrivatePortToken, kPublicPortToken}) {
        end = std::min(end, value.find(token));
    }
    return Trimmed(value.substr(0, end));
}

// The catalogue entry `line` was made from: the one whose fixed start is the
// longest start of the line. Nothing for the program's own fixed lines.
std::optional<CatalogueKey> keyOf(const CommandCatalogue& catalogue, std::string_view line) {
    std::optional<CatalogueKey> best;
    std::size_t bestLength = 0;
    for (std::size_t i = 0; i < kCommandTemplateCount; ++i) {
        const auto key = static_cast<CatalogueKey>(i);
        const std::string_view start = fixedStart(catalogue[key]);
        if (!start.empty() && start.size() > bestLength && line.starts_with(start)) {
            best = key;
            bestLength = start.size();
        }
    }
    return best;
}

}  // namespace

std::vector<Refusal> RefusalsIn(std::string_view replies, std::span<const std::string> sent) {
    std::vector<std::string_view> lines;
    for (const std::string& text : sent) lines.push_back(Trimmed(text));
    std::vector<Refusal> refusals;
    std::optional<std::size_t> answering;
    while (!replies.empty()) {
        const std::size_t end = replies.find('\n');
        const std::string_view routerLine = withoutPrompts(replies.substr(0, end));
        replies.remove_prefix(end == std::string_view::npos ? replies.size() : end + 1);
        if (routerLine.empty()) continue;
        // The next echo first: the same line may be sent twice.
        const std::size_t from = answering ? *answering + 1 : 0;
        auto echoed =
            std::find(lines.begin() + static_cast<std::ptrdiff_t>(std::min(from, lines.size())),
                      lines.end(), routerLine);
        if (echoed == lines.end()) echoed = std::find(lines.begin(), lines.end(), routerLine);
        if (echoed != lines.end()) {
            answering = static_cast<std::size_t>(echoed - lines.begin());
        } else if (routerLine.starts_with(kRefusalWord)) {
            refusals.push_back({answering ? std::string(lines[*answering]) : std::string(),
                                std::string(routerLine)});
        }
    }
    return refusals;
}

bool RefusalCounts(const CommandCatalogue& catalogue, std::string_view line) {
    line = Trimmed(line);
    if (line == "delete filter filtro") return false;
    const std::optional<CatalogueKey> key = keyOf(catalogue, line);
    return !key || (*key != CatalogueKey::DISABLE_IP_NETWORK_LAN &&
                    *key != CatalogueKey::DELETE_IP_NETWORK_LAN &&
                    *key != CatalogueKey::DISABLE_VC_INTERNET);
}

std::string SettingOfLine(const CommandCatalogue& catalogue, std::string_view line) {
    line = Trimmed(line);
    if (line.empty()) return "una línea de la configuración";
    if (line.starts_with("add vc internet")) return "crear el circuito de Internet";
    if (line.starts_with("delete nat")) return "eliminar la correspondencia de puertos";
    if (line.find("filter") != std::string_view::npos || line.starts_with("capture text_file")) {
        return "el filtro de entrada";
    }
    const std::optional<CatalogueKey> key = keyOf(catalogue, line);
    if (!key) return "una línea de la configuración";
    switch (*key) {
        case CatalogueKey::ADD_IP_NETWORK_LAN_ADDRESS_ENABLE_YES:
        case CatalogueKey::ENABLE_IP_NETWORK_LAN:
            return "la red local";
        case CatalogueKey::SET_DHCP_MODE_SERVER:
        case CatalogueKey::SET_DHCP_MODE_DISABLE:
            return "el modo del servidor DHCP";
        case CatalogueKey::SET_DHCP_SERVER_START:
            return "la dirección inicial del servidor DHCP";
        case CatalogueKey::SET_DHCP_SERVER_ROUTER:
            return "la puerta de enlace del servidor DHCP";
        case CatalogueKey::SET_DHCP_SERVER_DNS:
        case CatalogueKey::SET_DHCP_SERVER_WIN:
        case CatalogueKey::SET_DHCP_SERVER_LEASE:
            return "el servidor DHCP";
        case CatalogueKey::SET_VC_INTERNET_REMOTE_IP_ADDRESS:
            return "la dirección remota del circuito";
        case CatalogueKey::SET_VC_INTERNET_LOCAL_IP_ADDRESS:
            return "la dirección local del circuito";
        case CatalogueKey::SET_VC_INTERNET_NAT_OPTION_ENABLE:
        case CatalogueKey::SET_VC_INTERNET_NAT_OPTION_DISABLE:
            return "la traducción de direcciones (NAT)";
        case CatalogueKey::SET_VC_INTERNET_NAT_DEFAULT_ADDRESS:
            return "la estación por defecto";
        case CatalogueKey::SET_VC_INTERNET_DEFAULT_ROUTE_OPTION_ENABLE:
            return "la ruta por defecto";
        case CatalogueKey::ENABLE_VC_INTERNET:
            return "el circuito de Internet";
        case CatalogueKey::SAVE_ALL:
            return "guardar la configuración";
        case CatalogueKey::ADD_NAT_TCP:
        case CatalogueKey::ADD_NAT_UDP:
            return "la correspondencia de puertos";
        default:
            return "una línea de la configuración";
    }
}

std::string ValueOfLine(const CommandCatalogue& catalogue, std::string_view line) {
    line = Trimmed(line);
    if (const std::optional<CatalogueKey> key = keyOf(catalogue, line)) {
        const std::string_view value = Trimmed(line.substr(fixedStart(catalogue[*key]).size()));
        if (!value.empty()) return std::string(value);
    }
    return std::string(line);
}

std::vector<Refusal> CountedRefusals(const CommandCatalogue& catalogue,
                                     std::vector<Refusal> refusals) {
    std::erase_if(refusals, [&](const Refusal& refusal) {
        return !refusal.line.empty() && !RefusalCounts(catalogue, refusal.line);
    });
    return refusals;
}

std::vector<std::string> RefusalTexts(const CommandCatalogue& catalogue,
                                      const std::vector<Refusal>& refusals) {
    std::vector<std::string> texts;
    for (const Refusal& refusal : refusals) {
        texts.push_back(NotTakenText(
            SettingOfLine(catalogue, refusal.line),
            refusal.line.empty() ? refusal.answer : ValueOfLine(catalogue, refusal.line)));
    }
    return texts;
}

}  // namespace cofralin
