#include "password_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "port_refusal.h"

namespace cofralin::cli {

namespace {

// A password is short; a bigger file is no password file.
constexpr std::size_t kLongestFile = 4096;

std::string refused(const std::filesystem::path& file, std::string_view why) {
    return "--clave-fichero: no se usa " + file.string() + ": " + std::string(why) + ".";
}

}  // namespace

std::optional<std::string> ReadPasswordFile(const std::filesystem::path& file, std::string& error) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = refused(file, errno == ELOOP ? "es un enlace simbólico" : ErrorInWords(errno));
        return std::nullopt;
    }
    struct stat status {};
    std::string text;
    if (::fstat(fd, &status) != 0) {
        error = refused(file, ErrorInWords(errno));
    } else if (!S_ISREG(status.st_mode)) {
        error = refused(file, "no es un fichero normal");
    } else if ((status.st_mode & 077) != 0) {
        error = refused(file,
                        "otros usuarios pueden leerlo o cambiarlo; déjelo solo para usted con "
                        "«chmod 600 " +
                            file.string() + "»");
    } else if (status.st_uid != ::geteuid() && status.st_uid != 0) {
        error = refused(file, "es de otro usuario");
    } else if (static_cast<std::size_t>(status.st_size) > kLongestFile) {
        error = refused(file, "es demasiado grande para ser una contraseña");
    } else {
        char buffer[kLongestFile];
        ssize_t n = 0;
        while ((n = ::read(fd, buffer, sizeof buffer)) > 0) {
            text.append(buffer, static_cast<std::size_t>(n));
            if (text.size() > kLongestFile) break;
        }
    }
    ::close(fd);
    if (!error.empty()) return std::nullopt;
    text = text.substr(0, text.find('\n'));
    if (text.ends_with('\r')) text.pop_back();
    if (text.empty()) {
        error = refused(file, "no contiene ninguna contraseña en su primera línea");
        return std::nullopt;
    }
    return text;
}

PasswordConfig ReadPasswordConfig(const std::optional<std::filesystem::path>& file,
                                  bool inputIsTerminal, std::string& error) {
    PasswordConfig config;
    if (file) {
        config.given = ReadPasswordFile(*file, error);
    } else if (const char* variable = std::getenv("COFRALIN_CLAVE"); variable && *variable) {
        config.given = variable;
    }
    config.canPrompt = !config.given && inputIsTerminal;
    return config;
}

}  // namespace cofralin::cli
