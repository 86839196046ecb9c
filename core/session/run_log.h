#pragma once
// The run log "Router.log": the raw bytes of every drained reply, appended in
// order, nothing the program sent.
//
// How it works: each append opens the file for that moment only, without
// following a symbolic link and without waiting (O_NOFOLLOW | O_NONBLOCK), and
// creates it readable by its owner alone (replies hold addresses and the
// router's configuration). Anything but a regular file (a link, a FIFO, a
// device, a folder) is left untouched. Before a reply is written, the echo of
// a password the program sent is masked with as many asterisks (EchoMask), so
// that a router that echoes it, whole or in pieces, never puts it in the log;
// the reply buffer itself is left as the router sent it. Each session has its
// own log; the first
// append that fails is told, once, through the log's `onFailure` hook, and
// the drain goes on either way. In a folder others may write to and only
// owners may delete from (sticky, as /tmp), a log that is already there and
// that others may read, or that another user owns, is not appended to: the
// log goes on in a new file beside it, readable by its owner alone, and the
// hook says so.

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace cofralin {

// The name the window's run log has in its folder.
inline constexpr std::string_view kRunLogName = "Router.log";

// One session's run log. Without a path it logs nothing.
class RunLog {
public:
    void setPath(std::filesystem::path path) {
        path_ = std::move(path);
        failureTold_ = false;
        pathChecked_ = false;
    }
    const std::filesystem::path& path() const { return path_; }
    bool enabled() const { return !path_.empty(); }

    // Told, once per path, why the log could not be written.
    std::function<void(const std::string& message)> onFailure;

    // Appends `bytes` as they are.
    void Append(std::string_view bytes);

private:
    // Moves the log beside a shared file it must not go into; false when it
    // could not, the reason in `why`.
    bool avoidSharedFile(std::string& why);

    std::filesystem::path path_;
    bool failureTold_ = false;
    bool pathChecked_ = false;
};

// Appends `bytes` to the file at `path`. Nothing when they were written; else
// why not, in Spanish ("es un enlace simbólico", "no es un fichero normal"...).
std::optional<std::string> AppendToRunLog(const std::filesystem::path& path,
                                          std::string_view bytes);

// Masks the echo of a password in what the router sends after it: the
// password's characters, in order, as they come, however the drains cut
// them. Bytes that might begin the echo are held back until the next bytes
// tell; what turns out not to be the echo goes out as it came. Text that does
// not echo the password within a few hundred bytes ends the expectation, so
// a router that echoes asterisks, or nothing, gets nothing masked.
class EchoMask {
public:
    // A password went out: its echo is to come.
    void expect(std::string_view password);
    // What of `reply` may be logged now, the echo masked.
    std::string pass(std::string_view reply);
    // What is still held back, masked: at the end of the run.
    std::string flush();

private:
    void release(std::string& out, std::size_t count);

    std::string secret_;
    std::vector<std::size_t> fallback_;  // where a partial match goes on after a mismatch
    std::string held_;                   // the partial match, as it came
    std::string passed_;                 // what went out since the password
    std::size_t budget_ = 0;             // bytes the echo may still take to come
};

// The message the window shows when the log at `path` cannot be written.
std::string RunLogFailureMessage(const std::filesystem::path& path, std::string_view reason);

}  // namespace cofralin
