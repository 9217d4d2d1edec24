#include "platform/com/message_queue.h"

#include <deque>
#include <map>
#include <memory>

namespace winsys {

namespace {

using Clock = std::chrono::steady_clock;

struct Timer {
    Clock::time_point due;
    std::chrono::milliseconds interval;
    bool repeat;
    std::shared_ptr<std::function<void()>> call; // shared: a handler may kill its own timer
};

struct Queue {
    std::deque<std::function<void()>> posted;
    std::map<TimerId, Timer> timers;
    TimerId lastId = 0;
    std::function<void()> wake;
};

Queue& queue() {
    thread_local Queue q;
    return q;
}

void wake(Queue& q) {
    if (q.wake) {
        auto hook = q.wake; // the hook may replace itself
        hook();
    }
}

// The earliest timer due at or before `limit`.
std::map<TimerId, Timer>::iterator dueTimer(Queue& q, Clock::time_point limit) {
    auto best = q.timers.end();
    for (auto it = q.timers.begin(); it != q.timers.end(); ++it)
        if (it->second.due <= limit && (best == q.timers.end() || it->second.due < best->second.due)) best = it;
    return best;
}

bool pumpOne(Clock::time_point timerLimit) {
    Queue& q = queue();
    if (!q.posted.empty()) {
        std::function<void()> call = std::move(q.posted.front());
        q.posted.pop_front();
        if (call) call();
        return true;
    }
    auto it = dueTimer(q, timerLimit);
    if (it == q.timers.end()) return false;
    std::shared_ptr<std::function<void()>> call = it->second.call;
    if (it->second.repeat)
        it->second.due = Clock::now() + it->second.interval;
    else
        q.timers.erase(it);
    if (*call) (*call)();
    return true;
}

} // namespace

void postCall(std::function<void()> call) {
    Queue& q = queue();
    q.posted.push_back(std::move(call));
    wake(q);
}

TimerId setTimer(std::uint32_t ms, std::function<void()> call, bool repeat) {
    Queue& q = queue();
    do ++q.lastId;
    while (q.lastId == 0 || q.timers.count(q.lastId));
    // A repeating timer of 0 ms would keep the queue from ever being idle.
    const std::chrono::milliseconds interval(repeat && ms == 0 ? 1 : ms);
    q.timers.emplace(q.lastId, Timer{Clock::now() + interval, interval, repeat,
                                     std::make_shared<std::function<void()>>(std::move(call))});
    const TimerId id = q.lastId;
    wake(q);
    return id;
}

bool killTimer(TimerId id) {
    Queue& q = queue();
    const bool found = q.timers.erase(id) != 0;
    if (found) wake(q);
    return found;
}

bool pumpOneMessage() { return pumpOne(Clock::now()); }

std::size_t pumpUntilIdle() {
    const Clock::time_point start = Clock::now();
    std::size_t n = 0;
    while (pumpOne(start)) ++n;
    return n;
}

std::optional<std::chrono::milliseconds> nextMessageDue() {
    Queue& q = queue();
    if (!q.posted.empty()) return std::chrono::milliseconds(0);
    auto it = dueTimer(q, Clock::time_point::max());
    if (it == q.timers.end()) return std::nullopt;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(it->second.due - Clock::now());
    return std::max(left, std::chrono::milliseconds(0));
}

void setQueueWakeHook(std::function<void()> hook) { queue().wake = std::move(hook); }

} // namespace winsys
