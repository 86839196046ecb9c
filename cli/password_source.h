#pragma once
// Where the command line takes the router's password from when the built-in
// one was refused: a file that only its owner may read (--clave-fichero), or
// else the variable COFRALIN_CLAVE, or, failing both, a no-echo prompt while
// the standard input is a terminal. Never from the arguments.
//
// How it works: the text is read once at start (a file readable by its group
// or by others, a link, or anything but a regular file is refused before any
// router is touched). Within one procedure the source gives its password
// once: the router refusing it again ends the log-in. A typed password is
// asked again as often as the router refuses it, and kept for the next
// procedure on the same port. The password is only ever handed to the
// router; the run log masks it like the window's.

#include <filesystem>
#include <optional>
#include <string>

namespace cofralin::cli {

struct PasswordConfig {
    std::optional<std::string> given;  // from the variable or the file
    bool canPrompt = false;            // no given one, and the input is a terminal
};

// The file, when one was named (`error` is set when it is refused, naming it
// and why); else the variable.
PasswordConfig ReadPasswordConfig(const std::optional<std::filesystem::path>& file,
                                  bool inputIsTerminal, std::string& error);

// The password of a file: its first line, without its line end. Nothing, with
// `error`, unless the file is a regular file (not a link) of this user or of
// root whose mode grants nothing to its group or to others, holding a line.
std::optional<std::string> ReadPasswordFile(const std::filesystem::path& file, std::string& error);

}  // namespace cofralin::cli
