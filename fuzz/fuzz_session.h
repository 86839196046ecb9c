#pragma once
// What the router-facing fuzz targets share: a session over a ReplayLine with
// the shipped catalogue and short limits, and a front end that answers
// prompts and questions from option bits instead of a person.

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
#include "frontend.h"
#include "login.h"
#include "replay_line.h"
#include "router_session.h"

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

class FuzzFrontend final : public Frontend {
public:
    // How many typed passwords the user gives before giving up.
    int passwordsToType = 0;
    std::string typedPassword{kBuiltInPassword};
    bool yesNoAnswer = true;

    std::string lastStatus;
    std::vector<std::string> messages;
    int passwordPrompts = 0;
    bool working = false;

    bool toldRouterSilent() const {
        for (const std::string& text : messages) {
            if (ToldRouterSilent(text)) return true;
        }
        return ToldRouterSilent(lastStatus);
    }

    void status(const std::string& text) override { lastStatus = text; }
    void progress(int) override {}
    void busy(bool on) override { working = on; }
    void tell(const Message& message) override { record(message); }
    bool confirm(const Message& question, Answers answers) override {
        record(question);
        // Never accept an upgrade: that would start a program.
        return answers == Answers::YesNo && yesNoAnswer;
    }
    std::optional<std::string> askPassword() override {
        ++passwordPrompts;
        if (passwordPrompts > passwordsToType) return std::nullopt;
        return typedPassword;
    }

private:
    void record(const Message& message) {
        // Bounded: a procedure tells a handful of messages, never one a pass.
        if (messages.size() > 64) std::abort();
        messages.push_back(message.text);
    }
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

// The settings of every fuzzed session: the shipped catalogue, short limits.
inline const Settings& FuzzSettings() {
    static const Settings settings = [] {
        Settings made;
        made.catalogue = ShippedCatalogue();
        made.PromptWaitLimit = kFuzzWaitLimit;
        made.DrainLimit = kFuzzDrainLimit;
        return made;
    }();
    return settings;
}

// A session whose port answers with `replies`.
inline void PrepareSession(RouterSession& session, std::string_view replies) {
    session.RouterPort = std::make_unique<ReplayLine>(replies);
    session.PortName = "COM1:";
    session.KeepTrying = 1;
}

inline ReplayLine& LineOf(RouterSession& session) {
    return static_cast<ReplayLine&>(*session.RouterPort);
}

// What must hold after a procedure that gave up because the router did not
// answer: the user was told (through `frontend` when given), and nothing but
// a nudge went out after the last byte was read.
inline void CheckGaveUpQuietly(RouterSession& session, const FuzzFrontend* frontend) {
    if (frontend && !frontend->toldRouterSilent()) std::abort();
    const std::string& sent = LineOf(session).writtenSinceRead();
    if (!sent.empty() && sent != kNudge) {
        std::fprintf(stderr, "sent after the router last spoke: \"%s\"\n", sent.c_str());
        std::abort();
    }
}

}  // namespace cofralin::fuzzing
