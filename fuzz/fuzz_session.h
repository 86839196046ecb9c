#pragma once
// What the router-facing fuzz targets share: a session over a ReplayLine with
// the shipped catalogue and short limits, and a view that answers prompts and
// message boxes from option bits instead of a person.

#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "command_catalogue.h"
#include "login.h"
#include "port_mappings.h"
#include "replay_line.h"
#include "session_state.h"

namespace cofralin::fuzzing {

// Far more than a replay takes: the replay line ends a silent router itself
// (see ReplayEnded), so runs do not depend on the machine's speed. A wait
// limit that is reached all the same means a procedure that spins.
inline constexpr std::chrono::milliseconds kFuzzWaitLimit{500};
// Small enough that inputs can reach the drain limit.
inline constexpr std::size_t kFuzzDrainLimit = 512;

// Any way the procedures may report that the router does not answer.
inline bool ToldRouterSilent(std::string_view text) {
    return text.find(kRouterSilentText) != std::string_view::npos;
}

class FuzzView final : public RouterView, public PortLists {
public:
    // How many typed passwords the user gives before cancelling the prompt.
    int passwordsToType = 0;
    std::string typedPassword{kBuiltInPassword};
    MessageAnswer yesNoAnswer = MessageAnswer::Yes;
    bool tcpChecked = false;
    bool udpChecked = true;

    std::string status;
    std::vector<std::string> messages;
    int passwordPrompts = 0;
    bool busy = false;
    std::vector<std::string> udpList;
    std::vector<std::string> tcpList;

    bool toldRouterSilent() const {
        for (const std::string& text : messages) {
            if (ToldRouterSilent(text)) return true;
        }
        return ToldRouterSilent(status);
    }

    void setStatusText(const std::string& text) override { status = text; }
    void setProgress(int) override {}
    MessageAnswer showMessage(const std::string& text, const std::string&, MessageButtons buttons,
                              MessageSeverity) override {
        // Bounded: a procedure shows a handful of messages, never one a pass.
        if (messages.size() > 64) std::abort();
        messages.push_back(text);
        switch (buttons) {
            case MessageButtons::Ok:
                return MessageAnswer::Ok;
            case MessageButtons::OkCancel:
                // Never accept an upgrade: that would start a program.
                return MessageAnswer::Cancel;
            case MessageButtons::YesNo:
                return yesNoAnswer;
        }
        return MessageAnswer::Ok;
    }
    std::optional<std::string> askPassword() override {
        ++passwordPrompts;
        if (passwordPrompts > passwordsToType) return std::nullopt;
        return typedPassword;
    }
    void setBusy(bool on) override { busy = on; }
    void enableControl(int, bool) override {}
    void showControl(int, bool) override {}

    void clearList(int id) override { list(id).clear(); }
    void addListEntry(int id, const std::string& entry) override { list(id).push_back(entry); }
    std::optional<std::string> selectedListEntry(int id) override {
        const std::vector<std::string>& entries = list(id);
        if (entries.empty()) return std::nullopt;
        return entries.front();
    }
    bool radioChecked(int id) override {
        return id == ports_ids::kTcp ? tcpChecked : id == ports_ids::kUdp && udpChecked;
    }

private:
    std::vector<std::string>& list(int id) { return id == ports_ids::kTcpList ? tcpList : udpList; }
};

// The shipped catalogue, read once.
inline const CommandCatalogue& ShippedCatalogue() {
    static const CommandCatalogue catalogue = [] {
        CommandCatalogue loaded;
        if (LoadCommandCatalogue(loaded, COFRALIN_SOURCE_DIR).status !=
            CatalogueLoadResult::Status::Loaded) {
            std::abort();
        }
        return loaded;
    }();
    return catalogue;
}

// A session whose port answers with `replies`.
inline void PrepareSession(SessionState& state, std::string_view replies) {
    state.RouterPort = std::make_unique<ReplayLine>(replies);
    state.PortName = "COM1:";
    state.DefaultPassword = std::string(kBuiltInPassword);
    state.CommandCatalogue = ShippedCatalogue();
    state.PromptWaitLimit = kFuzzWaitLimit;
    state.DrainLimit = kFuzzDrainLimit;
    state.KeepTrying = 1;
}

inline ReplayLine& LineOf(SessionState& state) {
    return static_cast<ReplayLine&>(*state.RouterPort);
}

// What must hold after a procedure that gave up because the router did not
// answer: the user was told, and nothing but a nudge went out after the last
// byte was read.
inline void CheckGaveUpQuietly(SessionState& state, const FuzzView& view) {
    if (!view.toldRouterSilent()) std::abort();
    const std::string& sent = LineOf(state).writtenSinceRead();
    if (!sent.empty() && sent != kNudge) {
        std::fprintf(stderr, "sent after the router last spoke: \"%s\"\n", sent.c_str());
        std::abort();
    }
}

}  // namespace cofralin::fuzzing
