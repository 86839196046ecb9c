// Every procedure of the procedure table fed by arbitrary router bytes.
//
// Input: the first byte chooses the procedure (its low bits, modulo the rows
// of the table), how many passwords the user types before giving up (bits
// 4-5) and whether questions are answered No (bit 6); the rest is what the
// router sends, the byte 0xFF standing for a quiet line. Whatever the router
// sends, the procedure must end; when it gives up for want of a bare prompt
// it must say so and send nothing but the wait's own nudge after the router
// last spoke; only a completed procedure counts as done, and a completed
// change leaves the command line.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "fuzz_session.h"
#include "procedure_table.h"

using namespace cofralin;
using namespace cofralin::fuzzing;

namespace {

void check(const testing::ProcedureRow& row, const Outcome& outcome, RouterSession& session,
           const FuzzFrontend& frontend) {
    if (frontend.working) std::abort();
    if (session.ReplyBuffer.size() > session.settings().DrainLimit) std::abort();
    switch (outcome.ending) {
        case Ending::NoAnswer:
            // The log-in step tells nothing itself, and the connection tells
            // through its outcome: their callers show it.
            if (row.name == "Connection" && !ToldRouterSilent(outcome.message)) std::abort();
            CheckGaveUpQuietly(session, row.name == "EnsureLogin" || row.name == "Connection"
                                            ? nullptr
                                            : &frontend);
            break;
        case Ending::LoginFailed:
            if (session.KeepTrying != 0 && row.name != "Add") std::abort();
            break;
        case Ending::Done:
            // A mapping change is done once the router took it; the log-in
            // of the read-back after it may still find no password.
            if (session.KeepTrying != 1 && row.name != "Add" && row.name != "Delete") std::abort();
            if (row.name == "EnsureLogin" && session.ReplyBuffer != kCliPrompt) std::abort();
            if (row.name == "SinglePc" || row.name == "MultiPc") {
                // A switch ends by leaving the command line after a bare prompt.
                const std::string exit =
                    ComposeLine(session.catalogue()[CatalogueKey::EXIT_CLI], LineEnding::BlankCrLf);
                if (!LineOf(session).writtenSinceRead().ends_with(exit)) std::abort();
            }
            break;
        case Ending::LineLost:
        case Ending::Stopped:
        case Ending::HandedOver:
        case Ending::PortClosed:
        case Ending::MissingCommand:
            // A replayed line never goes away, nobody asks it to stop, no
            // upgrade is accepted and the shipped catalogue is whole.
            if (row.name != "Update" || outcome.ending != Ending::MissingCommand) std::abort();
            break;
        default:
            break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const unsigned options = data[0];
    const auto& rows = testing::Procedures();
    const testing::ProcedureRow& row = rows[(options & 0x0F) % rows.size()];
    RouterSession session(FuzzSettings());
    FuzzFrontend frontend;
    frontend.passwordsToType = static_cast<int>((options >> 4) & 3);
    frontend.yesNoAnswer = (options & 0x40) == 0;
    PrepareSession(session, std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1));

    try {
        check(row, row.run(session, frontend), session, frontend);
    } catch (const ReplayEnded&) {
        return 0;  // the router fell silent for good during a wait
    }
    return 0;
}
