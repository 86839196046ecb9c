#pragma once
// The router's 8-bit text is in the Windows Western code page (Windows-1252);
// the program's own texts and the views work in UTF-8. These two conversions
// are the only place where the two meet.
//
// Bytes 0x80 to 0x9F hold the code page's typographic characters ("€" is
// 0x80); the five bytes the code page leaves undefined (0x81, 0x8D, 0x8F,
// 0x90, 0x9D) stand for the control characters of the same number, so every
// byte survives a round trip.

#include <optional>
#include <string>
#include <string_view>

namespace cofralin {

// Router bytes as UTF-8 text for the screen.
std::string Windows1252ToUtf8(std::string_view bytes);

// Typed UTF-8 text as router bytes; a character the code page lacks, and a
// malformed UTF-8 sequence, become "?".
std::string Utf8ToWindows1252(std::string_view text);

// The same, or nothing when a character has no byte in the code page (or the
// text is not UTF-8): for typed text that must reach the router unchanged.
std::optional<std::string> Utf8ToWindows1252Exactly(std::string_view text);

}  // namespace cofralin
