#include "arguments.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdint>

#include "value_checks.h"

namespace cofralin::cli {

namespace {

// Thrown by the checks below; caught once and turned into the refusal.
struct Refusal {
    std::string text;
};

[[noreturn]] void refuse(std::string text) { throw Refusal{std::move(text)}; }

std::string inQuotes(std::string_view text) { return "«" + std::string(text) + "»"; }

bool allDigits(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// An address as the router gets it, or the refusal that names `argument`.
std::string address(std::string_view text, std::string_view argument) {
    if (const std::optional<std::string> plain = PlainAddress(text)) return *plain;
    refuse(std::string(argument) + ": " + inQuotes(text) +
           " no es una dirección IP: escriba cuatro números de 0 a 255 separados por puntos.");
}

// A mask, dotted or as a prefix length from 0 to 32, as a dotted mask.
std::string mask(std::string_view text, std::string_view argument) {
    if (allDigits(text) && text.size() <= 2) {
        const int prefix = std::stoi(std::string(text));
        if (prefix <= 32) return MaskOfPrefix(prefix);
    }
    if (const std::optional<std::string> plain = PlainAddress(text)) return *plain;
    refuse(std::string(argument) + ": " + inQuotes(text) +
           " no es una máscara: escríbala con puntos (255.255.255.0) o como longitud de "
           "prefijo (24).");
}

// "ADDRESS/MASK" as its two parts, each checked.
std::pair<std::string, std::string> addressAndMask(const std::string& text,
                                                   std::string_view argument) {
    const std::size_t slash = text.find('/');
    if (slash == std::string::npos) {
        refuse(std::string(argument) + ": " + inQuotes(text) +
               " no lleva máscara: escriba la dirección, una barra y la máscara, como "
               "192.168.1.1/24.");
    }
    return {address(text.substr(0, slash), argument), mask(text.substr(slash + 1), argument)};
}

// A port number without its leading zeros, or the refusal.
std::string port(std::string_view text, std::string_view argument) {
    std::string_view digits = text;
    while (digits.size() > 1 && digits.front() == '0') digits.remove_prefix(1);
    if (!allDigits(text) || !IsPortNumber(digits)) {
        refuse(std::string(argument) + ": el puerto " + inQuotes(text) +
               " no es válido: indique un número de 1 a 65535.");
    }
    return std::string(digits);
}

TrafficType trafficType(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (lower == "tcp") return TrafficType::Tcp;
    if (lower == "udp") return TrafficType::Udp;
    refuse("mapeos: " + inQuotes(text) + " no es un tipo de tráfico: escriba tcp o udp.");
}

void checked(const std::optional<RefusedValue>& refused, std::string_view argument) {
    if (refused) refuse(std::string(argument) + ": " + refused->message);
}

void readSinglePc(CliRequest& request, const std::vector<std::string>& values) {
    constexpr std::string_view argument = "monopuesto GESTION/MASCARA";
    if (values.size() != 1) refuse(std::string(argument) + ": indique una dirección y su máscara.");
    auto [mgmtAddress, mgmtMask] = addressAndMask(values[0], argument);
    checked(CheckSinglePcValues(mgmtAddress, mgmtMask), argument);
    request.singlePc = {mgmtAddress, mgmtMask};
}

void readMultiPc(CliRequest& request, const std::vector<std::string>& values,
                 const std::string& station) {
    constexpr std::string_view argument = "multipuesto RED/MASCARA";
    if (values.size() != 1) refuse(std::string(argument) + ": indique una dirección y su máscara.");
    auto [lanAddress, lanMask] = addressAndMask(values[0], argument);
    const std::string defaultStation =
        station.empty() ? std::string(kNoDefaultStation) : address(station, "--estacion");
    checked(CheckMultiPcValues(lanAddress, lanMask, defaultStation),
            defaultStation == kNoDefaultStation ? argument : "--estacion");
    request.multiPc = {lanAddress, lanMask, defaultStation};
}

void readMappings(CliRequest& request, const std::vector<std::string>& values) {
    if (values.empty()) {
        request.order = Order::Mappings;
        return;
    }
    const std::string& action = values[0];
    if (action == "alta") {
        if (values.size() != 5) {
            refuse(
                "mapeos alta: escriba tcp o udp, el puerto público, la dirección privada y "
                "el puerto privado.");
        }
        request.order = Order::MappingAdd;
        request.mappingType = trafficType(values[1]);
        request.mapping.PublicPortText = port(values[2], "mapeos alta PUBLICO");
        request.mapping.PrivateAddressText = address(values[3], "mapeos alta DIRECCION");
        request.mapping.PrivatePortText = port(values[4], "mapeos alta PRIVADO");
        checked(CheckMappingValues(request.mapping.PublicPortText, request.mapping.PrivatePortText,
                                   request.mapping.PrivateAddressText),
                "mapeos alta");
        if (!IsHostAddress(request.mapping.PrivateAddressText)) {
            refuse("mapeos alta DIRECCION: la dirección privada " +
                   inQuotes(request.mapping.PrivateAddressText) +
                   " no es una dirección de equipo: indique la del equipo de la red local que "
                   "recibe el puerto.");
        }
    } else if (action == "baja") {
        if (values.size() != 3) refuse("mapeos baja: escriba tcp o udp y el puerto público.");
        request.order = Order::MappingDelete;
        request.mappingType = trafficType(values[1]);
        request.mapping.PublicPortText = port(values[2], "mapeos baja PUBLICO");
    } else {
        refuse("mapeos: " + inQuotes(action) + " no es una acción: escriba alta o baja.");
    }
}

// What CLI11 refused, in Spanish: the argument is what its message names
// before the first colon.
std::string parseErrorText(const CLI::ParseError& error) {
    const std::string what = error.what();
    const std::string argument = what.substr(0, what.find(':'));
    if (error.get_name() == "ArgumentMismatch") return argument + ": falta su valor.";
    return argument + ": valor no válido.";
}

// Extras CLI11 did not take: an unknown option, an unknown order or an
// argument too many.
void refuseExtras(const std::vector<std::string>& extras, bool hasOrder) {
    if (extras.empty()) return;
    const std::string& first = extras.front();
    if (first.size() > 1 && first.front() == '-') refuse(inQuotes(first) + ": opción desconocida.");
    if (!hasOrder) refuse(inQuotes(first) + ": orden desconocida.");
    refuse(inQuotes(first) + ": argumento de más.");
}

}  // namespace

std::string_view OrderName(Order order) {
    switch (order) {
        case Order::Ports:
            return "puertos";
        case Order::State:
            return "estado";
        case Order::SinglePc:
            return "monopuesto";
        case Order::MultiPc:
            return "multipuesto";
        case Order::Mappings:
            return "mapeos";
        case Order::MappingAdd:
            return "mapeos alta";
        case Order::MappingDelete:
            return "mapeos baja";
        case Order::Version:
            return "version";
        case Order::Update:
            return "actualizar";
        case Order::Copy:
            return "copia";
        case Order::Copies:
            return "copias";
        case Order::Restore:
            return "restaurar";
    }
    return "";
}

bool ChangesRouter(Order order) {
    return order == Order::SinglePc || order == Order::MultiPc || order == Order::MappingAdd ||
           order == Order::MappingDelete || order == Order::Update || order == Order::Restore;
}

ParsedArguments ParseArguments(const std::vector<std::string>& arguments) {
    ParsedArguments parsed;
    CliRequest& request = parsed.request;
    CLI::App app{"", "cofralin-cli"};
    app.set_help_flag();
    app.allow_extras();
    app.fallthrough();

    bool help = false;
    bool version = false;
    std::string logFolder;
    std::string catalogue;
    std::string passwordFile;
    app.add_flag("-h,--help", help);
    app.add_flag("--version", version);
    app.add_option("-p", request.ports)
        ->expected(1)
        ->allow_extra_args(false)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    app.add_flag("--todos", request.allPorts);
    app.add_flag("--comprobar", request.dryRun);
    app.add_flag("--json", request.json);
    app.add_flag("--si", request.yes);
    app.add_option("--registro", logFolder);
    app.add_option("--catalogo", catalogue);
    app.add_option("--clave-fichero", passwordFile);
    app.add_flag("--otro-router", request.otherRouter);

    std::vector<std::string> values;
    std::string station;
    const auto order = [&](const char* name) {
        CLI::App* sub = app.add_subcommand(name);
        sub->allow_extras();
        return sub;
    };
    CLI::App* ports = order("puertos");
    CLI::App* state = order("estado");
    CLI::App* singlePc = order("monopuesto");
    singlePc->add_option("valores", values);
    CLI::App* multiPc = order("multipuesto");
    multiPc->add_option("valores", values);
    multiPc->add_option("--estacion", station);
    CLI::App* mappings = order("mapeos");
    mappings->add_option("valores", values);
    CLI::App* versionOrder = order("version");
    CLI::App* update = order("actualizar");
    CLI::App* copyOrder = order("copia");
    CLI::App* copies = order("copias");
    CLI::App* restore = order("restaurar");
    restore->add_option("valores", values);
    app.require_subcommand(0, 1);

    std::vector<const char*> argv{"cofralin-cli"};
    for (const std::string& argument : arguments) argv.push_back(argument.c_str());
    try {
        app.parse(static_cast<int>(argv.size()), argv.data());
    } catch (const CLI::ParseError& error) {
        parsed.kind = ParsedArguments::Kind::Refused;
        parsed.error = parseErrorText(error);
        return parsed;
    }
    if (help) {
        parsed.kind = ParsedArguments::Kind::Help;
        return parsed;
    }
    if (version) {
        parsed.kind = ParsedArguments::Kind::Version;
        return parsed;
    }

    try {
        const std::vector<CLI::App*> chosen = app.get_subcommands();
        refuseExtras(app.remaining(), !chosen.empty());
        if (chosen.empty())
            refuse("falta la orden: escriba, por ejemplo, «cofralin-cli estado -p COM1».");
        const CLI::App* sub = chosen.front();
        if (sub == ports) {
            request.order = Order::Ports;
        } else if (sub == state) {
            request.order = Order::State;
        } else if (sub == singlePc) {
            request.order = Order::SinglePc;
            readSinglePc(request, values);
        } else if (sub == multiPc) {
            request.order = Order::MultiPc;
            readMultiPc(request, values, station);
        } else if (sub == mappings) {
            readMappings(request, values);
        } else if (sub == versionOrder) {
            request.order = Order::Version;
        } else if (sub == update) {
            request.order = Order::Update;
        } else if (sub == copyOrder) {
            request.order = Order::Copy;
        } else if (sub == copies) {
            request.order = Order::Copies;
        } else if (sub == restore) {
            request.order = Order::Restore;
            if (values.size() != 1 || values[0].empty()) {
                refuse("restaurar COPIA: indique la copia, por su nombre o su ruta.");
            }
            request.copyArgument = values[0];
        }
        if (request.otherRouter && request.order != Order::Restore) {
            refuse("--otro-router: solo vale con restaurar.");
        }
        if (!station.empty() && request.order != Order::MultiPc) {
            refuse("--estacion: solo vale con multipuesto.");
        }
        if (request.allPorts && !request.ports.empty()) {
            refuse("-p y --todos: indique los puertos de una sola manera.");
        }
        if (request.order == Order::Update && (request.allPorts || request.ports.size() > 1)) {
            refuse("actualizar: indique un solo puerto, con -p.");
        }
        if (request.order == Order::Restore && (request.allPorts || request.ports.size() > 1)) {
            refuse("restaurar: indique un solo puerto, con -p.");
        }
        for (const auto& [text, into] :
             {std::pair{&logFolder, &request.logFolder}, std::pair{&catalogue, &request.catalogue},
              std::pair{&passwordFile, &request.passwordFile}}) {
            if (!text->empty()) *into = *text;
        }
    } catch (const Refusal& refusal) {
        parsed.kind = ParsedArguments::Kind::Refused;
        parsed.error = refusal.text;
    }
    return parsed;
}

std::string VersionText() { return "cofralin-cli " COFRALIN_VERSION "\n"; }

std::string HelpText() {
    return R"(Uso: cofralin-cli [OPCIONES] ORDEN [ARGUMENTOS]

Configura routers Q73 por su consola serie, uno o varios a la vez, con las
mismas órdenes que la ventana de Cofralin.

Órdenes:
  puertos                     los puertos serie encontrados y, de los que no
                              se ofrecen, por qué; no toca ningún router
  estado                      conecta y muestra el modo, el circuito, el
                              servidor DHCP, las asignaciones de puertos y
                              las versiones del router y la distribuida
  monopuesto GESTION/MASCARA  pasa el router a modo monopuesto con esa
                              dirección y máscara de gestión; la máscara con
                              puntos o como prefijo: 10.1.1.1/24
  multipuesto RED/MASCARA [--estacion DIRECCION]
                              pasa el router a modo multipuesto con esa
                              dirección y máscara de la red local y, si se
                              indica, esa estación por defecto
  mapeos                      las asignaciones estáticas de puertos TCP y UDP
  mapeos alta tcp|udp PUBLICO DIRECCION PRIVADO
                              añade una asignación
  mapeos baja tcp|udp PUBLICO elimina una asignación
  version                     compara la versión del router con la
                              distribuida
  actualizar                  entrega la línea al programa de actualización
                              (un solo puerto)
  copia                       guarda una copia del router y no cambia nada
  copias                      las copias guardadas: hora, puerto, número de
                              serie, modo y cambio; no toca ningún router
  restaurar COPIA             deja el router como dice la copia (su nombre o
                              su ruta): el modo con sus direcciones y después
                              las asignaciones de puertos (un solo puerto)

Copias: antes de cada cambio se guarda una copia del router en
$XDG_DATA_HOME/cofralin/copias (por omisión ~/.local/share/cofralin/copias).

Puertos:
  -p PUERTO                   un puerto: COM1 (con o sin los dos puntos) o la
                              ruta de un dispositivo (/dev/ttyUSB0); repetible
  --todos                     todos los puertos que se encuentran

Opciones:
  --comprobar                 prueba: lee el router y muestra las líneas que
                              enviaría, sin enviar configuración ni guardar
  --json                      una línea JSON por puerto y orden
  --registro CARPETA          un registro de las respuestas por puerto en
                              CARPETA, con las contraseñas ocultas
  --catalogo FICHERO          el catálogo de órdenes; por omisión CONFIG.TXT
                              de la carpeta actual o, si no está,
                              /etc/cofralin/CONFIG.TXT
  --si                        responde sí a las preguntas antes de un cambio
  --clave-fichero FICHERO     la contraseña del router, en un fichero que
                              solo su dueño puede leer (modo 0600)
  --otro-router               restaurar: acepta una copia de otro router
                              (otro número de serie)
  -h, --help                  muestra esta ayuda y termina
  --version                   muestra la versión y termina

Contraseña: primero la de fábrica; después la de la variable COFRALIN_CLAVE o
la de --clave-fichero o, si la entrada es un terminal, la que se escriba (sin
eco). Nunca se toma de los argumentos, ni se muestra, ni se registra.

Estado de salida: 0 hecho o nada que cambiar; 1 el router rechazó un cambio o
no lo muestra después; 2 uso o valor rechazado sin enviar nada; 3 sin
respuesta, conexión perdida o puerto rechazado; 4 configurado a medias;
5 no se pudo iniciar sesión; 130 detenido por el usuario (Ctrl-C). Con varios
puertos, el mayor.
)";
}

}  // namespace cofralin::cli
