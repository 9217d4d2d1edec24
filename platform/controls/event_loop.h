#pragma once
// QueuePump: lets Qt's event loop drive the thread's message queue (posted
// calls and timers of platform/com/message_queue.h) while it lives. After
// every pump, and whenever the queue wakes it, it arms one precise
// single-shot timer for the queue's next due message, so the loop sleeps
// in between instead of polling.

#include <QObject>
#include <QTimer>

namespace winsys::controls {

class QueuePump : public QObject {
    Q_OBJECT
public:
    explicit QueuePump(QObject* parent = nullptr);
    ~QueuePump() override;
    QueuePump(const QueuePump&) = delete;
    QueuePump& operator=(const QueuePump&) = delete;

private:
    void rearm();
    void pump();

    QTimer timer_;
};

} // namespace winsys::controls
