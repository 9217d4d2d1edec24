#pragma once
// The calling thread's message queue: posted calls and timers, dispatched
// only when the thread pumps. As with window messages, posted calls come
// first in posting order; a timer is dispatched when it is due and no
// posted call waits, at most one dispatch per due timer (a late repeating
// timer does not pile up). A one-shot timer is gone once dispatched; a
// repeating one is due again `ms` after it was dispatched.
//
// An outside event loop (Qt's) drives the queue through a seam: the wake
// hook tells it that work was added or a timer changed; it then arms its
// own wake-up from nextMessageDue() and calls pumpUntilIdle() then.
//
// Handlers may post, set and kill timers and pump again (re-entry); an
// exception from a handler reaches the pumping caller, the message already
// removed.

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>

namespace winsys {

using TimerId = std::uint32_t;

void postCall(std::function<void()> call);
// Starts a timer; returns its id (never 0).
TimerId setTimer(std::uint32_t ms, std::function<void()> call, bool repeat);
// False when there is no such timer (any more).
bool killTimer(TimerId id);

// Removes at most one pending message and dispatches it; does not loop.
// True when one was dispatched.
bool pumpOneMessage();
// Dispatches messages until none is left that was pending or due when the
// call began (a handler's new posts are dispatched too); returns how many ran.
std::size_t pumpUntilIdle();
// Zero when a message is pending now; the time until the next timer is
// due; nothing when the queue is empty and no timer runs.
std::optional<std::chrono::milliseconds> nextMessageDue();

// Called on the thread after every post, setTimer and killTimer; empty to remove.
void setQueueWakeHook(std::function<void()> hook);

} // namespace winsys
