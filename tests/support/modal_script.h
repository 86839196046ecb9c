#pragma once
// Answers the modal windows that open while a GUI test runs: every 10 ms the
// window on top is handed to the first step still to come, and the step is
// done once it has dealt with that window. Modal windows run their own event
// loop, so the polls go on there; the next poll is set before a step runs, so
// a window that the step itself opens (a message box after a click on OK) is
// polled as well. Polling ends at the latest when the script goes, so no
// answer leaks into a later test.
//
//   then(answer)        a step that is done when `answer` returns true
//   then(ready, act)    a step that acts once `ready` holds; the act runs as
//                       the step is left, so the windows it opens go to the
//                       steps after it
//   run(body)           polls while `body` (which opens the first window) runs
//   whenModal(answer)   polls at once, with one step, until the guard goes

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QMetaObject>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "qt_frontend.h"

namespace cofralin::testing {

class ModalScript {
public:
    using Answer = std::function<bool(QWidget*)>;
    using Ready = std::function<bool(QWidget*)>;
    using Act = std::function<void(QWidget*)>;

    // `timeoutMs` bounds the polling from its start; 0 polls until stopped.
    explicit ModalScript(int timeoutMs = 0) : poll_(std::make_shared<Poll>()) {
        poll_->timeoutMs = timeoutMs;
    }
    ~ModalScript() { stop(); }
    ModalScript(const ModalScript&) = delete;
    ModalScript& operator=(const ModalScript&) = delete;

    void then(Answer answer) { poll_->steps.push_back({++poll_->lastId, std::move(answer), {}}); }
    void then(Ready ready, Act act) {
        poll_->steps.push_back({++poll_->lastId, std::move(ready), std::move(act)});
    }

    void start() {
        if (poll_->running) return;
        poll_->running = true;
        poll_->clock.start();
        schedule(poll_);
    }
    void stop() { poll_->running = false; }

    // Runs `body` (which opens the first modal window) with the script polling.
    void run(const std::function<void()>& body) {
        start();
        body();
        stop();
    }

    bool finished() const { return poll_->steps.empty(); }

    // The window on top is of class `className` (with its namespace).
    static Ready isA(const char* className) {
        return [className](QWidget* w) {
            return std::string(w->metaObject()->className()) == className;
        };
    }
    // Control `id` of the window on top is visible and enabled.
    static Ready canPress(const char* className, int id) {
        return [className, id](QWidget* w) {
            if (std::string(w->metaObject()->className()) != className) return false;
            QWidget* control = QtFrontend::findControl(*w, id);
            return control && control->isVisible() && control->isEnabled();
        };
    }
    static void press(QWidget* window, int id) {
        if (auto* button = qobject_cast<QPushButton*>(QtFrontend::findControl(*window, id))) {
            QMetaObject::invokeMethod(button, "click", Qt::QueuedConnection);
        }
    }
    static void acceptMessage(QWidget* window) {
        auto* box = qobject_cast<QMessageBox*>(window);
        if (box && box->defaultButton()) {
            QMetaObject::invokeMethod(box->defaultButton(), "click", Qt::QueuedConnection);
        }
    }
    static void rejectDialog(QWidget* window) {
        QMetaObject::invokeMethod(window, "reject", Qt::QueuedConnection);
    }

    // The texts of the message boxes answered by the steps below.
    std::vector<QString> messages;

    // A step that answers the next message box with its default button.
    void thenAcceptMessage() {
        then(isA("QMessageBox"), [this](QWidget* w) {
            messages.push_back(static_cast<QMessageBox*>(w)->text());
            acceptMessage(w);
        });
    }
    // A step that answers the next message box with the button whose text is `button`.
    void answer(const QString& button) {
        then([](QWidget* w) { return qobject_cast<QMessageBox*>(w) != nullptr; },
             [this, button](QWidget* w) {
                 auto* box = static_cast<QMessageBox*>(w);
                 messages.push_back(box->text());
                 for (QAbstractButton* b : box->buttons()) {
                     if (b->text() == button) {
                         QMetaObject::invokeMethod(b, "click", Qt::QueuedConnection);
                     }
                 }
             });
    }

private:
    struct Step {
        int id;
        Answer answer;  // with an act: the readiness
        Act act;
    };
    // Shared with the pending timer, which may fire after the script is gone.
    struct Poll {
        std::deque<Step> steps;
        int lastId = 0;
        bool running = false;
        int timeoutMs = 0;
        QElapsedTimer clock;
    };

    static void schedule(const std::shared_ptr<Poll>& poll) {
        QTimer::singleShot(10, qApp, [poll] { step(poll); });
    }

    static void step(const std::shared_ptr<Poll>& poll) {
        if (!poll->running) return;
        if (poll->timeoutMs > 0 && poll->clock.elapsed() > poll->timeoutMs) {
            poll->running = false;
            return;
        }
        schedule(poll);
        QWidget* top = QApplication::activeModalWidget();
        if (poll->steps.empty() || !top || !top->isVisible()) return;
        if (poll->steps.front().act) {
            if (!poll->steps.front().answer(top)) return;
            const Act act = std::move(poll->steps.front().act);
            poll->steps.pop_front();
            act(top);
            return;
        }
        // A copy: the step may be polled again, and its window answered,
        // from inside the windows it opens.
        const int id = poll->steps.front().id;
        const Answer answer = poll->steps.front().answer;
        if (answer(top) && !poll->steps.empty() && poll->steps.front().id == id) {
            poll->steps.pop_front();
        }
    }

    std::shared_ptr<Poll> poll_;
};

// Hands the active modal window to `answer` every 10 ms until `answer`
// returns true (it has dealt with it), `timeoutMs` have passed or the
// returned guard goes.
[[nodiscard]] inline std::unique_ptr<ModalScript> whenModal(ModalScript::Answer answer,
                                                            int timeoutMs = 10000) {
    auto script = std::make_unique<ModalScript>(timeoutMs);
    script->then(std::move(answer));
    script->start();
    return script;
}

}  // namespace cofralin::testing
