#pragma once
// A copy of the router taken before a change: the three listings as the
// router sent them, what they show, the port and its device, the time and
// the change about to be made. One file per copy, in a folder of the user's
// own, and the way to read one back.
//
// How it works: a copy's file is text, written in one go and checked whole
// when read. The header lines name the port, the device and the change; the
// reading's lines say what the listings show; then each listing follows
// with its length and its bytes as received; a last line holds a checksum
// of everything before it. Reading a copy re-derives what the listings show
// and writes the whole file again from what it read: a file that is not
// byte for byte what this program would write (truncated, edited, another
// program's) is refused, naming what is wrong. Files are created beside
// their final name, readable by their owner alone, never through a symbolic
// link, and renamed into place once whole, so a copy is complete or absent.
//
//   CopyText / ParseCopy   the file's bytes and back (pure)
//   WriteCopy              a new file in the copies folder
//   ReadCopyFile           one file, refused unless whole and ours
//   ListCopies             every copy in the folder, the bad ones named
//   DefaultCopyFolder      $XDG_DATA_HOME/cofralin/copias

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "outcome.h"
#include "router_reading.h"

namespace cofralin {

struct RouterCopy {
    std::string time;     // UTC, "2026-12-10T06:40:00Z"
    std::string port;     // "COM1:"
    std::string device;   // "/dev/ttyUSB0"
    std::string product;  // the adapter's, where known
    std::string serial;   // the adapter's serial number, where known
    std::string change;   // the change about to be made, in the command line's words
    RouterListings listings;
    RouterReading reading;  // what the listings show

    bool operator==(const RouterCopy&) const = default;
};

// The file name extension of a copy.
inline constexpr std::string_view kCopyExtension = ".copia";

// The whole file of `copy`; its reading is written as ReadingOfListings
// derives it from its listings.
std::string CopyText(const RouterCopy& copy);

// The copy held by `bytes`, or what is wrong with them, in Spanish.
std::variant<RouterCopy, std::string> ParseCopy(std::string_view bytes);

// $XDG_DATA_HOME/cofralin/copias, $XDG_DATA_HOME being ~/.local/share when
// unset or not absolute. Empty when no home is known.
std::filesystem::path DefaultCopyFolder();

struct CopyWrite {
    std::filesystem::path path;  // set once written
    std::string error;           // why not, in Spanish, the folder named
};

// Writes `copy` to a new file in `folder`, made with its parents when
// missing (the folder itself readable by its owner alone).
CopyWrite WriteCopy(const std::filesystem::path& folder, const RouterCopy& copy);

// The copy in the file at `path`, or the message that names the file and
// what is wrong with it.
std::variant<RouterCopy, std::string> ReadCopyFile(const std::filesystem::path& path);

struct ListedCopy {
    std::filesystem::path path;
    std::optional<RouterCopy> copy;  // unset: `error` says why it is refused
    std::string error;
};

// Every "*.copia" file of `folder`, oldest name first; nothing when the
// folder does not exist.
std::vector<ListedCopy> ListCopies(const std::filesystem::path& folder);

// The file a copy argument names: a path as given when it holds a "/",
// else that name (".copia" added when missing) in `folder`.
std::filesystem::path CopyPathFor(std::string_view argument, const std::filesystem::path& folder);

}  // namespace cofralin
