#include "router_copy.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdint>
#include <cstdlib>
#include <random>

#include "port_refusal.h"
#include "whole_write.h"

namespace cofralin {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kHeader = "Cofralin copia del Router 1\n";
constexpr std::string_view kSumLabel = "suma: ";
// Far more than three listings of a Q73 take; a bigger file is not a copy.
constexpr std::size_t kCopySizeLimit = 4 * 1024 * 1024;

struct ListingField {
    std::string_view key;
    std::string RouterListings::*bytes;
};
constexpr ListingField kListingFields[] = {
    {"SHOW_SYSTEM", &RouterListings::system},
    {"SHOW_VC_INTERNET", &RouterListings::vc},
    {"SHOW_DHCP_SERVER_SETTING", &RouterListings::dhcpServer},
};

struct HeaderField {
    std::string_view label;
    std::string RouterCopy::*value;
};
constexpr HeaderField kHeaderFields[] = {
    {"hora: ", &RouterCopy::time},          {"puerto: ", &RouterCopy::port},
    {"dispositivo: ", &RouterCopy::device}, {"producto: ", &RouterCopy::product},
    {"serie: ", &RouterCopy::serial},       {"cambio: ", &RouterCopy::change},
};

// A value on one line of its own: control bytes but the tab shown as "?".
std::string oneLine(std::string_view text) {
    std::string line(text);
    for (char& c : line) {
        if (static_cast<unsigned char>(c) < 0x20 && c != '\t') c = '?';
    }
    return line;
}

std::string checksum(std::string_view bytes) {
    std::uint64_t hash = 0xcbf29ce484222325ULL;
    for (const unsigned char c : bytes) {
        hash ^= c;
        hash *= 0x100000001b3ULL;
    }
    char text[17];
    std::snprintf(text, sizeof text, "%016" PRIx64, hash);
    return text;
}

std::string modeWord(RouterMode mode) {
    switch (mode) {
        case RouterMode::SinglePc:
            return "monopuesto";
        case RouterMode::MultiPc:
            return "multipuesto";
        case RouterMode::Unknown:
            break;
    }
    return "desconocido";
}

std::string readingText(const RouterReading& reading) {
    std::string text = "modo: " + modeWord(reading.mode) + "\n";
    const auto optional = [&](std::string_view label, const std::optional<std::string>& value) {
        if (value) text += std::string(label) + oneLine(*value) + "\n";
    };
    optional("circuito local: ", reading.vcLocalAddress);
    optional("circuito remoto: ", reading.vcRemoteSubnet);
    if (reading.dhcpEnabled) {
        text +=
            std::string("servidor dhcp: ") + (*reading.dhcpEnabled ? "activo" : "inactivo") + "\n";
    }
    optional("dhcp router: ", reading.dhcpRouter);
    optional("dhcp mascara: ", reading.dhcpMask);
    optional("dhcp inicio: ", reading.dhcpStart);
    optional("version: ", reading.routerVersion);
    if (reading.mappings) {
        text += "asignaciones:\n";
        for (const std::string& entry : reading.mappings->udp)
            text += "udp: " + oneLine(entry) + "\n";
        for (const std::string& entry : reading.mappings->tcp)
            text += "tcp: " + oneLine(entry) + "\n";
    }
    return text;
}

// Reads the line that starts at `at`, moving past its "\n"; nothing when
// the bytes end first.
std::optional<std::string_view> takeLine(std::string_view bytes, std::size_t& at) {
    const std::size_t end = bytes.find('\n', at);
    if (end == std::string_view::npos) return std::nullopt;
    const std::string_view line = bytes.substr(at, end - at);
    at = end + 1;
    return line;
}

// The reason in the program's language.
std::string systemError(int error) { return ErrorInWords(error); }

std::string utcNow() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    ::gmtime_r(&now, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

// "2026-12-10T06:40:00Z" and "COM1:" as "20261210-064000-COM1".
std::string fileStem(const RouterCopy& copy) {
    std::string stem;
    for (const char c : copy.time) {
        if (c >= '0' && c <= '9') stem += c;
        if (c == 'T') stem += '-';
    }
    stem += '-';
    for (const char c : copy.port) {
        const bool plain =
            (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-';
        if (plain) stem += c;
    }
    return stem;
}

// Makes `folder` and its parents; the folder itself for its owner alone.
// Nothing when it is there, a folder; else why not.
std::optional<std::string> makeFolder(const fs::path& folder) {
    std::error_code error;
    if (folder.has_parent_path()) fs::create_directories(folder.parent_path(), error);
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return systemError(errno);
    struct stat info {};
    if (::lstat(folder.c_str(), &info) != 0) return systemError(errno);
    if (S_ISLNK(info.st_mode)) return "es un enlace simbólico";
    if (!S_ISDIR(info.st_mode)) return "no es una carpeta";
    return std::nullopt;
}

// Reads the header lines from `at` into `copy`; what is wrong otherwise.
std::optional<std::string> parseHeader(std::string_view body, std::size_t& at, RouterCopy& copy) {
    for (const HeaderField& field : kHeaderFields) {
        const std::optional<std::string_view> line = takeLine(body, at);
        if (!line || !line->starts_with(field.label)) {
            return "le falta la línea «" +
                   std::string(field.label.substr(0, field.label.size() - 1)) + "»";
        }
        copy.*field.value = std::string(line->substr(field.label.size()));
    }
    return std::nullopt;
}

// Reads each listing, by the length its head line gives, after `at`; what
// is wrong otherwise.
std::optional<std::string> parseListings(std::string_view body, std::size_t at,
                                         RouterListings& listings) {
    for (const ListingField& field : kListingFields) {
        const std::string head = "\nlistado " + std::string(field.key) + " ";
        const std::size_t start = body.find(head, at - 1);
        if (start == std::string_view::npos) {
            return "le falta el listado " + std::string(field.key);
        }
        at = start + head.size();
        const std::string lengthText(takeLine(body, at).value_or(""));
        char* end = nullptr;
        const unsigned long long size = std::strtoull(lengthText.c_str(), &end, 10);
        if (lengthText.empty() || *end != '\0' || size > body.size() - at ||
            body.substr(at + size, 1) != "\n") {
            return "el listado " + std::string(field.key) + " no tiene la longitud que dice";
        }
        listings.*field.bytes = std::string(body.substr(at, size));
        at += size;
    }
    return std::nullopt;
}

// Writes `text` to a new draft in the folder `dir`, for its owner alone and
// synced: the draft's name, or the errno of the failure.
std::variant<std::string, int> writeDraft(int dir, const std::string& text) {
    std::random_device random;
    const std::string draft = ".borrador-" + std::to_string(random()) + std::to_string(::getpid());
    const int fd =
        ::openat(dir, draft.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return errno;
    const bool written = ::fchmod(fd, 0600) == 0 && WriteWhole(fd, text) && ::fsync(fd) == 0;
    const int error = errno;
    ::close(fd);
    if (written) return draft;
    ::unlinkat(dir, draft.c_str(), 0);
    return error;
}

// Renames the draft to `stem` and the extension, never over another copy:
// a name already taken gets a number. The name, or the errno of the failure.
std::variant<std::string, int> placeDraft(int dir, const std::string& draft,
                                          const std::string& stem) {
    for (int n = 1; n < 100; ++n) {
        const std::string name =
            stem + (n == 1 ? "" : "-" + std::to_string(n)) + std::string(kCopyExtension);
        if (::renameat2(dir, draft.c_str(), dir, name.c_str(), RENAME_NOREPLACE) == 0) return name;
        if (errno != EEXIST) break;
    }
    const int error = errno;
    ::unlinkat(dir, draft.c_str(), 0);
    return error;
}

}  // namespace

std::string CopyText(const RouterCopy& copy) {
    std::string text(kHeader);
    for (const HeaderField& field : kHeaderFields) {
        text += std::string(field.label) + oneLine(copy.*field.value) + "\n";
    }
    text += readingText(ReadingOfListings(copy.listings));
    for (const ListingField& field : kListingFields) {
        const std::string& bytes = copy.listings.*field.bytes;
        text += "listado " + std::string(field.key) + " " + std::to_string(bytes.size()) + "\n";
        text += bytes + "\n";
    }
    text += std::string(kSumLabel) + checksum(text) + "\n";
    return text;
}

std::variant<RouterCopy, std::string> ParseCopy(std::string_view bytes) {
    if (!bytes.starts_with(kHeader)) {
        if (kHeader.starts_with(bytes)) return std::string("está incompleta");
        return std::string("no es una copia del Router hecha por Cofralin");
    }
    const std::size_t sumAt = bytes.rfind(std::string("\n") + std::string(kSumLabel));
    if (sumAt == std::string_view::npos || !bytes.ends_with("\n")) {
        return std::string("está incompleta: le falta su suma de comprobación");
    }
    const std::string_view body = bytes.substr(0, sumAt + 1);
    const std::string_view sum =
        bytes.substr(sumAt + 1 + kSumLabel.size(), bytes.size() - sumAt - 2 - kSumLabel.size());
    if (sum != checksum(body)) {
        return std::string("fue modificada o está incompleta: su suma de comprobación no coincide");
    }
    RouterCopy copy;
    std::size_t at = kHeader.size();
    if (std::optional<std::string> why = parseHeader(body, at, copy)) return *why;
    // The reading's lines are checked below, by writing them again.
    if (std::optional<std::string> why = parseListings(body, at, copy.listings)) return *why;
    copy.reading = ReadingOfListings(copy.listings);
    if (CopyText(copy) != bytes) {
        return std::string("fue modificada: lo que dice no corresponde a sus listados");
    }
    return copy;
}

fs::path DefaultCopyFolder() {
    fs::path data;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && fs::path(xdg).is_absolute()) {
        data = xdg;
    } else if (const char* home = std::getenv("HOME"); home && *home) {
        data = fs::path(home) / ".local" / "share";
    } else {
        return {};
    }
    return data / "cofralin" / "copias";
}

CopyWrite WriteCopy(const fs::path& folder, const RouterCopy& given) {
    CopyWrite result;
    const auto fail = [&](const std::string& why) {
        result.error = "No pudo guardarse la copia del Router en la carpeta " + folder.string() +
                       ": " + why + ".";
        return result;
    };
    if (folder.empty()) return fail("no se sabe cuál es la carpeta personal");
    if (const std::optional<std::string> why = makeFolder(folder)) return fail(*why);
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (dir < 0) return fail(systemError(errno));

    RouterCopy copy = given;
    if (copy.time.empty()) copy.time = utcNow();
    copy.reading = ReadingOfListings(copy.listings);
    const std::variant<std::string, int> draft = writeDraft(dir, CopyText(copy));
    const std::variant<std::string, int> placed =
        std::holds_alternative<std::string>(draft)
            ? placeDraft(dir, std::get<std::string>(draft), fileStem(copy))
            : draft;
    ::close(dir);
    if (const int* error = std::get_if<int>(&placed)) return fail(systemError(*error));
    result.path = folder / std::get<std::string>(placed);
    return result;
}

std::variant<RouterCopy, std::string> ReadCopyFile(const fs::path& path) {
    const auto refuse = [&](const std::string& why) {
        return "La copia " + path.string() + " " + why + ".";
    };
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ELOOP) return refuse("es un enlace simbólico: no se lee");
        return refuse("no pudo abrirse: " + systemError(errno));
    }
    struct stat info {};
    std::string bytes;
    std::string why;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        why = "no es un fichero normal";
    } else if (static_cast<std::size_t>(info.st_size) > kCopySizeLimit) {
        why = "es demasiado grande para ser una copia";
    } else {
        char buffer[65536];
        for (;;) {
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) why = "no pudo leerse: " + systemError(errno);
            if (n <= 0) break;
            bytes.append(buffer, static_cast<std::size_t>(n));
            if (bytes.size() > kCopySizeLimit) {
                why = "es demasiado grande para ser una copia";
                break;
            }
        }
    }
    ::close(fd);
    if (!why.empty()) return refuse(why);
    std::variant<RouterCopy, std::string> parsed = ParseCopy(bytes);
    if (const std::string* error = std::get_if<std::string>(&parsed)) return refuse(*error);
    return parsed;
}

std::vector<ListedCopy> ListCopies(const fs::path& folder) {
    std::vector<ListedCopy> copies;
    std::error_code error;
    for (fs::directory_iterator entry(folder, error), end; !error && entry != end;
         entry.increment(error)) {
        const fs::path& path = entry->path();
        if (path.extension() != kCopyExtension) continue;
        ListedCopy listed{path, std::nullopt, {}};
        std::variant<RouterCopy, std::string> read = ReadCopyFile(path);
        if (RouterCopy* copy = std::get_if<RouterCopy>(&read)) {
            listed.copy = std::move(*copy);
        } else {
            listed.error = std::get<std::string>(read);
        }
        copies.push_back(std::move(listed));
    }
    std::sort(copies.begin(), copies.end(),
              [](const ListedCopy& a, const ListedCopy& b) { return a.path < b.path; });
    return copies;
}

fs::path CopyPathFor(std::string_view argument, const fs::path& folder) {
    if (argument.find('/') != std::string_view::npos) return fs::path(argument);
    std::string name(argument);
    if (!name.ends_with(kCopyExtension)) name += kCopyExtension;
    return folder / name;
}

}  // namespace cofralin
