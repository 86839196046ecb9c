#include "router_copies.h"

#include <functional>

#include "messages.h"
#include "multi_pc.h"
#include "operation.h"
#include "port_mappings.h"
#include "single_pc.h"
#include "value_checks.h"

namespace cofralin {

namespace {

// What keeping a copy shows: a progress bar, nothing else.
constexpr ExchangeDisplay kCopyDisplay{true, false, false};

// A listed address as plain numbers; nothing when unlisted or no address.
std::optional<std::string> plain(const std::optional<std::string>& address) {
    return address ? PlainAddress(*address) : std::nullopt;
}

// The circuit's "a.b.c.d/p" as the address and the dotted mask of p.
std::optional<std::pair<std::string, std::string>> subnetParts(
    const std::optional<std::string>& subnet) {
    if (!subnet) return std::nullopt;
    const std::size_t slash = subnet->find('/');
    if (slash == std::string::npos) return std::nullopt;
    const std::optional<std::string> address = plain(subnet->substr(0, slash));
    const std::string prefixText = subnet->substr(slash + 1);
    if (!address || prefixText.empty() || prefixText.size() > 2 ||
        prefixText.find_first_not_of("0123456789") != std::string::npos) {
        return std::nullopt;
    }
    const int prefix = std::stoi(prefixText);
    if (prefix > 32) return std::nullopt;
    return std::pair{*address, MaskOfPrefix(prefix)};
}

// A table entry's fields: public port, private address, private port.
struct MappingEntry {
    TrafficType type = TrafficType::None;
    std::string portText;  // as the list gives it, for the delete
    PortMappingTexts texts;
};

std::string withoutZeros(std::string_view digits) {
    while (digits.size() > 1 && digits.front() == '0') digits.remove_prefix(1);
    return std::string(digits);
}

std::optional<MappingEntry> entryOf(TrafficType type, const std::string& entry) {
    const std::vector<std::string_view> fields = MappingEntryFields(entry);
    if (fields.size() != 3) return std::nullopt;
    const std::optional<std::string> address = PlainAddress(fields[1]);
    if (!address) return std::nullopt;
    return MappingEntry{
        type, MappingPortText(entry), {withoutZeros(fields[0]), withoutZeros(fields[2]), *address}};
}

std::string protocolWord(TrafficType type) { return type == TrafficType::Tcp ? "tcp" : "udp"; }

std::string entryText(const MappingEntry& entry) {
    return protocolWord(entry.type) + " " + entry.texts.PublicPortText + " " +
           entry.texts.PrivateAddressText + " " + entry.texts.PrivatePortText;
}

// Every entry of both tables, udp first; nothing when one is not usable.
std::optional<std::vector<MappingEntry>> entriesOf(const MappingTables& tables) {
    std::vector<MappingEntry> entries;
    for (const auto& [type, table] :
         {std::pair{TrafficType::Udp, &tables.udp}, std::pair{TrafficType::Tcp, &tables.tcp}}) {
        for (const std::string& line : *table) {
            std::optional<MappingEntry> entry = entryOf(type, line);
            if (!entry) return std::nullopt;
            entries.push_back(std::move(*entry));
        }
    }
    return entries;
}

bool samePublicPort(const MappingEntry& a, const MappingEntry& b) {
    return a.type == b.type && a.texts.PublicPortText == b.texts.PublicPortText;
}

bool sameMapping(const MappingEntry& a, const MappingEntry& b) {
    return samePublicPort(a, b) && a.texts.PrivatePortText == b.texts.PrivatePortText &&
           a.texts.PrivateAddressText == b.texts.PrivateAddressText;
}

template <typename Match>
bool anyOf(const std::vector<MappingEntry>& entries, const MappingEntry& entry, Match match) {
    for (const MappingEntry& other : entries) {
        if (match(other, entry)) return true;
    }
    return false;
}

// Answers yes to the questions of the steps: the restore was asked for once.
class ConfirmedFrontend final : public ForwardingFrontend {
public:
    using ForwardingFrontend::ForwardingFrontend;
    bool confirm(const Message&, Answers) override { return true; }
};

// What differs between the router's reading and the copy's, in words.
std::vector<std::string> differences(const RouterReading& now, const RouterReading& copy) {
    std::vector<std::string> differ;
    if (now.mode != copy.mode) differ.emplace_back("el modo");
    if (now.vcLocalAddress != copy.vcLocalAddress || now.vcRemoteSubnet != copy.vcRemoteSubnet) {
        differ.emplace_back("las direcciones del circuito de Internet");
    }
    if (copy.mode == RouterMode::MultiPc && now.dhcpMask != copy.dhcpMask) {
        differ.emplace_back("la máscara de la red local");
    }
    if (copy.mode == RouterMode::MultiPc && copy.mappings && now.mappings != copy.mappings) {
        differ.emplace_back("las asignaciones de puertos");
    }
    return differ;
}

std::string joined(const std::vector<std::string>& words) {
    std::string text;
    for (std::size_t i = 0; i < words.size(); ++i) {
        text += (i == 0 ? "" : i + 1 == words.size() ? " y " : ", ") + words[i];
    }
    return text;
}

// Writes the copy of `listings` taken on `session`'s port before `change`
// and tells where it went: its file name in the status for a moment (the
// status line is narrow), its whole path in the run log.
CopyWrite writeCopy(RouterSession& session, Frontend& frontend, const RouterListings& listings,
                    std::string_view change) {
    RouterCopy copy;
    copy.port = session.PortName;
    copy.device = session.PortDevice;
    copy.product = session.PortProduct;
    copy.serial = session.PortSerial;
    copy.change = change;
    copy.listings = listings;
    const CopyWrite written = WriteCopy(session.settings().CopyFolder, copy);
    if (!written.error.empty()) return written;
    frontend.status("Copia guardada en " + written.path.filename().string());
    if (session.runLog.enabled()) {
        session.runLog.Append("\r\nCopia guardada en " + written.path.string() + "\r\n");
    }
    return written;
}

// A restore's steps share one outcome: what each told, sent and planned.
struct Steps {
    RestoreOutcome restore;
    std::string told;

    // False when the step did not end done: the restore stops there.
    bool take(const Outcome& step, std::string words = {}) {
        Outcome& all = restore.outcome;
        if (!step.message.empty()) told += (told.empty() ? "" : "\n") + step.message;
        all.sent.insert(all.sent.end(), step.sent.begin(), step.sent.end());
        all.planned.insert(all.planned.end(), step.planned.begin(), step.planned.end());
        if (step.read.mappings) all.read.mappings = step.read.mappings;
        if (!step.done()) {
            all.ending = step.ending;
            return false;
        }
        if (!words.empty()) restore.steps.push_back(std::move(words));
        return true;
    }

    RestoreOutcome finish(Ending ending) {
        if (restore.outcome.ending == Ending::Done) restore.outcome.ending = ending;
        restore.outcome.message = told;
        return restore;
    }
};

// One restore: the router read, a copy kept before its first step, the
// steps, and the router read again.
class Restore {
public:
    Restore(RouterSession& session, Frontend& frontend, const RouterCopy& copy,
            std::string_view change)
        : session_(session),
          frontend_(frontend),
          confirmed_(frontend),
          target_(copy.reading),
          copy_(copy),
          change_(change),
          keepCopies_(session.runOptions.keepCopies) {}
    // Each step would otherwise keep a copy of its own.
    ~Restore() { session_.runOptions.keepCopies = keepCopies_; }
    Restore(const Restore&) = delete;
    Restore& operator=(const Restore&) = delete;

    RestoreOutcome run() {
        if (const std::optional<std::string> why = CheckCopyValues(copy_)) {
            return fail("La copia " + *why + ": no se ha enviado nada al Router.",
                        Ending::InvalidValue);
        }
        // The router as it is, kept as a copy before the first step (a dry
        // run and a router that already matches keep none).
        state_ = ReadRouterState(session_, frontend_);
        if (!steps_.take(state_.outcome)) return steps_.finish(Ending::Done);
        copied_ = session_.runOptions.dryRun || session_.settings().CopyFolder.empty();
        session_.runOptions.keepCopies = false;
        const RouterReading& now = state_.outcome.read;
        // A table that cannot be read back into lines stops the restore
        // before anything is sent.
        present_ = now.mappings ? entriesOf(*now.mappings) : std::nullopt;
        if (target_.mode == RouterMode::MultiPc && !present_) {
            return fail(
                "El Router tiene una asignación de puertos que no se entiende: no se ha enviado "
                "nada.",
                Ending::ListingIncomplete);
        }
        if (!restoreMode() || !restoreMappings()) return steps_.finish(Ending::Done);
        if (steps_.restore.steps.empty() || session_.runOptions.dryRun) {
            steps_.restore.outcome.read = now;
            return steps_.finish(Ending::Done);
        }
        return checkAfter();
    }

private:
    RestoreOutcome fail(const std::string& text, Ending ending) {
        frontend_.tell({text, std::string(kErrorCaption), MessageSeverity::Failure});
        steps_.told += (steps_.told.empty() ? "" : "\n") + text;
        return steps_.finish(ending);
    }

    bool copyFirst() {
        if (copied_) return true;
        copied_ = true;
        const CopyWrite written = writeCopy(session_, frontend_, state_.listings, change_);
        if (written.error.empty()) {
            steps_.restore.outcome.copy = written.path;
            return true;
        }
        steps_.restore.outcome.ending = Ending::CopyNotKept;
        fail(written.error + "\n" + std::string(kNothingSentText), Ending::CopyNotKept);
        return false;
    }

    // The switch to the copy's mode with its addresses, when they differ.
    bool restoreMode() {
        const RouterReading& now = state_.outcome.read;
        if (target_.mode == RouterMode::SinglePc &&
            (now.mode != RouterMode::SinglePc || now.vcLocalAddress != target_.vcLocalAddress ||
             now.vcRemoteSubnet != target_.vcRemoteSubnet)) {
            const SinglePcInput input{*plain(target_.vcLocalAddress),
                                      subnetParts(target_.vcRemoteSubnet)->second};
            return copyFirst() &&
                   steps_.take(RunSinglePcSwitch(session_, confirmed_, input),
                               "monopuesto " + input.mgmtAddress + "/" + input.mgmtMask);
        }
        if (target_.mode == RouterMode::MultiPc &&
            (now.mode != RouterMode::MultiPc || now.dhcpMask != target_.dhcpMask)) {
            const MultiPcInput input{*plain(target_.dhcpRouter), *plain(target_.dhcpMask),
                                     std::string(kNoDefaultStation)};
            return copyFirst() &&
                   steps_.take(RunMultiPcSwitch(session_, confirmed_, input),
                               "multipuesto " + input.lanAddress + "/" + input.lanMask);
        }
        return true;
    }

    bool add(const MappingEntry& entry) {
        return copyFirst() && steps_.take(AddMapping(session_, confirmed_, entry.type, entry.texts),
                                          "mapeos alta " + entryText(entry));
    }

    bool remove(const MappingEntry& entry) {
        return copyFirst() &&
               steps_.take(
                   DeleteMapping(session_, confirmed_, entry.type, entry.portText),
                   "mapeos baja " + protocolWord(entry.type) + " " + entry.texts.PublicPortText);
    }

    // The mapping tables, in multi-PC mode only: adds first, so that what
    // the copy holds is never missing for longer than it must; a public
    // port that maps elsewhere now is deleted before it is added again.
    bool restoreMappings() {
        if (target_.mode != RouterMode::MultiPc) return true;
        const std::vector<MappingEntry> wanted = *entriesOf(*target_.mappings);
        const std::vector<MappingEntry>& present = *present_;
        std::vector<MappingEntry> later;
        for (const MappingEntry& entry : wanted) {
            if (anyOf(present, entry, sameMapping)) continue;
            if (anyOf(present, entry, samePublicPort)) {
                later.push_back(entry);
            } else if (!add(entry)) {
                return false;
            }
        }
        for (const MappingEntry& entry : present) {
            if (!anyOf(wanted, entry, sameMapping) && !remove(entry)) return false;
        }
        for (const MappingEntry& entry : later) {
            if (!add(entry)) return false;
        }
        return true;
    }

    // What the router shows now, against the copy.
    RestoreOutcome checkAfter() {
        const RouterStateReading after = ReadRouterState(session_, frontend_);
        if (!steps_.take(after.outcome)) return steps_.finish(Ending::Done);
        steps_.restore.outcome.read = after.outcome.read;
        const std::vector<std::string> differ = differences(after.outcome.read, target_);
        if (differ.empty()) return steps_.finish(Ending::Done);
        return fail("Tras restaurar, el Router no coincide con la copia en " + joined(differ) + ".",
                    Ending::NotAccepted);
    }

    RouterSession& session_;
    Frontend& frontend_;
    ConfirmedFrontend confirmed_;
    const RouterReading& target_;
    const RouterCopy& copy_;
    std::string change_;
    bool keepCopies_;
    Steps steps_;
    RouterStateReading state_;
    std::optional<std::vector<MappingEntry>> present_;
    bool copied_ = false;
};

}  // namespace

std::optional<Ending> KeepCopy(Operation& run, std::string_view change) {
    RouterSession& session = run.session();
    const std::filesystem::path& folder = session.settings().CopyFolder;
    if (folder.empty() || !session.runOptions.keepCopies || run.DryRun()) return std::nullopt;
    if (!run.RequireTemplates(kReadingCommands)) return Ending::MissingCommand;
    // The listings the change read already are not read again.
    RouterListings listings = run.heardListings();
    if (!ReadListings(run, listings)) return run.GaveUp();
    const CopyWrite written = writeCopy(session, run.frontend(), run.heardListings(), change);
    if (!written.error.empty()) {
        run.SendCatalogueLine(CatalogueKey::EXIT_CLI, LineEnding::BlankCrLf);
        run.ShowError(written.error + "\n" + std::string(kNothingSentText));
        return Ending::CopyNotKept;
    }
    run.KeptCopy(written.path);
    return std::nullopt;
}

Outcome KeepRouterCopy(RouterSession& session, Frontend& frontend, std::string_view change) {
    RouterStateReading reading = ReadRouterState(session, frontend);
    Outcome& outcome = reading.outcome;
    if (!outcome.done() || session.runOptions.dryRun) return outcome;
    const CopyWrite written = writeCopy(session, frontend, reading.listings, change);
    if (!written.error.empty()) {
        outcome.ending = Ending::CopyNotKept;
        outcome.message = written.error;
        frontend.tell({written.error, std::string(kErrorCaption), MessageSeverity::Failure});
        return outcome;
    }
    outcome.copy = written.path;
    return outcome;
}

std::optional<std::string> CheckCopyValues(const RouterCopy& copy) {
    const RouterReading& reading = copy.reading;
    if (reading.mode == RouterMode::SinglePc) {
        const auto vcLocal = plain(reading.vcLocalAddress);
        const auto remote = subnetParts(reading.vcRemoteSubnet);
        if (!vcLocal || !remote) return "no dice las direcciones del circuito de Internet";
        if (auto refused = CheckSinglePcValues(*vcLocal, remote->second)) return refused->message;
        return std::nullopt;
    }
    if (reading.mode != RouterMode::MultiPc) return "no dice en qué modo estaba el Router";
    const auto lanAddress = plain(reading.dhcpRouter);
    const auto lanMask = plain(reading.dhcpMask);
    if (!lanAddress || !lanMask) return "no dice la dirección y la máscara de la red local";
    if (auto refused = CheckMultiPcValues(*lanAddress, *lanMask, kNoDefaultStation)) {
        return refused->message;
    }
    if (!reading.mappings) return "no tiene el listado del circuito de Internet";
    const std::optional<std::vector<MappingEntry>> entries = entriesOf(*reading.mappings);
    if (!entries) return "tiene una asignación de puertos que no se entiende";
    for (const MappingEntry& entry : *entries) {
        const PortMappingTexts& texts = entry.texts;
        if (auto refused = CheckMappingValues(texts.PublicPortText, texts.PrivatePortText,
                                              texts.PrivateAddressText)) {
            return refused->message;
        }
        if (!IsPortNumber(texts.PublicPortText) || !IsHostAddress(texts.PrivateAddressText)) {
            return "tiene una asignación de puertos no válida: " + entryText(entry);
        }
    }
    return std::nullopt;
}

RestoreOutcome RestoreRouterCopy(RouterSession& session, Frontend& frontend, const RouterCopy& copy,
                                 std::string_view change) {
    Restore restore(session, frontend, copy, change);
    return restore.run();
}

}  // namespace cofralin
