#pragma once
// The wording of the dialogs around the core's messages: which button to
// press, and the prompts the mode dialogs open with.

#include <string>
#include <string_view>

namespace cofralin {

inline constexpr std::string_view kPressOkText = "Pulse OK para continuar.";
inline constexpr std::string_view kPressCancelText = "Pulse CANCEL para continuar.";

// `message` with the line that names the one button to press: OK after a
// success, CANCEL after a failure.
inline std::string WithPressNote(std::string_view message, bool succeeded) {
    return std::string(message) + "\n" + std::string(succeeded ? kPressOkText : kPressCancelText);
}

inline constexpr std::string_view kSinglePcPromptText = "Indique los valores deseados y pulse OK";
inline constexpr std::string_view kSinglePcFailedText = "Falló el modo monopuesto.";
inline constexpr std::string_view kMultiPcPromptText =
    "Elija los valores adecuados.\nPulse OK para modo multipuesto.";

}  // namespace cofralin
