#include "port_refusal.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace cofralin {

namespace {

namespace fs = std::filesystem;

std::string groupName(gid_t gid) {
    if (const group* entry = ::getgrgid(gid); entry && entry->gr_name) return entry->gr_name;
    return std::to_string(gid);
}

std::string userName(uid_t uid) {
    if (const passwd* entry = ::getpwuid(uid); entry && entry->pw_name) return entry->pw_name;
    return std::to_string(uid);
}

// Why a lock counts as left behind.
std::string staleReason(const StaleLock& stale) {
    if (stale.pid > 0) return "su proceso " + std::to_string(stale.pid) + " ya no existe";
    return "de dueño desconocido: " + stale.defect;
}

bool isNumber(const std::string& text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

}  // namespace

PortRefusal ExplainOpenFailure(const std::string& device, int error) {
    PortRefusal refusal;
    refusal.device = device;
    refusal.error = error;
    switch (error) {
        case ENOENT:
        case ENOTDIR:
        case ENODEV:
        case ENXIO:
            refusal.reason = PortRefusal::Reason::Absent;
            break;
        case EACCES:
        case EPERM: {
            refusal.reason = PortRefusal::Reason::Permission;
            refusal.user = userName(::getuid());
            struct stat node {};
            if (::stat(device.c_str(), &node) == 0) {
                // A group that may not read and write gives no way in.
                if ((node.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP)) {
                    refusal.group = groupName(node.st_gid);
                }
                refusal.owner = userName(node.st_uid);
            }
            break;
        }
        case EBUSY:
        case EWOULDBLOCK:
            refusal.reason = PortRefusal::Reason::Held;
            refusal.holder = ProcessHolding(device);
            break;
        default:
            refusal.reason = PortRefusal::Reason::Other;
            break;
    }
    return refusal;
}

PortRefusal RefusedByLock(const std::string& device, const LockCheck& check) {
    PortRefusal refusal;
    refusal.device = device;
    refusal.lockFile = check.file;
    refusal.error = check.error;
    switch (check.status) {
        case LockCheck::Status::Free:
        case LockCheck::Status::Held:
            refusal.reason = PortRefusal::Reason::Held;
            refusal.holder = check.holder;
            break;
        case LockCheck::Status::Stuck:
            refusal.reason = PortRefusal::Reason::StaleLock;
            refusal.stale = check.stale;
            break;
        case LockCheck::Status::UnsafeFolder:
            refusal.reason = PortRefusal::Reason::UnsafeLockFolder;
            break;
    }
    return refusal;
}

PortRefusal NotASerialPort(const std::string& device, std::string detail) {
    PortRefusal refusal;
    refusal.reason = PortRefusal::Reason::NotSerial;
    refusal.device = device;
    refusal.detail = std::move(detail);
    return refusal;
}

std::optional<LockHolder> ProcessHolding(const std::string& device) {
    std::error_code error;
    const fs::path real = fs::canonical(device, error);
    if (error) return std::nullopt;
    const std::string self = std::to_string(::getpid());
    for (fs::directory_iterator process("/proc", error), end; !error && process != end;
         process.increment(error)) {
        const std::string pid = process->path().filename().string();
        if (!isNumber(pid) || pid == self) continue;
        std::error_code unreadable;
        for (fs::directory_iterator fd(process->path() / "fd", unreadable);
             !unreadable && fd != end; fd.increment(unreadable)) {
            std::error_code gone;
            if (fs::read_symlink(fd->path(), gone) == real) {
                const auto number = static_cast<pid_t>(std::atol(pid.c_str()));
                return LockHolder{number, ProgramNameOf(number)};
            }
        }
    }
    return std::nullopt;
}

std::string ErrorInWords(int error) {
    switch (error) {
        case EACCES:
            return "Permiso denegado";
        case EPERM:
            return "Operación no permitida";
        case ENOENT:
            return "No existe el fichero o el directorio";
        case ENOTDIR:
            return "Una parte de la ruta no es una carpeta";
        case EISDIR:
            return "Es una carpeta";
        case ENODEV:
            return "No existe tal dispositivo";
        case ENXIO:
            return "No existe el dispositivo o la dirección";
        case EBUSY:
            return "Dispositivo o recurso ocupado";
        case EAGAIN:
            return "Recurso no disponible temporalmente";
        case EIO:
            return "Error de entrada/salida";
        case ELOOP:
            return "Demasiados niveles de enlaces simbólicos";
        case ENAMETOOLONG:
            return "Nombre de fichero demasiado largo";
        case EROFS:
            return "Sistema de ficheros de solo lectura";
        case EMFILE:
            return "Demasiados ficheros abiertos";
        case ENFILE:
            return "Demasiados ficheros abiertos en el sistema";
        case ENOMEM:
            return "No hay memoria suficiente";
        case EINTR:
            return "Llamada al sistema interrumpida";
        case EINVAL:
            return "Argumento no válido";
        case ENOTTY:
            return "No es un terminal";
        case ENOTEMPTY:
            return "La carpeta no está vacía";
        case ENOSPC:
            return "No queda espacio en el dispositivo";
        case EDQUOT:
            return "Cuota de disco superada";
        case ETXTBSY:
            return "Fichero de texto ocupado";
        case ENOEXEC:
            return "Formato de ejecutable incorrecto";
        case E2BIG:
            return "Lista de argumentos demasiado larga";
        default:
            return "Error desconocido del sistema (" + std::to_string(error) + ")";
    }
}

std::string StaleLockText(const StaleLock& stale) {
    return "Se quitó el bloqueo abandonado " + stale.file.string() + " (" + staleReason(stale) +
           ").";
}

std::string RefusalText(const PortRefusal& refusal) {
    const std::string& device = refusal.device;
    const std::string lockFile = refusal.lockFile.string();
    switch (refusal.reason) {
        case PortRefusal::Reason::Absent:
            return device + " no existe.";
        case PortRefusal::Reason::NotSerial:
            return device + " no es un puerto serie: " + refusal.detail + ".";
        case PortRefusal::Reason::Permission:
            if (!refusal.group.empty()) {
                return "Sin permiso para abrir " + device + " (grupo " + refusal.group +
                       "): ejecute «sudo usermod -aG " + refusal.group + " " + refusal.user +
                       "» y vuelva a iniciar la sesión.";
            }
            if (!refusal.owner.empty()) {
                return "Sin permiso para abrir " + device + ": sólo puede usarlo " + refusal.owner +
                       ".";
            }
            return "Sin permiso para abrir " + device + ".";
        case PortRefusal::Reason::Held:
            if (refusal.holder && refusal.holder->pid > 0) {
                const std::string pid = std::to_string(refusal.holder->pid);
                if (!refusal.holder->program.empty()) {
                    return device + " está en uso por " + refusal.holder->program + " (PID " + pid +
                           ").";
                }
                return device + " está en uso por el proceso " + pid + ".";
            }
            if (!lockFile.empty() && refusal.error != 0) {
                return device + " está bloqueado por " + lockFile +
                       ", que no puede leerse: " + ErrorInWords(refusal.error) + ".";
            }
            if (!lockFile.empty()) {
                return device + " está en uso por otro programa (bloqueo " + lockFile + ").";
            }
            return device + " está en uso por otro programa.";
        case PortRefusal::Reason::StaleLock:
            return device + " no se ofrece: no pudo quitarse el bloqueo abandonado " + lockFile +
                   " (" + staleReason(refusal.stale.value_or(StaleLock{})) +
                   "): " + ErrorInWords(refusal.error) + ".";
        case PortRefusal::Reason::UnsafeLockFolder: {
            const std::string folder = refusal.lockFile.parent_path().string();
            return device + " no se ofrece: cualquier usuario puede cambiar los bloqueos de " +
                   folder + " (la carpeta no tiene el bit «sticky»); ejecute «sudo chmod +t " +
                   folder + "».";
        }
        case PortRefusal::Reason::Other:
            break;
    }
    return "No pudo abrirse " + device + ": " + ErrorInWords(refusal.error) + ".";
}

}  // namespace cofralin
