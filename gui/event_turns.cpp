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
// request held back is dropped, as a click during the run would be.
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
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
    turning = false;
}

void TurnEventLoopWhileWaiting(SerialLine& line) { line.setIdle(&TurnEventLoopOnce); }

}  // namespace cofralin
