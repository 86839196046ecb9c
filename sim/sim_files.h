#pragma once
// The files q73sim makes when its command line asks: the record of every byte
// received (--record) and a symbolic link to its device (--link). Both are
// often put in a folder others may write to, such as /tmp, so neither follows
// a link planted there nor replaces anything that is not the simulator's own.
//
//   OpenRecordFile    opens the record, made or emptied, never through a link
//   MakeDeviceLink    makes the link, replacing only one an earlier run left
//   RemoveDeviceLink  removes the link if it still leads to the device

#include <filesystem>
#include <string>

namespace cofralin {

// Opens `path` for writing the record: made with mode 0600 when missing,
// emptied and given mode 0600 when it is a plain file of this user's. Never opened through a
// symbolic link, never a FIFO or device, never another user's file.
// -1 with `error` set when it is refused.
int OpenRecordFile(const std::filesystem::path& path, std::string& error);

// Makes `link` a symbolic link to `device`. Something already there is
// replaced, at once, only when it is a symbolic link of this user's to a
// pseudo-terminal (what an earlier run left); anything else is left alone and
// the result is false with `error` set.
bool MakeDeviceLink(const std::filesystem::path& link, const std::string& device,
                    std::string& error);

// Removes `link` if it is still a symbolic link to `device`.
void RemoveDeviceLink(const std::filesystem::path& link, const std::string& device);

}  // namespace cofralin
