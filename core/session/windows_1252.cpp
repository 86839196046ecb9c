#include "windows_1252.h"

#include <array>

namespace cofralin {

namespace {

// The characters of bytes 0x80 to 0x9F; the undefined ones keep their number.
constexpr std::array<char32_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 0x80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 0x88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 0x90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 0x98
};

constexpr char kUnmapped = '?';

char32_t characterOf(unsigned char byte) {
    if (byte >= 0x80 && byte < 0xA0) return kHighControls[byte - 0x80u];
    return byte;
}

void appendUtf8(std::string& text, char32_t code) {
    if (code < 0x80) {
        text.push_back(static_cast<char>(code));
    } else if (code < 0x800) {
        text.push_back(static_cast<char>(0xC0 | (code >> 6)));
        text.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
        text.push_back(static_cast<char>(0xE0 | (code >> 12)));
        text.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        text.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
}

char byteOf(char32_t code) {
    if (code < 0x80 || (code >= 0xA0 && code <= 0xFF)) return static_cast<char>(code);
    for (std::size_t i = 0; i < kHighControls.size(); ++i) {
        if (kHighControls[i] == code) return static_cast<char>(0x80 + i);
    }
    return kUnmapped;
}

// The character that starts at `at`, and how many bytes it takes; a malformed
// sequence takes one byte and reads as nothing.
struct Decoded {
    char32_t code;
    std::size_t length;
    bool valid;
};

Decoded decodeUtf8(std::string_view text, std::size_t at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    if (lead < 0x80) return {lead, 1, true};
    std::size_t length = 0;
    char32_t code = 0;
    char32_t smallest = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2;
        code = lead & 0x1Fu;
        smallest = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        code = lead & 0x0Fu;
        smallest = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        code = lead & 0x07u;
        smallest = 0x10000;
    } else {
        return {0, 1, false};
    }
    if (at + length > text.size()) return {0, 1, false};
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[at + i]);
        if ((next & 0xC0) != 0x80) return {0, 1, false};
        code = (code << 6) | (next & 0x3Fu);
    }
    // Overlong forms, surrogates and values past Unicode are not characters.
    if (code < smallest || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        return {0, 1, false};
    }
    return {code, length, true};
}

}  // namespace

std::string Windows1252ToUtf8(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size());
    for (const char c : bytes) appendUtf8(text, characterOf(static_cast<unsigned char>(c)));
    return text;
}

std::string Utf8ToWindows1252(std::string_view text) {
    std::string bytes;
    bytes.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const Decoded decoded = decodeUtf8(text, at);
        bytes.push_back(decoded.valid ? byteOf(decoded.code) : kUnmapped);
        at += decoded.length;
    }
    return bytes;
}

std::optional<std::string> Utf8ToWindows1252Exactly(std::string_view text) {
    std::string bytes;
    bytes.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const Decoded decoded = decodeUtf8(text, at);
        // "?" itself is carried; only what becomes "?" for want of a byte is not.
        if (!decoded.valid || (byteOf(decoded.code) == kUnmapped && decoded.code != '?')) {
            return std::nullopt;
        }
        bytes.push_back(byteOf(decoded.code));
        at += decoded.length;
    }
    return bytes;
}

}  // namespace cofralin
