#pragma once
// Drives the modal windows that open while a GUI test runs a handler: each
// step waits until the window on top satisfies its condition, then acts on it.
// Actions are queued, not run inside the polling timer, because the handler
// they start may open further modal windows that the same timer must reach.

#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QMetaObject>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "qt_router_view.h"

namespace cofralin::testing {

class ModalScript {
public:
    struct Step {
        std::function<bool(QWidget*)> ready;
        std::function<void(QWidget*)> act;
    };

    ModalScript() {
        timer_.setInterval(20);
        QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
    }

    void then(std::function<bool(QWidget*)> ready, std::function<void(QWidget*)> act) {
        steps_.push_back({std::move(ready), std::move(act)});
    }

    // Runs `body` (which opens the first modal window) with the script active.
    void run(const std::function<void()>& body) {
        timer_.start();
        body();
        timer_.stop();
    }

    bool finished() const { return steps_.empty(); }

    // The window on top is of class `className` (with its namespace).
    static std::function<bool(QWidget*)> isA(const char* className) {
        return [className](QWidget* w) {
            return std::string(w->metaObject()->className()) == className;
        };
    }
    // Control `id` of the window on top is visible and enabled.
    static std::function<bool(QWidget*)> canPress(const char* className, int id) {
        return [className, id](QWidget* w) {
            if (std::string(w->metaObject()->className()) != className) return false;
            QWidget* control = QtRouterView::findControl(*w, id);
            return control && control->isVisible() && control->isEnabled();
        };
    }
    static void press(QWidget* window, int id) {
        if (auto* button = qobject_cast<QPushButton*>(QtRouterView::findControl(*window, id))) {
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

    // The texts of the message boxes answered so far.
    std::vector<QString> messages;

    // A step that answers the next message box with its default button.
    void thenAcceptMessage() {
        then(isA("QMessageBox"), [this](QWidget* w) {
            messages.push_back(static_cast<QMessageBox*>(w)->text());
            acceptMessage(w);
        });
    }

private:
    void poll() {
        if (steps_.empty()) return;
        QWidget* top = QApplication::activeModalWidget();
        if (!top || !top->isVisible() || !steps_.front().ready(top)) return;
        Step step = std::move(steps_.front());
        steps_.pop_front();
        step.act(top);
    }

    QTimer timer_;
    std::deque<Step> steps_;
};

}  // namespace cofralin::testing
