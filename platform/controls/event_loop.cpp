#include "platform/controls/event_loop.h"

#include "platform/com/message_queue.h"

namespace winsys::controls {

QueuePump::QueuePump(QObject* parent) : QObject(parent) {
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &QueuePump::pump);
    winsys::setQueueWakeHook([this] { rearm(); });
    rearm();
}

QueuePump::~QueuePump() { winsys::setQueueWakeHook({}); }

void QueuePump::rearm() {
    const auto due = winsys::nextMessageDue();
    if (!due) {
        timer_.stop();
        return;
    }
    timer_.start(static_cast<int>(std::max<std::chrono::milliseconds::rep>(0, due->count())));
}

void QueuePump::pump() {
    // Qt cannot carry an exception through its loop; the program's handlers
    // trap and log their own, so one that escapes ends only its message.
    try {
        winsys::pumpUntilIdle();
    } catch (...) {
    }
    rearm();
}

} // namespace winsys::controls
