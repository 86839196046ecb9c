// The operations that run after a connection, fed by arbitrary router bytes:
// EnsureLogin, the port mappings, both mode switches and the software update.
//
// Input: the first byte chooses the operation (bits 0-2), how many passwords
// the user types before cancelling (bits 3-4), whether questions are answered
// No (bit 5) and whether the TCP list is the one in use (bit 6); the rest is
// what the router sends, the byte 0xFF standing for a quiet line. Whatever the
// router sends, the operation must end; when it gives up for want of a bare
// prompt it must say so and send nothing but the wait's own nudge after the
// router last spoke; only a completed switch counts as one.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "exchange.h"
#include "fuzz_session.h"
#include "login.h"
#include "mode_switch.h"
#include "multi_pc.h"
#include "port_mappings.h"
#include "single_pc.h"
#include "software_update.h"

using namespace cofralin;
using namespace cofralin::fuzzing;

namespace {

void checkPorts(SessionState& state, const FuzzView& view, PortsOutcome outcome,
                bool afterAdd = false) {
    if (outcome == PortsOutcome::NoAnswer) CheckGaveUpQuietly(state, view);
    // An add that was abandoned still refreshes the lists, which logs in anew.
    if (outcome == PortsOutcome::Abandoned && state.KeepTrying != 0 && !afterAdd) std::abort();
    if (view.busy) std::abort();
}

void checkSwitch(SessionState& state, const FuzzView& view, ModeSwitchResult result) {
    if (view.busy) std::abort();
    switch (result) {
        case ModeSwitchResult::NoAnswer:
            CheckGaveUpQuietly(state, view);
            break;
        case ModeSwitchResult::Switched: {
            if (state.KeepTrying != 1) std::abort();
            // A switch ends by leaving the command line after a bare prompt.
            const std::string exit =
                ComposeLine(state.CommandCatalogue[CatalogueKey::EXIT_CLI], LineEnding::BlankCrLf);
            if (!LineOf(state).writtenSinceRead().ends_with(exit)) std::abort();
            break;
        }
        case ModeSwitchResult::Abandoned:
            if (state.KeepTrying != 0) std::abort();
            break;
        default:
            break;
    }
}

void runOperation(unsigned options, SessionState& state, FuzzView& view) {
    switch (options & 7) {
        case 0: {
            Exchange exchange(state, view, ExchangeDisplay{});
            const LoginOutcome outcome = EnsureLogin(exchange, (options & 0x80) != 0);
            if (outcome == LoginOutcome::LoggedIn && state.ReplyBuffer != kCliPrompt) std::abort();
            if (outcome == LoginOutcome::Abandoned && state.KeepTrying != 0) std::abort();
            break;
        }
        case 1: {
            Exchange exchange(state, view, kPortsDisplay);
            checkPorts(state, view, RefreshMappings(exchange, view));
            break;
        }
        case 2: {
            Exchange exchange(state, view, kPortsDisplay);
            PortMappingTexts texts;
            texts.PublicPortText = "5060";
            texts.PrivateAddressText = "192.168.1.10";
            checkPorts(state, view, AddMapping(exchange, view, texts), true);
            break;
        }
        case 3: {
            Exchange exchange(state, view, kPortsDisplay);
            const std::string entry = "\t5060\t192.168.001.010\t5060";
            view.udpList.push_back(entry);
            view.tcpList.push_back(entry);
            checkPorts(state, view, DeleteMapping(exchange, view));
            break;
        }
        case 4: {
            Exchange exchange(state, view, kSinglePcDisplay);
            StartSinglePcDialog(exchange);
            checkSwitch(state, view, RunSinglePcSwitch(exchange, SinglePcSettings{}));
            break;
        }
        case 5: {
            Exchange exchange(state, view, kMultiPcDisplay);
            OpenMultiPcDialog(exchange);
            if (view.busy) std::abort();
            break;
        }
        case 6: {
            Exchange exchange(state, view, kMultiPcDisplay);
            checkSwitch(state, view, RunMultiPcSwitch(exchange, MultiPcSettings{}));
            break;
        }
        case 7: {
            // The upgrade is never accepted (see FuzzView), so no program starts.
            const ProgramSearch nowhere{"/nonexistent", ""};
            if (UpdateRouterSoftware(state, view, nowhere) != UpdateOutcome::Returned) {
                std::abort();
            }
            if (view.busy) std::abort();
            if (view.toldRouterSilent()) CheckGaveUpQuietly(state, view);
            break;
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const unsigned options = data[0];
    SessionState state;
    FuzzView view;
    view.passwordsToType = static_cast<int>((options >> 3) & 3);
    view.yesNoAnswer = (options & 0x20) != 0 ? MessageAnswer::No : MessageAnswer::Yes;
    view.tcpChecked = (options & 0x40) != 0;
    view.udpChecked = !view.tcpChecked;
    PrepareSession(state, std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1));

    try {
        runOperation(options, state, view);
    } catch (const ReplayEnded&) {
        return 0;  // the router fell silent for good during a wait
    }
    if (state.ReplyBuffer.size() > state.DrainLimit) std::abort();
    return 0;
}
