#include "order_runs.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "connection.h"
#include "messages.h"
#include "multi_pc.h"
#include "port_mappings.h"
#include "router_copies.h"
#include "router_port.h"
#include "router_reading.h"
#include "serial_line.h"
#include "single_pc.h"
#include "software_update.h"

namespace cofralin::cli {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::string_view kVcPlanText =
    "El Router no tiene el circuito de Internet: la conexión lo crearía con estas líneas. Las "
    "de la orden se sabrán cuando exista.";
constexpr std::string_view kNotConfirmedText =
    "No se confirmó el cambio: no se ha enviado nada al Router.";
constexpr std::string_view kMappingsNeedMultiPcText =
    "Las asignaciones de puertos solo se gestionan en modo multipuesto, y el Router no está en "
    "ese modo: no se ha enviado nada.";

std::string plannedText(std::size_t lines) {
    return "Comprobación: se enviarían estas " + std::to_string(lines) +
           " líneas; no se ha enviado ninguna.";
}

// The port could not be opened: what OpenRouterPort told, and why, as the
// window's port line says it.
std::string openRefusal(const PortTarget& target, const CliFrontend& frontend) {
    std::string text = frontend.told();
    const OpenTrial trial = TryOpenExclusive(target.device, kLockDirectory);
    if (trial.refusal) text += "\n" + RefusalText(*trial.refusal);
    return text;
}

// The result of a procedure's outcome; a failure that told nothing still
// says what happened.
void take(PortResult& result, const Outcome& outcome) {
    result.result = ResultOf(outcome.ending);
    if (!outcome.copy.empty()) result.copy = outcome.copy.string();
    if (!outcome.message.empty()) {
        result.message = outcome.message;
    } else if (outcome.ending == Ending::LoginFailed) {
        result.message = kWrongPasswordText;
    } else if (outcome.ending == Ending::NotConfirmed) {
        result.message = kNotConfirmedText;
    }
}

// A dry run's report: the lines and how many.
void takePlan(PortResult& result, const Outcome& outcome) {
    result.lines = outcome.planned;
    result.message = plannedText(outcome.planned.size());
}

bool confirmSwitch(CliFrontend& frontend, std::string_view mode, std::string_view caption) {
    return frontend.confirm(
        {"Se dispone a pasar el Router a modo " + std::string(mode) + "\n¿Está seguro?",
         std::string(caption), MessageSeverity::Notice},
        Answers::YesNo);
}

void runSwitch(PortResult& result, const CliRequest& request, RouterSession& session,
               CliFrontend& frontend, RouterMode from) {
    const bool toSinglePc = request.order == Order::SinglePc;
    const std::string mode = toSinglePc ? "monopuesto" : "multipuesto";
    if (from == (toSinglePc ? RouterMode::SinglePc : RouterMode::MultiPc)) {
        result.result = Result::Unchanged;
        result.message = "El Router ya está en modo " + mode + ": no hay nada que cambiar.";
        if (request.dryRun) result.lines.emplace();
        return;
    }
    if (!confirmSwitch(frontend, mode, toSinglePc ? "Monopuesto" : "Multipuesto")) {
        result.result = Result::Stopped;
        result.message = kNotConfirmedText;
        return;
    }
    frontend.beginStep("cambio a " + mode);
    const Outcome outcome = toSinglePc ? RunSinglePcSwitch(session, frontend, request.singlePc)
                                       : RunMultiPcSwitch(session, frontend, request.multiPc);
    take(result, outcome);
    const RouterMode found = result.read.mode;
    result.read = outcome.read;
    result.read.mode = found;
    if (!outcome.done()) return;
    if (request.dryRun) {
        takePlan(result, outcome);
        return;
    }
    // The addresses the switch read before its lines no longer hold: only
    // the mode it checked is reported.
    result.read = RouterReading{};
    result.read.mode = toSinglePc ? RouterMode::SinglePc : RouterMode::MultiPc;
    result.message = "El Router está ahora en modo " + mode + ", comprobado en sus listados.";
}

const std::vector<std::string>& tableOf(const MappingTables& tables, TrafficType type) {
    return type == TrafficType::Tcp ? tables.tcp : tables.udp;
}

std::string protocolName(TrafficType type) { return type == TrafficType::Tcp ? "TCP" : "UDP"; }

// The list entry of the table whose public port is `port`, if any.
std::optional<std::string> entryWithPort(const std::vector<std::string>& table,
                                         const std::string& port) {
    for (const std::string& entry : table) {
        if (ListsPublicPort({entry}, port)) return entry;
    }
    return std::nullopt;
}

void runMappingChange(PortResult& result, const CliRequest& request, RouterSession& session,
                      CliFrontend& frontend) {
    if (result.read.mode != RouterMode::MultiPc) {
        result.result = Result::Invalid;
        result.message = kMappingsNeedMultiPcText;
        return;
    }
    frontend.beginStep("lectura de las asignaciones");
    const Outcome listed = RefreshMappings(session, frontend);
    result.read.mappings = listed.read.mappings;
    if (!listed.done()) {
        take(result, listed);
        return;
    }
    const std::vector<std::string>& table = tableOf(*listed.read.mappings, request.mappingType);
    const std::string& port = request.mapping.PublicPortText;
    const std::string kind = protocolName(request.mappingType);

    Outcome outcome;
    std::string warning;
    if (request.order == Order::MappingAdd) {
        if (ListsMapping(table, request.mapping)) {
            result.result = Result::Unchanged;
            result.message = "El Router ya tiene esa asignación " + kind + " del puerto público " +
                             port + ": no hay nada que cambiar.";
            if (request.dryRun) result.lines.emplace();
            return;
        }
        if (entryWithPort(table, port)) {
            warning = "\nAviso: el puerto público " + kind + " " + port +
                      " ya está asignado a otro equipo; el Router puede rechazar el alta.";
        }
        frontend.beginStep("alta de la asignación");
        outcome = AddMapping(session, frontend, request.mappingType, request.mapping);
    } else {
        const std::optional<std::string> entry = entryWithPort(table, port);
        if (!entry) {
            result.result = Result::Unchanged;
            result.message = "El Router no tiene ninguna asignación " + kind +
                             " del puerto público " + port + ": no hay nada que cambiar.";
            if (request.dryRun) result.lines.emplace();
            return;
        }
        frontend.beginStep("baja de la asignación");
        outcome = DeleteMapping(session, frontend, request.mappingType, MappingPortText(*entry));
    }
    take(result, outcome);
    if (outcome.read.mappings) result.read.mappings = outcome.read.mappings;
    if (!outcome.done()) return;
    if (request.dryRun) {
        takePlan(result, outcome);
        result.message += warning;
        return;
    }
    result.message = request.order == Order::MappingAdd
                         ? "Asignación " + kind + " del puerto público " + port +
                               " añadida, comprobada en el listado del Router."
                         : "Asignación " + kind + " del puerto público " + port +
                               " eliminada, comprobada en el listado del Router.";
}

// The comparison in words, for "version": the window's texts, without the
// request to answer that only the hand-over needs.
std::string comparisonText(const std::string& shipped, const std::string& router) {
    const int order = CompareVersions(shipped, router);
    if (order <= 0) {
        return VersionText(order < 0 ? kRouterNewerText : kSameVersionText, shipped, router);
    }
    std::string text = VersionText(kShippedNewerText, shipped, router);
    text = text.substr(0, text.rfind('\n'));
    return text + "\nSe puede actualizar con la orden «actualizar».";
}

// Waits for the upgrade program the hand-over started, the only child.
int waitForUpgradeProgram() {
    int status = 0;
    while (::waitpid(-1, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

void runVersion(PortResult& result, const CliRequest& request, RouterSession& session,
                CliFrontend& frontend) {
    const std::string& shipped = session.catalogue()[CatalogueKey::VERSION];
    result.shippedVersion = shipped;
    frontend.beginStep(request.order == Order::Update ? "actualización"
                                                      : "comparación de versiones");
    // The upgrade program writes on the standard output: its lines go to the
    // error stream, so that every line of the output is the program's own.
    const int savedOutput = request.order == Order::Update ? ::dup(STDOUT_FILENO) : -1;
    if (savedOutput >= 0) ::dup2(STDERR_FILENO, STDOUT_FILENO);
    const Outcome outcome = UpdateRouterSoftware(session, frontend);
    const int programStatus = outcome.ending == Ending::HandedOver ? waitForUpgradeProgram() : 0;
    if (savedOutput >= 0) {
        ::dup2(savedOutput, STDOUT_FILENO);
        ::close(savedOutput);
    }
    result.read.routerVersion = outcome.read.routerVersion;
    take(result, outcome);
    if (outcome.ending == Ending::HandedOver) {
        result.message =
            "La línea se entregó al programa de actualización; apague y vuelva a encender el "
            "Router para que se produzca la actualización.";
        if (programStatus != 0) {
            result.result = Result::Refused;
            result.message += "\nEl programa de actualización terminó con el estado " +
                              std::to_string(programStatus) + ".";
        }
        return;
    }
    if (!outcome.done() || !outcome.read.routerVersion) return;
    const std::string& router = *outcome.read.routerVersion;
    result.message = comparisonText(shipped, router);
    if (request.order != Order::Update) return;
    if (!frontend.upgradeOffered()) {
        result.result = Result::Unchanged;
    } else if (request.dryRun) {
        result.lines.emplace();
        result.message += "\nComprobación: se entregaría la línea al programa de actualización.";
    } else {
        result.result = Result::Stopped;
        result.message += "\n" + std::string(kNotConfirmedText);
    }
}

void runCopy(PortResult& result, const CliRequest& request, RouterSession& session,
             CliFrontend& frontend) {
    frontend.beginStep("copia del Router");
    const Outcome outcome = KeepRouterCopy(session, frontend, "copia");
    result.read = outcome.read;
    result.shippedVersion = session.catalogue()[CatalogueKey::VERSION];
    take(result, outcome);
    if (!outcome.done()) return;
    if (request.dryRun) {
        result.lines.emplace();
        result.message = "Comprobación: se guardaría una copia del Router; no se ha guardado.";
        return;
    }
    result.message = "Copia guardada en " + outcome.copy.string() + ".";
}

std::string serialWords(const std::string& serial) {
    return serial.empty() ? "desconocido" : "«" + serial + "»";
}

void runRestore(PortResult& result, const CliRequest& request, RouterSession& session,
                CliFrontend& frontend) {
    const RouterCopy& copy = *request.copy;
    const std::string name =
        CopyPathFor(request.copyArgument, session.settings().CopyFolder).filename().string();
    if (copy.serial != session.PortSerial && !request.otherRouter) {
        result.result = Result::Invalid;
        result.message = "La copia " + name + " es del Router con número de serie " +
                         serialWords(copy.serial) + ", y el del puerto tiene " +
                         serialWords(session.PortSerial) +
                         ": no se ha enviado nada. Para restaurarla en otro Router, añada "
                         "--otro-router.";
        return;
    }
    if (!frontend.confirm(
            {"Se dispone a restaurar el Router desde la copia " + name + "\n¿Está seguro?",
             "Restaurar", MessageSeverity::Notice},
            Answers::YesNo)) {
        result.result = Result::Stopped;
        result.message = kNotConfirmedText;
        return;
    }
    frontend.beginStep("restauración");
    const RestoreOutcome restore = RestoreRouterCopy(session, frontend, copy, "restaurar " + name);
    const Outcome& outcome = restore.outcome;
    take(result, outcome);
    result.read = outcome.read;
    result.shippedVersion = session.catalogue()[CatalogueKey::VERSION];
    std::string steps;
    for (const std::string& step : restore.steps) steps += "\n  " + step;
    if (!outcome.done()) {
        if (!steps.empty()) result.message += "\nHecho antes de parar:" + steps;
        return;
    }
    if (restore.steps.empty()) {
        result.result = Result::Unchanged;
        result.message =
            "El Router ya coincide con la copia " + name + ": no hay nada que cambiar.";
        if (request.dryRun) result.lines.emplace();
        return;
    }
    if (request.dryRun) {
        takePlan(result, outcome);
        result.message = "Pasos:" + steps + "\n" + result.message;
        return;
    }
    result.message = "El Router coincide ahora con la copia " + name +
                     ", comprobado en sus listados. Pasos:" + steps;
}

void runOrder(PortResult& result, const CliRequest& request, RouterSession& session,
              CliFrontend& frontend, const Outcome& connection) {
    switch (request.order) {
        case Order::State: {
            frontend.beginStep("lectura del estado");
            const RouterStateReading reading = ReadRouterState(session, frontend);
            result.read = reading.outcome.read;
            result.shippedVersion = session.catalogue()[CatalogueKey::VERSION];
            take(result, reading.outcome);
            if (reading.outcome.done()) result.message = connection.message;
            return;
        }
        case Order::SinglePc:
        case Order::MultiPc:
            return runSwitch(result, request, session, frontend, connection.read.mode);
        case Order::Mappings: {
            frontend.beginStep("lectura de las asignaciones");
            const Outcome listed = RefreshMappings(session, frontend);
            result.read.mappings = listed.read.mappings;
            take(result, listed);
            if (listed.done()) result.message = connection.message;
            return;
        }
        case Order::MappingAdd:
        case Order::MappingDelete:
            return runMappingChange(result, request, session, frontend);
        case Order::Version:
        case Order::Update:
            return runVersion(result, request, session, frontend);
        case Order::Copy:
            return runCopy(result, request, session, frontend);
        case Order::Restore:
            return runRestore(result, request, session, frontend);
        case Order::Ports:
        case Order::Copies:
            return;
    }
}

}  // namespace

std::string_view ResultName(Result result) {
    switch (result) {
        case Result::Ok:
            return "ok";
        case Result::Unchanged:
            return "unchanged";
        case Result::Refused:
            return "refused";
        case Result::Invalid:
            return "invalid";
        case Result::NoAnswer:
            return "no_answer";
        case Result::LineLost:
            return "line_lost";
        case Result::HalfConfigured:
            return "half_configured";
        case Result::LoginFailed:
            return "login_failed";
        case Result::Stopped:
            return "stopped";
        case Result::PortRefused:
            return "port_refused";
    }
    return "";
}

int ExitStatus(Result result) {
    switch (result) {
        case Result::Ok:
        case Result::Unchanged:
            return 0;
        case Result::Refused:
            return 1;
        case Result::Invalid:
            return 2;
        case Result::NoAnswer:
        case Result::LineLost:
        case Result::PortRefused:
            return 3;
        case Result::HalfConfigured:
            return 4;
        case Result::LoginFailed:
            return 5;
        case Result::Stopped:
            return 130;
    }
    return 1;
}

Result ResultOf(Ending ending) {
    switch (ending) {
        case Ending::Done:
        case Ending::HandedOver:
            return Result::Ok;
        case Ending::NotConfirmed:
        case Ending::Stopped:
            return Result::Stopped;
        case Ending::InvalidValue:
        case Ending::MissingCommand:
        case Ending::CopyNotKept:
            return Result::Invalid;
        case Ending::PortClosed:
            return Result::PortRefused;
        case Ending::LoginFailed:
            return Result::LoginFailed;
        case Ending::NoAnswer:
            return Result::NoAnswer;
        case Ending::LineLost:
            return Result::LineLost;
        case Ending::ListingIncomplete:
        case Ending::NotAccepted:
            return Result::Refused;
        case Ending::HalfConfigured:
            return Result::HalfConfigured;
    }
    return Result::Refused;
}

PortResult RunOnPort(const PortTarget& target, const CliRequest& request, RouterSession& session,
                     CliFrontend& frontend) {
    const auto start = Clock::now();
    PortResult result;
    result.port = target.name;
    result.device = target.device;
    result.order = request.order;
    session.runOptions.dryRun = request.dryRun;
    const auto elapsed = [&] {
        result.elapsed =
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
        return result;
    };
    if (target.refusal) {
        result.result = Result::PortRefused;
        result.message = *target.refusal;
        return elapsed();
    }
    frontend.beginStep("apertura del puerto");
    if (!OpenRouterPort(session, target.name, target.device, frontend)) {
        result.result = Result::PortRefused;
        result.message = openRefusal(target, frontend);
        return elapsed();
    }
    // Messages name the port as the command line was given it, whole.
    session.PortName = target.name;
    session.PortProduct = target.product;
    session.PortSerial = target.serial;

    frontend.beginStep("conexión");
    const Outcome connection = RunConnectionProcedure(session, frontend);
    result.read.mode = connection.read.mode;
    take(result, connection);
    if (connection.done() && !connection.planned.empty()) {
        result.lines = connection.planned;
        result.message = std::string(kVcPlanText) + "\n" + plannedText(connection.planned.size());
    } else if (connection.done()) {
        runOrder(result, request, session, frontend, connection);
    }
    CloseRouterPort(session);
    frontend.beginStep(std::string(ResultName(result.result)));
    return elapsed();
}

}  // namespace cofralin::cli
