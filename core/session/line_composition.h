#pragma once
// Command lines as the router gets them: a template's placeholder tokens
// replaced by values, then its line ending.

#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>

namespace cofralin {

// The placeholders of the catalogue's command templates.
inline constexpr std::string_view kAddressToken = "a.a.a.a";
inline constexpr std::string_view kMaskToken = "m.m.m.m";
inline constexpr std::string_view kPrivatePortToken = "yy";
inline constexpr std::string_view kPublicPortToken = "zz";

// The two endings of a catalogue line.
enum class LineEnding { BlankCrLf, CrLf };

// Every occurrence of `token` in `text` replaced by `replacement`, left to right,
// over non-overlapping occurrences; replaced text is not searched again.
std::string ReplaceAll(std::string_view text, std::string_view token, std::string_view replacement);

// `text` without the blanks, tabs, CR and LF around it.
std::string_view Trimmed(std::string_view text);

// The value followed by " \r\n" or "\r\n", then each token replaced in the order given.
std::string ComposeLine(
    std::string_view value, LineEnding ending,
    std::initializer_list<std::pair<std::string_view, std::string_view>> substitutions = {});

}  // namespace cofralin
