#pragma once
// The Spanish texts the core tells its user, whichever front end shows them.
// The windows add their own wording around them ("Pulse OK para
// continuar."); the command line prints them as they are.

#include <string>
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
// When the device of the port is gone (the adapter unplugged): the port's
// name in place of %s.
inline constexpr std::string_view kLineLostFormat = "Se perdió la conexión con el puerto %s.";
std::string LineLostText(std::string_view portName);
// When the session was asked to stop.
inline constexpr std::string_view kStoppedText =
    "Operación detenida a petición del usuario: no se ha enviado nada más al Router.";

// A typed password with a character the router's code page cannot carry.
inline constexpr std::string_view kPasswordNotCarriedText =
    "La password contiene caracteres que el Router no admite; escríbala de nuevo "
    "con letras, cifras y signos del alfabeto latino.";

// The outcomes of the connection procedure.
inline constexpr std::string_view kConnectedText = "Conexión establecida.";
inline constexpr std::string_view kWrongPasswordText = "La password no es correcta.";

// Added to a missing template's name when nothing was sent.
inline constexpr std::string_view kNothingSentText = "No se ha enviado nada al Router.";

// A mode switch that gave up half-way.
inline constexpr std::string_view kHalfConfiguredText =
    "El Router puede haber quedado configurado a medias: conecte de nuevo.";
// The last lines of the message of a switch that stopped at a refusal or a
// read-back difference: lines have gone out, so the router's mode is no
// longer known.
inline constexpr std::string_view kSwitchNotDoneHalfText =
    "El cambio de modo no se ha completado.\n"
    "El Router puede haber quedado configurado a medias: conecte de nuevo.";
// A switch that stopped before configuring anything.
std::string MissingLabelText(std::string_view label);
std::string UnusableValueText(std::string_view what, std::string_view value);
// "El Router no aceptó <what> (<value>)."
std::string NotTakenText(std::string_view what, std::string_view value);
// A value a listing gave that no setting may take: the listing, the label
// and the value, its bytes that are no printable text shown as \xNN.
std::string ListedValueText(std::string_view listing, std::string_view label,
                            std::string_view value);

// The port mappings.
inline constexpr std::string_view kAddMappingCaption = "Añadir Puertos";
inline constexpr std::string_view kDeleteMappingCaption = "Eliminar Puertos";
inline constexpr std::string_view kNoPrivateAddressText = "No se indicó la dirección privada";
inline constexpr std::string_view kNoPublicPortText = "No se indicó el puerto público";
// "Se dispone a <verb> el puerto <UDP|TCP> público <port>\n¿Está seguro?"
std::string MappingQuestionText(std::string_view verb, std::string_view protocol,
                                std::string_view portText);
// "El Router no aceptó <verb> el puerto <UDP|TCP> público <port>."
std::string MappingNotTakenText(std::string_view verb, std::string_view protocol,
                                std::string_view portText);

// The software update: the shipped version in the first %s, the router's in
// the second.
inline constexpr std::string_view kUpdateCaption = "Actualización";
inline constexpr std::string_view kRouterNewerText =
    "La versión actual del software (%s)\nes más antigua que la que tiene instalada el Router Q73 "
    "(%s).\nNo se puede Actualizar.";
inline constexpr std::string_view kSameVersionText =
    "La versión actual del software (%s)\nes la misma que la que tiene instalada el Router Q73 "
    "(%s).\nNo es necesaria la actualización.";
inline constexpr std::string_view kShippedNewerText =
    "La versión actual del software (%s)\nes más nueva que la que tiene instalada el Router Q73 "
    "(%s).\nResponda ACEPTAR y apague y vuelva a encender el Router para que se produzca la "
    "actualización.";
inline constexpr std::string_view kVersionUnreadText =
    "No pudo leerse la versión del software que tiene instalada el Router Q73.";
// `format` with its two %s filled with the two versions (router bytes).
std::string VersionText(std::string_view format, std::string_view shipped, std::string_view router);

}  // namespace cofralin
