#pragma once
// The run log "Router.log": the raw bytes of every drained reply, appended in
// order, nothing the program sent.
//
// How it works: each append opens the file for that moment only, without
// following a symbolic link and without waiting (O_NOFOLLOW | O_NONBLOCK), and
// creates it readable by its owner alone (replies hold addresses and the
// router's configuration). Anything but a regular file (a link, a FIFO, a
// device, a folder) is left untouched. Before a reply is written, the
// passwords the program sends are masked with as many asterisks, so that a
// router that echoes them never puts them in the log; the reply buffer itself
// is left as the router sent it. Each session has its own log; the first
// append that fails is told, once, through the log's `onFailure` hook, and
// the drain goes on either way.

#include <filesystem>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace cofralin {

class RouterSession;

// The name the window's run log has in its folder.
inline constexpr std::string_view kRunLogName = "Router.log";

// One session's run log. Without a path it logs nothing.
class RunLog {
public:
    void setPath(std::filesystem::path path) {
        path_ = std::move(path);
        failureTold_ = false;
    }
    const std::filesystem::path& path() const { return path_; }
    bool enabled() const { return !path_.empty(); }

    // Told, once per path, why the log could not be written.
    std::function<void(const std::string& message)> onFailure;

    // Appends `reply` with every byte of each of `secrets` in it masked.
    void Append(std::string_view reply, std::initializer_list<std::string_view> secrets);

private:
    std::filesystem::path path_;
    bool failureTold_ = false;
};

// Appends `bytes` to the file at `path`. Nothing when they were written; else
// why not, in Spanish ("es un enlace simbólico", "no es un fichero normal"...).
std::optional<std::string> AppendToRunLog(const std::filesystem::path& path,
                                          std::string_view bytes);

// `text` with every byte that lies inside an occurrence of one of `secrets`
// replaced by '*'. Empty secrets mask nothing.
std::string MaskSecrets(std::string_view text, std::initializer_list<std::string_view> secrets);

// Logs one drained reply in the session's run log, the built-in and the
// typed password masked.
void LogReply(RouterSession& session, std::string_view reply);

// The message the window shows when the log at `path` cannot be written.
std::string RunLogFailureMessage(const std::filesystem::path& path, std::string_view reason);

}  // namespace cofralin
