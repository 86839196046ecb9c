#pragma once
// Writing a file's bytes in full: a write may take fewer bytes than it was
// given, or be cut by a signal, and the rest must follow.

#include <string_view>

namespace cofralin {

// Writes every byte of `bytes` to `fd`, again after a signal. False when a
// write failed (errno tells why) or took nothing (errno is ENOSPC).
bool WriteWhole(int fd, std::string_view bytes);

}  // namespace cofralin
