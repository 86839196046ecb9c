#pragma once
// A view for procedure tests: records everything a procedure shows and answers
// message boxes and password prompts from a script given by the test.

#include <deque>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "router_view.h"

namespace cofralin::testing {

class ScriptedView : public RouterView {
public:
    struct Message {
        std::string text;
        std::string caption;
        MessageButtons buttons;
        MessageSeverity severity;
    };

    // Answers in order; once used up, message boxes answer Ok/Yes and password
    // prompts are cancelled.
    std::deque<MessageAnswer> messageAnswers;
    std::deque<std::optional<std::string>> passwords;

    std::vector<std::string> statusTexts;
    std::vector<int> progress;
    std::vector<Message> messages;
    int passwordPrompts = 0;
    int busyDepth = 0;
    bool everBusy = false;
    std::vector<bool> busyCalls;  // every setBusy, in order
    std::map<int, bool> enabled;
    std::map<int, bool> shown;

    void setStatusText(const std::string& text) override { statusTexts.push_back(text); }
    void setProgress(int position) override { progress.push_back(position); }
    MessageAnswer showMessage(const std::string& text, const std::string& caption,
                              MessageButtons buttons, MessageSeverity severity) override {
        messages.push_back({text, caption, buttons, severity});
        if (!messageAnswers.empty()) {
            const MessageAnswer answer = messageAnswers.front();
            messageAnswers.pop_front();
            return answer;
        }
        return buttons == MessageButtons::YesNo ? MessageAnswer::Yes : MessageAnswer::Ok;
    }
    std::optional<std::string> askPassword() override {
        ++passwordPrompts;
        if (passwords.empty()) return std::nullopt;
        std::optional<std::string> typed = passwords.front();
        passwords.pop_front();
        return typed;
    }
    void setBusy(bool busy) override {
        busyDepth = busy ? 1 : 0;
        everBusy = everBusy || busy;
        busyCalls.push_back(busy);
    }
    void enableControl(int id, bool on) override { enabled[id] = on; }
    void showControl(int id, bool on) override { shown[id] = on; }

    std::string lastStatus() const {
        return statusTexts.empty() ? std::string() : statusTexts.back();
    }
    bool isEnabled(int id) const {
        const auto found = enabled.find(id);
        return found != enabled.end() && found->second;
    }
};

}  // namespace cofralin::testing
