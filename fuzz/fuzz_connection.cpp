// The connection procedure fed by arbitrary router bytes.
//
// Input: the first byte's two low bits say how many passwords the user types
// before cancelling the prompt; the rest is what the router sends, the byte
// 0xFF standing for a line that has fallen quiet. Whatever the router sends,
// the procedure must end, show one of its three outcomes with the matching
// button, and record at most one mode, none unless it connected.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "connection.h"
#include "exchange.h"
#include "fuzz_session.h"
#include "login.h"

using namespace cofralin;
using namespace cofralin::fuzzing;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    SessionState state;
    FuzzView view;
    view.passwordsToType = data[0] & 3;
    PrepareSession(state, std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1));

    Exchange exchange(state, view, kConnectDisplay);
    ConnectionOutcome outcome = ConnectionOutcome::NoAnswer;
    try {
        outcome = RunConnectionProcedure(exchange);
    } catch (const ReplayEnded&) {
        return 0;  // the router fell silent for good during a wait
    }

    if (view.busy) std::abort();
    if (state.ReplyBuffer.size() > state.DrainLimit) std::abort();
    if (state.ReplyBuffer.find('\0') != std::string::npos) std::abort();
    if (state.SinglePcActive + state.MultiPcActive > 1) std::abort();
    if (state.SinglePcActive < 0 || state.MultiPcActive < 0) std::abort();
    switch (outcome) {
        case ConnectionOutcome::Connected: {
            if (view.status != kConnectedText || state.KeepTrying != 1) std::abort();
            // The last line leaves the command line.
            const std::string exit =
                ComposeLine(state.CommandCatalogue[CatalogueKey::EXIT_CLI], LineEnding::CrLf);
            if (LineOf(state).writtenSinceRead() != exit) std::abort();
            break;
        }
        case ConnectionOutcome::NoAnswer:
            if (view.status != kNoAnswerText) std::abort();
            if (state.SinglePcActive != 0 || state.MultiPcActive != 0) std::abort();
            break;
        case ConnectionOutcome::WrongPassword:
            if (view.status != kWrongPasswordText || state.KeepTrying != 0) std::abort();
            if (state.SinglePcActive != 0 || state.MultiPcActive != 0) std::abort();
            if (view.passwordPrompts <= view.passwordsToType) std::abort();
            break;
        case ConnectionOutcome::LineLost:
            std::abort();  // a replayed line never loses its device
        case ConnectionOutcome::MissingCommand:
            std::abort();  // the shipped catalogue holds every template
    }
    return 0;
}
