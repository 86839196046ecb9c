#include "run_log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "router_session.h"

namespace cofralin {

namespace {

constexpr std::string_view kLineEnding = "\r\n";

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
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            failure = describeError(n < 0 ? errno : ENOSPC);
            break;
        }
        written += static_cast<std::size_t>(n);
    }
    if (::close(fd) != 0 && !failure && errno != EINTR) failure = describeError(errno);
    return failure;
}

std::string MaskSecrets(std::string_view text, std::initializer_list<std::string_view> secrets) {
    std::string masked(text);
    for (const std::string_view secret : secrets) {
        if (secret.empty()) continue;
        // Overlapping occurrences are masked as well ("aa" in "aaa").
        for (std::size_t at = text.find(secret); at != std::string_view::npos;
             at = text.find(secret, at + 1)) {
            masked.replace(at, secret.size(), secret.size(), '*');
        }
    }
    return masked;
}

void RunLog::Append(std::string_view reply, std::initializer_list<std::string_view> secrets) {
    if (!enabled()) return;
    const std::optional<std::string> failure = AppendToRunLog(path_, MaskSecrets(reply, secrets));
    if (!failure || failureTold_) return;
    failureTold_ = true;
    if (onFailure) onFailure(RunLogFailureMessage(path_, *failure));
}

void LogReply(RouterSession& session, std::string_view reply) {
    std::string_view typed = session.UserPassword;
    if (typed.ends_with(kLineEnding)) typed.remove_suffix(kLineEnding.size());
    session.runLog.Append(reply, {session.settings().DefaultPassword, typed});
}

std::string RunLogFailureMessage(const std::filesystem::path& path, std::string_view reason) {
    return "No se puede escribir el registro " + path.string() + ": " + std::string(reason) +
           ". Las respuestas del router no se guardarán en él.";
}

}  // namespace cofralin
