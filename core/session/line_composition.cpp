#include "line_composition.h"

namespace cofralin {

std::string ReplaceAll(std::string_view text, std::string_view token,
                       std::string_view replacement) {
    if (token.empty()) return std::string(text);
    std::string result;
    result.reserve(text.size());
    std::size_t from = 0;
    for (std::size_t at = text.find(token); at != std::string_view::npos;
         at = text.find(token, from)) {
        result.append(text.substr(from, at - from));
        result.append(replacement);
        from = at + token.size();
    }
    result.append(text.substr(from));
    return result;
}

std::string_view Trimmed(std::string_view text) {
    constexpr std::string_view kBlanks = " \t\r\n";
    const std::size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

std::string ComposeLine(
    std::string_view value, LineEnding ending,
    std::initializer_list<std::pair<std::string_view, std::string_view>> substitutions) {
    std::string line(value);
    line += ending == LineEnding::BlankCrLf ? " \r\n" : "\r\n";
    for (const auto& [token, replacement] : substitutions) {
        line = ReplaceAll(line, token, replacement);
    }
    return line;
}

}  // namespace cofralin
