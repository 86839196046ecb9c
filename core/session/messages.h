#pragma once
// The captions and texts that more than one part of the program shows.

#include <string_view>

namespace cofralin {

// The title every message box of the main window carries.
inline constexpr std::string_view kApplicationTitle = "Cofralin";
// The caption of a message box that tells of a failure or a refused value.
inline constexpr std::string_view kErrorCaption = "Error";

// What an operation tells the user when a wait for the prompt gave up.
inline constexpr std::string_view kRouterSilentText = "El Router no responde.";
// Followed by the port's name.
inline constexpr std::string_view kPortClosedText = "No pudo abrirse el puerto de comunicaciones";

}  // namespace cofralin
