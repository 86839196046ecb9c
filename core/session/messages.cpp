#include "messages.h"

#include "line_composition.h"
#include "windows_1252.h"

namespace cofralin {

namespace {

constexpr std::string_view kNothingChanged = "\nNo se ha cambiado la configuración.";

}  // namespace

std::string LineLostText(std::string_view portName) {
    return ReplaceAll(kLineLostFormat, "%s", portName);
}

std::string MissingLabelText(std::string_view label) {
    return "La respuesta del Router no contiene \"" + std::string(label) + "\"." +
           std::string(kNothingChanged);
}

std::string UnusableValueText(std::string_view what, std::string_view value) {
    return std::string(what) + " (" + Windows1252ToUtf8(value) + ") no es válida." +
           std::string(kNothingChanged);
}

std::string NotTakenText(std::string_view what, std::string_view value) {
    return "El Router no aceptó " + std::string(what) + " (" + Windows1252ToUtf8(value) + ").";
}

std::string ListedValueText(std::string_view listing, std::string_view label,
                            std::string_view value) {
    std::string shown;
    for (const char c : value) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7f) {
            shown += c;
        } else {
            static constexpr char kHex[] = "0123456789ABCDEF";
            shown += "\\x";
            shown += kHex[byte >> 4];
            shown += kHex[byte & 0xF];
        }
    }
    return "El Router dio en \"" + std::string(listing) + "\" un valor no válido para \"" +
           std::string(label) + "\": " + shown + std::string(kNothingChanged);
}

std::string MappingQuestionText(std::string_view verb, std::string_view protocol,
                                std::string_view portText) {
    return "Se dispone a " + std::string(verb) + " el puerto " + std::string(protocol) +
           " público " + Windows1252ToUtf8(portText) + "\n¿Está seguro?";
}

std::string MappingNotTakenText(std::string_view verb, std::string_view protocol,
                                std::string_view portText) {
    return "El Router no aceptó " + std::string(verb) + " el puerto " + std::string(protocol) +
           " público " + Windows1252ToUtf8(portText) + ".";
}

std::string VersionText(std::string_view format, std::string_view shipped,
                        std::string_view router) {
    std::string text(format);
    std::size_t at = text.find("%s");
    if (at == std::string::npos) return text;
    const std::string first = Windows1252ToUtf8(shipped);
    text.replace(at, 2, first);
    at = text.find("%s", at + first.size());
    if (at != std::string::npos) text.replace(at, 2, Windows1252ToUtf8(router));
    return text;
}

}  // namespace cofralin
