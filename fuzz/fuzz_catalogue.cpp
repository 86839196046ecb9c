// The catalogue reader over arbitrary file contents: ReadCatalogueLine over
// the bytes in memory, then LoadCommandCatalogue over the same bytes written
// as config.txt in a private folder. Both are checked against a plain model of
// the file format: lines end at a line feed, carriage returns, tabs and zero
// bytes are dropped, blank lines are skipped where a key line is expected,
// every key name in a key line takes the next line, the last record wins, and
// a line of more than 299 characters refuses the whole file, naming its number.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "command_catalogue.h"

using namespace cofralin;

namespace {

struct Line {
    std::string text;   // after dropping
    std::size_t taken;  // bytes of the file, line feed included
};

std::vector<Line> splitLines(std::string_view bytes) {
    std::vector<Line> lines;
    Line current{{}, 0};
    for (const char c : bytes) {
        ++current.taken;
        if (c != '\r' && c != '\n' && c != '\t' && c != '\0') current.text.push_back(c);
        if (c == '\n') {
            lines.push_back(current);
            current = Line{{}, 0};
        }
    }
    if (current.taken > 0) lines.push_back(current);
    return lines;
}

std::string folderPath;

void removeFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(folderPath, ignored);
}

const std::filesystem::path& catalogueFolder() {
    static const std::filesystem::path folder = [] {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "cofralin-fuzz-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) std::abort();
        folderPath = pattern;
        std::atexit(removeFolder);
        return std::filesystem::path(pattern);
    }();
    return folder;
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

void checkLineReader(std::string bytes, const std::vector<Line>& lines) {
    if (bytes.empty()) return;  // fmemopen needs a buffer
    std::unique_ptr<std::FILE, FileCloser> file(::fmemopen(bytes.data(), bytes.size(), "rb"));
    if (!file) std::abort();
    std::string buffer;
    bool tooLong = false;
    std::size_t total = 0;
    for (const Line& line : lines) {
        const std::size_t taken = ReadCatalogueLine(file.get(), buffer, tooLong);
        if (taken != line.taken || buffer != line.text) std::abort();
        if (tooLong != (line.text.size() > kCatalogueLineLimit)) std::abort();
        total += taken;
    }
    if (ReadCatalogueLine(file.get(), buffer, tooLong) != 0 || !buffer.empty()) std::abort();
    if (total != bytes.size()) std::abort();
}

// The catalogue the format says the file gives, starting from `before`.
CommandCatalogue modelCatalogue(const std::vector<Line>& lines, CommandCatalogue catalogue) {
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string& key = lines[i].text;
        if (key.empty()) continue;
        const std::string value = i + 1 < lines.size() ? lines[i + 1].text : std::string();
        ++i;
        for (std::size_t k = 0; k < kCatalogueEntryCount; ++k) {
            const auto entry = static_cast<CatalogueKey>(k);
            if (key.find(CatalogueKeyName(entry)) != std::string::npos) catalogue[entry] = value;
        }
    }
    return catalogue;
}

bool sameCatalogue(const CommandCatalogue& a, const CommandCatalogue& b) {
    for (std::size_t k = 0; k < kCatalogueEntryCount; ++k) {
        const auto entry = static_cast<CatalogueKey>(k);
        if (a[entry] != b[entry]) return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::vector<Line> lines = splitLines(bytes);
    checkLineReader(bytes, lines);

    const std::filesystem::path& folder = catalogueFolder();
    {
        std::unique_ptr<std::FILE, FileCloser> file(
            std::fopen((folder / "config.txt").c_str(), "wb"));
        if (!file || std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size()) {
            std::abort();
        }
    }
    // Entries the file does not name must keep what they held.
    CommandCatalogue before;
    for (std::size_t k = 0; k < kCatalogueEntryCount; ++k) {
        before[static_cast<CatalogueKey>(k)] = "antes " + std::to_string(k);
    }
    CommandCatalogue loaded = before;
    const CatalogueLoadResult result = LoadCommandCatalogue(loaded, folder);

    std::size_t firstTooLong = 0;
    for (std::size_t i = 0; i < lines.size() && firstTooLong == 0; ++i) {
        if (lines[i].text.size() > kCatalogueLineLimit) firstTooLong = i + 1;
    }
    if (firstTooLong != 0) {
        if (result.status != CatalogueLoadResult::Status::LineTooLong) std::abort();
        if (result.lineNumber != firstTooLong) std::abort();
        if (!sameCatalogue(loaded, before)) std::abort();
        if (CatalogueFailureMessage(result).find(std::to_string(firstTooLong)) ==
            std::string::npos) {
            std::abort();
        }
    } else {
        if (result.status != CatalogueLoadResult::Status::Loaded) std::abort();
        if (!sameCatalogue(loaded, modelCatalogue(lines, before))) std::abort();
    }
    return 0;
}
