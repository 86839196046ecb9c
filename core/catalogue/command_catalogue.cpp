#include "command_catalogue.h"

#include <algorithm>
#include <cctype>
#include <memory>
#include <system_error>

namespace cofralin {

namespace {

constexpr std::array<std::string_view, kCatalogueEntryCount> kKeyNames = {
    "SHOW_DHCP_SERVER_SETTING",
    "DISABLE_IP_NETWORK_LAN",
    "ENABLE_IP_NETWORK_LAN",
    "DELETE_IP_NETWORK_LAN",
    "ADD_IP_NETWORK_LAN_ADDRESS_ENABLE_YES",
    "DISABLE_VC_INTERNET",
    "SET_VC_INTERNET_REMOTE_IP_ADDRESS",
    "SET_VC_INTERNET_LOCAL_IP_ADDRESS",
    "SET_VC_INTERNET_NAT_OPTION_ENABLE",
    "ENABLE_VC_INTERNET",
    "SAVE_ALL",
    "SHOW_VC_INTERNET",
    "SET_DHCP_MODE_SERVER",
    "SET_DHCP_SERVER_START",
    "SET_DHCP_SERVER_ROUTER",
    "SET_DHCP_SERVER_DNS",
    "SET_DHCP_SERVER_WIN",
    "SET_DHCP_SERVER_LEASE",
    "SET_VC_INTERNET_NAT_OPTION_DISABLE",
    "SET_VC_INTERNET_DEFAULT_ROUTE_OPTION_ENABLE",
    "ADD_NAT_TCP",
    "ADD_NAT_UDP",
    "EXIT_CLI",
    "SET_DHCP_MODE_DISABLE",
    "SHOW_SYSTEM",
    "SET_VC_INTERNET_NAT_DEFAULT_ADDRESS",
    "SET_ADSL_OPEN_ANSI",
    "VERSION",
    "DOS_COMMAND",
    "HTML_HELP",
    "FILTER_MANAGEMENT_SUBNET",
};

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

}  // namespace

std::string_view CatalogueKeyName(CatalogueKey key) {
    return kKeyNames[static_cast<std::size_t>(key)];
}

std::size_t ReadCatalogueLine(std::FILE* file, std::string& buffer, bool& tooLong) {
    buffer.clear();
    tooLong = false;
    std::size_t count = 0;
    for (;;) {
        const int byte = std::fgetc(file);
        // The last line needs no line feed, and is measured like any other.
        if (byte == EOF) break;
        ++count;
        if (byte != '\r' && byte != '\n' && byte != '\t' && byte != '\0') {
            buffer.push_back(static_cast<char>(byte));
        }
        if (byte == '\n') break;
    }
    tooLong = buffer.size() > kCatalogueLineLimit;
    return count;
}

std::filesystem::path FindCatalogueFile(const std::filesystem::path& directory) {
    const std::filesystem::path exact = directory / "config.txt";
    std::error_code error;
    if (std::filesystem::is_regular_file(exact, error)) return exact;
    // Any other spelling of the name: CONFIG.TXT, Config.Txt... The first in
    // name order wins, so the choice does not depend on the directory order.
    std::filesystem::path found;
    for (const auto& entry : std::filesystem::directory_iterator(directory, error)) {
        if (lowerCase(entry.path().filename().string()) != "config.txt") continue;
        if (!entry.is_regular_file(error)) continue;
        if (found.empty() || entry.path().filename() < found.filename()) found = entry.path();
    }
    return found;
}

CatalogueLoadResult LoadCommandCatalogue(CommandCatalogue& catalogue,
                                         const std::filesystem::path& directory) {
    CatalogueLoadResult result = LoadCommandCatalogueFile(catalogue, FindCatalogueFile(directory));
    std::error_code error;
    result.directory = std::filesystem::absolute(directory, error).lexically_normal();
    // "/home/u/." normalises to "/home/u/"; the message names "/home/u".
    if (!result.directory.has_filename()) result.directory = result.directory.parent_path();
    return result;
}

CatalogueLoadResult LoadCommandCatalogueFile(CommandCatalogue& catalogue,
                                             const std::filesystem::path& path) {
    CatalogueLoadResult result;
    result.file = path;
    std::error_code error;
    result.directory = std::filesystem::absolute(path, error).lexically_normal().parent_path();
    std::unique_ptr<std::FILE, FileCloser> file;
    if (!result.file.empty()) file.reset(std::fopen(result.file.c_str(), "rb"));
    if (!file) {
        result.status = CatalogueLoadResult::Status::FileMissing;
        return result;
    }

    // Filled into a copy so that a refused file changes nothing.
    CommandCatalogue loaded = catalogue;
    std::string key;
    std::string value;
    bool tooLong = false;
    std::size_t lineNumber = 0;
    for (;;) {
        const std::size_t taken = ReadCatalogueLine(file.get(), key, tooLong);
        if (taken == 0) break;
        ++lineNumber;
        if (tooLong) {
            result.status = CatalogueLoadResult::Status::LineTooLong;
            result.lineNumber = lineNumber;
            return result;
        }
        if (key.empty()) continue;
        if (ReadCatalogueLine(file.get(), value, tooLong) > 0) ++lineNumber;
        if (tooLong) {
            result.status = CatalogueLoadResult::Status::LineTooLong;
            result.lineNumber = lineNumber;
            return result;
        }
        for (std::size_t i = 0; i < kCatalogueEntryCount; ++i) {
            if (key.find(kKeyNames[i]) != std::string::npos) {
                loaded[static_cast<CatalogueKey>(i)] = value;
            }
        }
    }
    catalogue = loaded;
    return result;
}

std::string CatalogueFailureMessage(const CatalogueLoadResult& result) {
    if (result.status == CatalogueLoadResult::Status::LineTooLong) {
        return "La línea " + std::to_string(result.lineNumber) + " del fichero de datos \"" +
               result.file.filename().string() + "\" tiene más de " +
               std::to_string(kCatalogueLineLimit) + " caracteres.\nNo se puede usar el fichero.";
    }
    // A user who started the program from another folder learns where it
    // looked and where the shipped file is.
    return "No pudo abrirse el fichero de datos \"CONFIG.TXT\"\nSe buscó en la carpeta " +
           result.directory.string() + "; el que se instala con el programa está en " +
           std::string(kShippedCatalogue) + ".";
}

std::vector<CatalogueKey> EmptyTemplates(const CommandCatalogue& catalogue) {
    std::vector<CatalogueKey> empty;
    for (std::size_t i = 0; i < kCommandTemplateCount; ++i) {
        const auto key = static_cast<CatalogueKey>(i);
        if (catalogue[key].empty()) empty.push_back(key);
    }
    return empty;
}

std::optional<CatalogueKey> FirstEmptyTemplate(const CommandCatalogue& catalogue,
                                               std::span<const CatalogueKey> keys) {
    for (const CatalogueKey key : keys) {
        if (catalogue[key].empty()) return key;
    }
    return std::nullopt;
}

std::string MissingCommandText(CatalogueKey key) {
    return "Falta una orden en CONFIG.TXT: " + std::string(CatalogueKeyName(key)) + ".";
}

std::string EmptyTemplatesText(const std::vector<CatalogueKey>& keys) {
    if (keys.empty()) return {};
    std::string names;
    for (const CatalogueKey key : keys) {
        if (!names.empty()) names += ", ";
        names += CatalogueKeyName(key);
    }
    if (keys.size() == 1) {
        return "Falta una orden en CONFIG.TXT: " + names +
               ".\nLas operaciones que la necesitan se detendrán sin enviar nada al Router.";
    }
    return "Faltan " + std::to_string(keys.size()) + " órdenes en CONFIG.TXT: " + names +
           ".\nLas operaciones que las necesitan se detendrán sin enviar nada al Router."
           "\nCada clave va seguida de su orden en la línea siguiente.";
}

}  // namespace cofralin
