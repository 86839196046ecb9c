#pragma once
// What one run of cofralin-cli was asked to do: the order with its values,
// the ports, and the options that shape the run. Built by ParseArguments
// from the command line, with every value already checked.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "multi_pc.h"
#include "port_mappings.h"
#include "router_copy.h"
#include "single_pc.h"

namespace cofralin::cli {

enum class Order {
    Ports,          // puertos
    State,          // estado
    SinglePc,       // monopuesto GESTION/MASCARA
    MultiPc,        // multipuesto RED/MASCARA [--estacion DIRECCION]
    Mappings,       // mapeos
    MappingAdd,     // mapeos alta tcp|udp PUBLICO DIRECCION PRIVADO
    MappingDelete,  // mapeos baja tcp|udp PUBLICO
    Version,        // version
    Update,         // actualizar
    Copy,           // copia
    Copies,         // copias
    Restore,        // restaurar COPIA
};

// The order as the output names it: "estado", "mapeos alta"...
std::string_view OrderName(Order order);
// The orders that change the router, and so ask before they do.
bool ChangesRouter(Order order);

struct CliRequest {
    Order order = Order::State;
    std::vector<std::string> ports;                     // -p, as given
    bool allPorts = false;                              // --todos
    bool dryRun = false;                                // --comprobar
    bool json = false;                                  // --json
    bool yes = false;                                   // --si
    std::optional<std::filesystem::path> logFolder;     // --registro
    std::optional<std::filesystem::path> catalogue;     // --catalogo
    std::optional<std::filesystem::path> passwordFile;  // --clave-fichero
    bool otherRouter = false;                           // --otro-router
    std::string copyArgument;                           // restaurar COPIA, as given
    std::optional<RouterCopy> copy;                     // that copy, once read and checked

    SinglePcInput singlePc;
    MultiPcInput multiPc;
    TrafficType mappingType = TrafficType::None;
    PortMappingTexts mapping;  // the public port alone for a delete
};

}  // namespace cofralin::cli
