#include "event_turns.h"

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QObject>
#include <QWindow>

#include "serial_line.h"

namespace cofralin {

namespace {

// Holds back, for the length of a turn, what could start or end an operation.
// A timer tick held back comes again at the timer's next period; a close
// request and the user's input are dropped: a click during the run is not run
// after it.
class HoldBack final : public QObject {
public:
    HoldBack() { QCoreApplication::instance()->installEventFilter(this); }
    ~HoldBack() override { QCoreApplication::instance()->removeEventFilter(this); }
    HoldBack(const HoldBack&) = delete;
    HoldBack& operator=(const HoldBack&) = delete;

protected:
    bool eventFilter(QObject* receiver, QEvent* event) override {
        switch (event->type()) {
            case QEvent::Timer:
                // A window's own update timer is painting, which is the point.
                return qobject_cast<QWindow*>(receiver) == nullptr;
            case QEvent::Close:
                event->ignore();
                return true;
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonRelease:
            case QEvent::MouseButtonDblClick:
            case QEvent::NonClientAreaMouseButtonPress:
            case QEvent::NonClientAreaMouseButtonRelease:
            case QEvent::NonClientAreaMouseButtonDblClick:
            case QEvent::Wheel:
            case QEvent::KeyPress:
            case QEvent::KeyRelease:
            case QEvent::ShortcutOverride:
            case QEvent::Shortcut:
            case QEvent::ContextMenu:
            case QEvent::TouchBegin:
            case QEvent::TouchUpdate:
            case QEvent::TouchEnd:
            case QEvent::InputMethod:
                return true;
            default:
                return false;
        }
    }
};

bool turning = false;

}  // namespace

void TurnEventLoopOnce() {
    if (turning || !QCoreApplication::instance()) return;
    turning = true;
    {
        const HoldBack hold;
        // User input is taken off the queue and dropped, not left for later.
        QCoreApplication::processEvents();
    }
    turning = false;
}

void TurnEventLoopWhileWaiting(SerialLine& line) { line.setIdle(&TurnEventLoopOnce); }

}  // namespace cofralin
