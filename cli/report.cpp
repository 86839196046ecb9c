#include "report.h"

#include <nlohmann/json.hpp>

#include "arguments.h"
#include "port_mappings.h"
#include "value_checks.h"
#include "windows_1252.h"

namespace cofralin::cli {

namespace {

using Json = nlohmann::ordered_json;

// A listed address plainly; anything else as the router wrote it, decoded.
std::string address(const std::string& listed) {
    if (const std::optional<std::string> plain = PlainAddress(listed)) return *plain;
    return Windows1252ToUtf8(listed);
}

// "address/prefix" with the address plainly and the prefix as a number.
std::string subnet(const std::string& listed) {
    const std::size_t slash = listed.find('/');
    if (slash == std::string::npos) return address(listed);
    std::string prefix = listed.substr(slash + 1);
    while (prefix.size() > 1 && prefix.front() == '0') prefix.erase(0, 1);
    return address(listed.substr(0, slash)) + "/" + Windows1252ToUtf8(prefix);
}

struct Mapping {
    std::string publicPort;
    std::string address;
    std::string privatePort;
};

// An entry of a table: " 5060\t192.168.001.010\t5060".
Mapping mappingOf(const std::string& entry) {
    std::vector<std::string_view> fields = MappingEntryFields(entry);
    fields.resize(3);
    return {std::string(fields[0]), address(std::string(fields[1])), std::string(fields[2])};
}

Json portNumber(const std::string& text) {
    if (!text.empty() && text.size() <= 5 &&
        text.find_first_not_of("0123456789") == std::string::npos) {
        return std::stoi(text);
    }
    return Windows1252ToUtf8(text);
}

std::string modeName(RouterMode mode) {
    return mode == RouterMode::SinglePc ? "monopuesto" : "multipuesto";
}

std::string outcomeWords(const PortResult& result, bool dryRun) {
    switch (result.result) {
        case Result::Ok:
            return dryRun && result.lines ? "cambiaría" : "hecho";
        case Result::Unchanged:
            return "nada que cambiar";
        case Result::Refused:
            return "rechazado";
        case Result::Invalid:
            return "no válido";
        case Result::NoAnswer:
            return "sin respuesta";
        case Result::LineLost:
            return "conexión perdida";
        case Result::HalfConfigured:
            return "configurado a medias";
        case Result::LoginFailed:
            return "sin sesión";
        case Result::Stopped:
            return "detenido";
        case Result::PortRefused:
            return "puerto rechazado";
    }
    return "";
}

// What starts every line of a port: "COM1:", "/dev/ttyUSB0:".
std::string label(const std::string& port) { return port.ends_with(':') ? port : port + ":"; }

// Each line of `text` as "PORT:   line".
std::string prefixed(const std::string& port, const std::string& text,
                     const std::string& indent = "  ") {
    std::string out;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        out += label(port) + " " + indent + text.substr(start, end - start) + "\n";
        start = end + 1;
    }
    return out;
}

std::string mappingsText(const std::vector<std::string>& table) {
    if (table.empty()) return "ninguna";
    std::string text;
    for (const std::string& entry : table) {
        const Mapping mapping = mappingOf(entry);
        if (!text.empty()) text += ", ";
        text += Windows1252ToUtf8(mapping.publicPort) + " → " + mapping.address + ":" +
                Windows1252ToUtf8(mapping.privatePort);
    }
    return text;
}

// The lines of what was read, without the port prefix.
std::vector<std::string> readingText(const PortResult& result) {
    const RouterReading& read = result.read;
    std::vector<std::string> lines;
    if (read.mode != RouterMode::Unknown) lines.push_back("modo: " + modeName(read.mode));
    if (read.vcLocalAddress || read.vcRemoteSubnet) {
        lines.push_back("circuito: local " + address(read.vcLocalAddress.value_or("")) +
                        ", remoto " + subnet(read.vcRemoteSubnet.value_or("")));
    }
    std::vector<std::string> dhcp;
    if (read.dhcpEnabled) dhcp.push_back(*read.dhcpEnabled ? "activado" : "desactivado");
    if (read.dhcpRouter) dhcp.push_back("router " + address(*read.dhcpRouter));
    if (read.dhcpMask) dhcp.push_back("máscara " + address(*read.dhcpMask));
    if (read.dhcpStart) dhcp.push_back("inicio " + address(*read.dhcpStart));
    if (!dhcp.empty()) {
        std::string line = "DHCP:";
        for (const std::string& part : dhcp) line += (line.size() > 5 ? ", " : " ") + part;
        lines.push_back(line);
    }
    if (read.mappings) {
        lines.push_back("mapeos UDP: " + mappingsText(read.mappings->udp));
        lines.push_back("mapeos TCP: " + mappingsText(read.mappings->tcp));
    }
    if (read.routerVersion || result.shippedVersion) {
        lines.push_back(
            "versión del Router: " + Windows1252ToUtf8(read.routerVersion.value_or("(no leída)")) +
            "; distribuida: " + result.shippedVersion.value_or(""));
    }
    return lines;
}

Json mappingsJson(const std::vector<std::string>& table) {
    Json list = Json::array();
    for (const std::string& entry : table) {
        const Mapping mapping = mappingOf(entry);
        list.push_back({{"public", portNumber(mapping.publicPort)},
                        {"address", mapping.address},
                        {"private", portNumber(mapping.privatePort)}});
    }
    return list;
}

std::string dump(const Json& json) {
    return json.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n";
}

}  // namespace

std::string Masked(std::string text, const std::vector<std::string>& secrets) {
    const std::string original = text;
    for (const std::string& secret : secrets) {
        if (secret.empty()) continue;
        // Overlapping occurrences too: each is looked for in the text as it was.
        for (std::size_t at = original.find(secret); at != std::string::npos;
             at = original.find(secret, at + 1)) {
            text.replace(at, secret.size(), secret.size(), '*');
        }
    }
    return text;
}

std::string ShownLine(const std::string& line) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string shown;
    for (const char c : line) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\r') {
            shown += "\\r";
        } else if (c == '\n') {
            shown += "\\n";
        } else if (c == '\\') {
            shown += "\\\\";
        } else if (byte < 0x20 || byte == 0x7F) {
            shown += std::string("\\x") + kHex[byte >> 4] + kHex[byte & 0xF];
        } else {
            shown += c;
        }
    }
    return Windows1252ToUtf8(shown);
}

std::string ResultText(const PortResult& result, bool dryRun,
                       const std::vector<std::string>& secrets) {
    const std::string& port = result.port;
    std::string text = label(port) + " " + std::string(OrderName(result.order)) + ": " +
                       outcomeWords(result, dryRun) + " (" +
                       std::string(ResultName(result.result)) + ")\n";
    if (!result.message.empty()) text += prefixed(port, Masked(result.message, secrets));
    if (result.copy && result.order != Order::Copy) {
        text += prefixed(port, "copia antes del cambio: " + *result.copy);
    }
    for (const std::string& line : readingText(result)) text += prefixed(port, line);
    if (result.lines && !result.lines->empty()) {
        text += prefixed(port, "líneas que se enviarían:");
        for (const std::string& line : *result.lines) {
            text += prefixed(port, Masked(ShownLine(line), secrets), "    ");
        }
    }
    text += prefixed(port, "tiempo: " + std::to_string(result.elapsed.count()) + " ms");
    return text;
}

std::string ResultJson(const PortResult& result, const std::vector<std::string>& secrets) {
    const RouterReading& read = result.read;
    Json json;
    json["port"] = result.port;
    json["device"] = result.device;
    json["order"] = std::string(OrderName(result.order));
    json["outcome"] = std::string(ResultName(result.result));
    json["message"] = Masked(result.message, secrets);
    if (read.mode != RouterMode::Unknown) {
        json["mode"] = read.mode == RouterMode::SinglePc ? "single_pc" : "multi_pc";
    }
    if (read.vcLocalAddress || read.vcRemoteSubnet) {
        Json vc = Json::object();
        if (read.vcLocalAddress) vc["local"] = address(*read.vcLocalAddress);
        if (read.vcRemoteSubnet) vc["remote"] = subnet(*read.vcRemoteSubnet);
        json["circuit"] = vc;
    }
    if (read.dhcpEnabled || read.dhcpRouter || read.dhcpMask || read.dhcpStart) {
        Json dhcp = Json::object();
        if (read.dhcpEnabled) dhcp["enabled"] = *read.dhcpEnabled;
        if (read.dhcpRouter) dhcp["router"] = address(*read.dhcpRouter);
        if (read.dhcpMask) dhcp["mask"] = address(*read.dhcpMask);
        if (read.dhcpStart) dhcp["start"] = address(*read.dhcpStart);
        json["dhcp"] = dhcp;
    }
    if (read.mappings) {
        json["mappings"] = {{"tcp", mappingsJson(read.mappings->tcp)},
                            {"udp", mappingsJson(read.mappings->udp)}};
    }
    if (read.routerVersion) json["router_version"] = Windows1252ToUtf8(*read.routerVersion);
    if (result.shippedVersion) json["shipped_version"] = *result.shippedVersion;
    if (result.lines) {
        Json lines = Json::array();
        for (const std::string& line : *result.lines) {
            lines.push_back(Masked(Windows1252ToUtf8(line), secrets));
        }
        json["lines"] = lines;
    }
    if (result.copy) json["copy"] = *result.copy;
    json["elapsed_ms"] = result.elapsed.count();
    return dump(json);
}

std::string ListedPortText(const ListedPort& port) {
    std::string text = label(port.name) + " " + DeviceDescription(port.device) + "\n";
    if (port.refusal) text += label(port.name) + "   no se ofrece: " + *port.refusal + "\n";
    return text;
}

std::string ListedPortJson(const ListedPort& port) {
    Json json;
    json["port"] = port.name;
    json["device"] = port.device.path;
    json["order"] = "puertos";
    json["outcome"] = port.refusal ? "port_refused" : "ok";
    json["message"] = port.refusal.value_or("");
    json["product"] = port.device.product;
    json["serial"] = port.device.serial;
    return dump(json);
}

std::string ListedCopyText(const ListedCopy& listed) {
    const std::string name = listed.path.filename().string();
    if (!listed.copy) return name + ": no se puede usar: " + listed.error + "\n";
    const RouterCopy& copy = *listed.copy;
    const RouterMode mode = copy.reading.mode;
    return name + ": " + copy.time + ", " + copy.port + ", serie " +
           (copy.serial.empty() ? "desconocida" : Windows1252ToUtf8(copy.serial)) + ", " +
           (mode == RouterMode::Unknown ? "modo desconocido" : modeName(mode)) + ", antes de «" +
           copy.change + "»\n";
}

std::string ListedCopyJson(const ListedCopy& listed) {
    Json json;
    json["copy"] = listed.path.filename().string();
    json["path"] = listed.path.string();
    json["order"] = "copias";
    json["outcome"] = listed.copy ? "ok" : "refused";
    json["message"] = listed.error;
    if (listed.copy) {
        const RouterCopy& copy = *listed.copy;
        json["time"] = copy.time;
        json["port"] = copy.port;
        json["device"] = copy.device;
        json["product"] = Windows1252ToUtf8(copy.product);
        json["serial"] = Windows1252ToUtf8(copy.serial);
        if (copy.reading.mode != RouterMode::Unknown) {
            json["mode"] = copy.reading.mode == RouterMode::SinglePc ? "single_pc" : "multi_pc";
        }
        json["change"] = copy.change;
    }
    return dump(json);
}

std::string NoteText(const std::string& note) { return "cofralin-cli: " + note + "\n"; }

}  // namespace cofralin::cli
