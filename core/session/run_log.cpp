#include "run_log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "whole_write.h"

namespace cofralin {

namespace {

constexpr std::string_view kLineEnding = "\r\n";
// How many bytes of other text may come before the echo of a password ends:
// the answer to a line sent before it.
constexpr std::size_t kEchoWithin = 256;

std::string describeError(int error) {
    switch (error) {
        case ELOOP:
            return "es un enlace simbólico";
        case ENXIO:  // a FIFO that nobody reads
            return "no es un fichero normal";
        case EACCES:
        case EPERM:
            return "no hay permiso para escribir en él";
        case EROFS:
            return "el disco es de solo lectura";
        case ENOENT:
        case ENOTDIR:
            return "su carpeta no existe";
        case ENOSPC:
        case EDQUOT:
            return "no queda espacio en el disco";
        default:
            return std::strerror(error);
    }
}

std::string describeKind(mode_t mode) {
    return S_ISLNK(mode) ? "es un enlace simbólico" : "no es un fichero normal";
}

}  // namespace

std::optional<std::string> AppendToRunLog(const std::filesystem::path& path,
                                          std::string_view bytes) {
    // A link, FIFO or device is refused before it is opened: opening a serial
    // device alone can change its modem lines.
    struct stat found {};
    if (::lstat(path.c_str(), &found) == 0 && !S_ISREG(found.st_mode)) {
        return describeKind(found.st_mode);
    }
    const int fd = ::open(
        path.c_str(),
        O_WRONLY | O_CREAT | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0600);
    if (fd < 0) return describeError(errno);
    // What was opened is checked again: the name may have changed meanwhile.
    struct stat opened {};
    if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
        ::close(fd);
        return describeKind(opened.st_mode);
    }
    std::optional<std::string> failure;
    if (!WriteWhole(fd, bytes)) failure = describeError(errno);
    if (::close(fd) != 0 && !failure && errno != EINTR) failure = describeError(errno);
    return failure;
}

bool RunLog::avoidSharedFile(std::string& why) {
    struct stat found {};
    struct stat folder {};
    const std::filesystem::path parent = path_.parent_path().empty() ? "." : path_.parent_path();
    if (::lstat(path_.c_str(), &found) != 0 || !S_ISREG(found.st_mode) ||
        ::stat(parent.c_str(), &folder) != 0 || !(folder.st_mode & S_ISVTX)) {
        return true;
    }
    const bool foreign = found.st_uid != ::geteuid();
    if (!foreign && !(found.st_mode & (S_IRGRP | S_IROTH))) return true;
    // mkstemps makes the file exclusively, readable by its owner alone.
    std::string fresh =
        (parent / (path_.stem().string() + "-XXXXXX" + path_.extension().string())).string();
    const int fd = ::mkstemps(fresh.data(), static_cast<int>(path_.extension().string().size()));
    if (fd < 0) {
        why = describeError(errno);
        return false;
    }
    ::close(fd);
    if (onFailure) {
        onFailure("El registro " + path_.string() +
                  (foreign ? " es de otro usuario" : " lo pueden leer otros usuarios") +
                  ": las respuestas del router se guardan en " + fresh + ".");
    }
    path_ = fresh;
    return true;
}

void RunLog::Append(std::string_view bytes) {
    if (!enabled()) return;
    if (!pathChecked_) {
        pathChecked_ = true;
        if (std::string why; !avoidSharedFile(why)) {
            failureTold_ = true;
            if (onFailure) onFailure(RunLogFailureMessage(path_, why));
            path_.clear();
            return;
        }
    }
    const std::optional<std::string> failure = AppendToRunLog(path_, bytes);
    if (!failure || failureTold_) return;
    failureTold_ = true;
    if (onFailure) onFailure(RunLogFailureMessage(path_, *failure));
}

void EchoMask::expect(std::string_view password) {
    // A typed password ends in the CR LF of its line, which is no character of it.
    if (password.ends_with(kLineEnding)) password.remove_suffix(kLineEnding.size());
    secret_ = std::string(password);
    held_.clear();
    passed_.clear();
    // How far a partial match falls back on a mismatch (the prefix function).
    fallback_.assign(secret_.size(), 0);
    for (std::size_t i = 1, k = 0; i < secret_.size(); ++i) {
        while (k > 0 && secret_[i] != secret_[k]) k = fallback_[k - 1];
        if (secret_[i] == secret_[k]) ++k;
        fallback_[i] = k;
    }
    budget_ = secret_.size() + kEchoWithin;
}

void EchoMask::release(std::string& out, std::size_t count) {
    out.append(held_, 0, count);
    passed_.append(held_, 0, count);
    held_.erase(0, count);
}

std::string EchoMask::pass(std::string_view reply) {
    std::string out;
    for (const char byte : reply) {
        if (secret_.empty()) {
            out += byte;
            continue;
        }
        while (!held_.empty() && byte != secret_[held_.size()]) {
            release(out, held_.size() - fallback_[held_.size() - 1]);
        }
        // The echo starts where the router's answers so far end: at the first
        // byte, or after a prompt ("Password: ", "Zarn-DSL>") or a line.
        const std::string_view before = std::string_view(passed_).substr(
            passed_.size() - std::min<std::size_t>(passed_.size(), 2));
        const bool mayStart = !held_.empty() || passed_.empty() || before.ends_with(": ") ||
                              before.ends_with('>') || before.ends_with('\n');
        if (byte == secret_[held_.size()] && mayStart) {
            held_ += byte;
        } else {
            out += byte;
            passed_ += byte;
        }
        if (held_.size() == secret_.size()) {
            out.append(held_.size(), '*');
            held_.clear();
            secret_.clear();
        } else if (--budget_ == 0) {
            // No echo in clear: the router echoes asterisks, or nothing.
            release(out, held_.size());
            secret_.clear();
        }
    }
    return out;
}

std::string EchoMask::flush() {
    std::string out(held_.size(), '*');
    held_.clear();
    secret_.clear();
    return out;
}

std::string RunLogFailureMessage(const std::filesystem::path& path, std::string_view reason) {
    return "No se puede escribir el registro " + path.string() + ": " + std::string(reason) +
           ". Las respuestas del router no se guardarán en él.";
}

}  // namespace cofralin
