// The connection procedure fed by arbitrary router bytes.
//
// Input: the first byte's two low bits say how many passwords the user types
// before giving up; the rest is what the router sends, the byte 0xFF standing
// for a line that has fallen quiet. Whatever the router sends, the procedure
// must end, tell one of its outcomes in words, and record at most one mode,
// none unless it connected.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "connection.h"
#include "fuzz_session.h"

using namespace cofralin;
using namespace cofralin::fuzzing;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    RouterSession session(FuzzSettings());
    FuzzFrontend frontend;
    frontend.passwordsToType = data[0] & 3;
    PrepareSession(session, std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1));

    Outcome outcome;
    try {
        outcome = RunConnectionProcedure(session, frontend);
    } catch (const ReplayEnded&) {
        return 0;  // the router fell silent for good during a wait
    }

    if (frontend.working) std::abort();
    if (session.ReplyBuffer.size() > session.settings().DrainLimit) std::abort();
    if (session.ReplyBuffer.find('\0') != std::string::npos) std::abort();
    if (session.SinglePcActive + session.MultiPcActive > 1) std::abort();
    if (session.SinglePcActive < 0 || session.MultiPcActive < 0) std::abort();
    if (outcome.ending != Ending::Done && session.mode() != RouterMode::Unknown) std::abort();
    switch (outcome.ending) {
        case Ending::Done: {
            if (outcome.message != kConnectedText || session.KeepTrying != 1) std::abort();
            if (outcome.read.mode != session.mode()) std::abort();
            // The last line leaves the command line.
            const std::string exit =
                ComposeLine(session.catalogue()[CatalogueKey::EXIT_CLI], LineEnding::CrLf);
            if (LineOf(session).writtenSinceRead() != exit) std::abort();
            break;
        }
        case Ending::NoAnswer:
            if (outcome.message != kRouterSilentText) std::abort();
            break;
        case Ending::NotAccepted:
            // The router refused a line of the circuit's creation: the
            // message names what it refused.
            if (outcome.message.empty() || outcome.message == kRouterSilentText) std::abort();
            break;
        case Ending::LoginFailed:
            if (outcome.message != kWrongPasswordText || session.KeepTrying != 0) std::abort();
            if (frontend.passwordPrompts <= frontend.passwordsToType) std::abort();
            break;
        default:
            // A replayed line never loses its device, nobody asks it to stop,
            // and the shipped catalogue holds every template.
            std::abort();
    }
    return 0;
}
