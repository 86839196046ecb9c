#pragma once
// A front end for procedure tests: records everything a procedure tells and
// the tables it lists, and answers questions and password prompts from a
// script given by the test.

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "frontend.h"
#include "outcome.h"
#include "port_mappings.h"

namespace cofralin::testing {

// The buttons a message offered: OK alone for what is told.
enum class Buttons { Ok, YesNo, OkCancel };
enum class Answer { Ok, Cancel, Yes, No };

class ScriptedFrontend : public Frontend, public MappingEvents {
public:
    struct Told {
        std::string text;
        std::string caption;
        Buttons buttons;
        MessageSeverity severity;
    };

    // Answers in order, one taken by every message; once used up, questions
    // are answered Yes or OK. Password prompts take `passwords` in order and
    // are given up once they are used up.
    std::deque<Answer> answers;
    std::deque<std::optional<std::string>> passwords;

    std::vector<std::string> statusTexts;
    std::vector<int> progressSteps;
    std::vector<Told> messages;
    int passwordPrompts = 0;
    int busyDepth = 0;
    bool everBusy = false;
    std::vector<bool> busyCalls;  // every busy(), in order
    // The tables as the last listing gave them; cleared when a listing starts.
    MappingTables listed;
    int listingsCleared = 0;

    void status(const std::string& text) override { statusTexts.push_back(text); }
    void progress(int linesSent) override { progressSteps.push_back(linesSent); }
    void busy(bool working) override {
        busyDepth = working ? 1 : 0;
        everBusy = everBusy || working;
        busyCalls.push_back(working);
    }
    void tell(const Message& message) override {
        record(message, Buttons::Ok);
        nextAnswer();
    }
    bool confirm(const Message& question, Answers offered) override {
        record(question, offered == Answers::YesNo ? Buttons::YesNo : Buttons::OkCancel);
        const std::optional<Answer> answer = nextAnswer();
        return !answer || *answer == Answer::Yes || *answer == Answer::Ok;
    }
    std::optional<std::string> askPassword() override {
        ++passwordPrompts;
        if (passwords.empty()) return std::nullopt;
        std::optional<std::string> typed = passwords.front();
        passwords.pop_front();
        return typed;
    }

    void mappingsCleared() override {
        ++listingsCleared;
        listed = {};
    }
    void mappingsListed(const MappingTables& tables) override { listed = tables; }

    std::string lastStatus() const {
        return statusTexts.empty() ? std::string() : statusTexts.back();
    }
    bool told(std::string_view text) const {
        for (const Told& message : messages) {
            if (message.text == text) return true;
        }
        return false;
    }

private:
    void record(const Message& message, Buttons buttons) {
        messages.push_back({message.text, message.caption, buttons, message.severity});
    }
    std::optional<Answer> nextAnswer() {
        if (answers.empty()) return std::nullopt;
        const Answer answer = answers.front();
        answers.pop_front();
        return answer;
    }
};

}  // namespace cofralin::testing
