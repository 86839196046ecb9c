#pragma once
// The command catalogue: router command templates and three settings read once
// from "config.txt" in the current directory.
//
// How it works: the file is a sequence of records, each a key line followed by
// a value line. A key line is searched, case-sensitively, for every key name
// in table order; each name found receives the value line. Carriage returns and
// tabs are dropped wherever they stand, zero bytes add nothing, a line feed ends
// a line. Blank lines are skipped only where a key line is expected.
//
// Templates carry placeholder tokens ("a.a.a.a", "m.m.m.m", "a.a.a.a/m.m.m.m",
// "yy", "zz") that the procedures replace before sending.

#include <array>
#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace cofralin {

// The entries in the order in which a key line is tested for them.
enum class CatalogueKey {
    SHOW_DHCP_SERVER_SETTING,
    DISABLE_IP_NETWORK_LAN,
    ENABLE_IP_NETWORK_LAN,
    DELETE_IP_NETWORK_LAN,
    ADD_IP_NETWORK_LAN_ADDRESS_ENABLE_YES,
    DISABLE_VC_INTERNET,
    SET_VC_INTERNET_REMOTE_IP_ADDRESS,
    SET_VC_INTERNET_LOCAL_IP_ADDRESS,
    SET_VC_INTERNET_NAT_OPTION_ENABLE,
    ENABLE_VC_INTERNET,
    SAVE_ALL,
    SHOW_VC_INTERNET,
    SET_DHCP_MODE_SERVER,
    SET_DHCP_SERVER_START,
    SET_DHCP_SERVER_ROUTER,
    SET_DHCP_SERVER_DNS,
    SET_DHCP_SERVER_WIN,
    SET_DHCP_SERVER_LEASE,
    SET_VC_INTERNET_NAT_OPTION_DISABLE,
    SET_VC_INTERNET_DEFAULT_ROUTE_OPTION_ENABLE,
    ADD_NAT_TCP,
    ADD_NAT_UDP,
    EXIT_CLI,
    SET_DHCP_MODE_DISABLE,
    SHOW_SYSTEM,
    SET_VC_INTERNET_NAT_DEFAULT_ADDRESS,
    SET_ADSL_OPEN_ANSI,
    VERSION,
    DOS_COMMAND,
    HTML_HELP,
    // Optional: the operator's management subnet (address/28) that the
    // multi-PC input filter accepts. Empty means the built-in default.
    FILTER_MANAGEMENT_SUBNET,
};

inline constexpr std::size_t kCatalogueEntryCount =
    static_cast<std::size_t>(CatalogueKey::FILTER_MANAGEMENT_SUBNET) + 1;
// The command templates are the entries before VERSION.
inline constexpr std::size_t kCommandTemplateCount =
    static_cast<std::size_t>(CatalogueKey::VERSION);

// A line holds at most this many characters after dropping.
inline constexpr std::size_t kCatalogueLineLimit = 299;

// The key name of an entry, as written in the file.
std::string_view CatalogueKeyName(CatalogueKey key);

class CommandCatalogue {
public:
    const std::string& operator[](CatalogueKey key) const {
        return entries_[static_cast<std::size_t>(key)];
    }
    std::string& operator[](CatalogueKey key) { return entries_[static_cast<std::size_t>(key)]; }

private:
    std::array<std::string, kCatalogueEntryCount> entries_{};
};

// One line of the file, read byte by byte. `tooLong` is set when the line holds
// more than kCatalogueLineLimit characters after dropping; the buffer then keeps
// them all so that the caller can refuse the file. Result: the number of bytes
// taken from the file for this line, 0 only when the file had nothing left.
std::size_t ReadCatalogueLine(std::FILE* file, std::string& buffer, bool& tooLong);

struct CatalogueLoadResult {
    enum class Status { Loaded, FileMissing, LineTooLong };
    Status status = Status::Loaded;
    std::size_t lineNumber = 0;       // the over-long line, counted from 1
    std::filesystem::path file;       // the file that was read, when one was found
    std::filesystem::path directory;  // the folder searched, made absolute
};

// Where the package installs the catalogue that ships with the program.
inline constexpr std::string_view kShippedCatalogue = COFRALIN_SHIPPED_CATALOGUE;

// Finds "config.txt" in `directory` whatever the letter case of its name.
std::filesystem::path FindCatalogueFile(const std::filesystem::path& directory);

// Fills `catalogue` from the catalogue file of `directory`. Entries not named
// by the file keep what they held. A refused file leaves the catalogue as it
// was before the call.
CatalogueLoadResult LoadCommandCatalogue(CommandCatalogue& catalogue,
                                         const std::filesystem::path& directory = ".");

// The same from the catalogue file `path`, whatever its name (an empty path
// is a missing file).
CatalogueLoadResult LoadCommandCatalogueFile(CommandCatalogue& catalogue,
                                             const std::filesystem::path& path);

// The Spanish text that tells the user why the file was refused.
std::string CatalogueFailureMessage(const CatalogueLoadResult& result);

// The command templates left empty, in table order. A file with a record too
// many or too few at its top leaves them all empty.
std::vector<CatalogueKey> EmptyTemplates(const CommandCatalogue& catalogue);

// The first of `keys` whose template is empty, if any.
std::optional<CatalogueKey> FirstEmptyTemplate(const CommandCatalogue& catalogue,
                                               std::span<const CatalogueKey> keys);

// "Falta una orden en CONFIG.TXT: KEY.", how an operation that needs an
// empty template names it.
std::string MissingCommandText(CatalogueKey key);

// What the start tells of the empty templates; empty when there are none.
std::string EmptyTemplatesText(const std::vector<CatalogueKey>& keys);

}  // namespace cofralin
