#include "platform/com/message_queue.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

using namespace winsys;
using namespace std::chrono;
using namespace std::chrono_literals;

namespace {

// Each test starts from an empty queue (a thread of its own has one).
template <class F>
void onFreshThread(F f) {
    std::thread t(f);
    t.join();
}

TEST(MessageQueue, PumpOneDispatchesOneMessageInPostingOrder) {
    onFreshThread([] {
        std::string log;
        EXPECT_FALSE(pumpOneMessage());
        postCall([&] { log += "a"; });
        postCall([&] {
            log += "b";
            postCall([&] { log += "c"; }); // posted from a handler: runs after what waits already
        });
        postCall([&] { log += "d"; });
        EXPECT_TRUE(pumpOneMessage());
        EXPECT_EQ(log, "a");
        EXPECT_EQ(pumpUntilIdle(), 3u);
        EXPECT_EQ(log, "abdc");
        EXPECT_FALSE(pumpOneMessage());
    });
}

TEST(MessageQueue, OneShotTimerFiresOnlyWhenDueAndPumped) {
    onFreshThread([] {
        int fired = 0;
        const auto start = steady_clock::now();
        steady_clock::time_point firedAt;
        setTimer(100, [&] { ++fired; firedAt = steady_clock::now(); }, false);
        const auto armed = steady_clock::now();
        // Pumped before it is due: nothing. (A machine that stalls past the
        // due time may deliver here; then it must at least not be early.)
        while (steady_clock::now() - armed < 50ms) {
            pumpUntilIdle();
            std::this_thread::sleep_for(5ms);
        }
        if (fired == 0) {
            // Due, but nobody pumps: nothing either.
            std::this_thread::sleep_until(armed + 110ms);
            EXPECT_EQ(fired, 0);
            EXPECT_EQ(nextMessageDue(), 0ms);
            EXPECT_TRUE(pumpOneMessage());
        }
        EXPECT_EQ(fired, 1);
        EXPECT_GE(firedAt - start, 100ms);
        // One shot only.
        std::this_thread::sleep_for(120ms);
        EXPECT_EQ(pumpUntilIdle(), 0u);
        EXPECT_EQ(fired, 1);
        EXPECT_EQ(nextMessageDue(), std::nullopt);
    });
}

TEST(MessageQueue, PostedCallsComeBeforeDueTimers) {
    onFreshThread([] {
        std::string log;
        setTimer(0, [&] { log += "t"; }, false);
        postCall([&] { log += "p"; });
        std::this_thread::sleep_for(2ms);
        EXPECT_TRUE(pumpOneMessage());
        EXPECT_EQ(log, "p");
        EXPECT_TRUE(pumpOneMessage());
        EXPECT_EQ(log, "pt");
    });
}

TEST(MessageQueue, RepeatingTimerDoesNotPileUpAndCanKillItself) {
    onFreshThread([] {
        int fired = 0;
        TimerId id = 0;
        id = setTimer(10, [&] {
            if (++fired == 3) {
                EXPECT_TRUE(killTimer(id));
            }
        }, true);
        EXPECT_NE(id, 0u);
        std::this_thread::sleep_for(60ms); // several periods, no pumping
        EXPECT_EQ(pumpUntilIdle(), 1u);    // one dispatch for the late timer
        EXPECT_EQ(fired, 1);
        const auto start = steady_clock::now();
        while (fired < 3 && steady_clock::now() - start < 2s) {
            pumpUntilIdle();
            std::this_thread::sleep_for(2ms);
        }
        EXPECT_EQ(fired, 3);
        std::this_thread::sleep_for(30ms);
        pumpUntilIdle();
        EXPECT_EQ(fired, 3);
        EXPECT_FALSE(killTimer(id));
    });
}

TEST(MessageQueue, KilledTimerNeverFires) {
    onFreshThread([] {
        bool fired = false;
        TimerId id = setTimer(1, [&] { fired = true; }, false);
        EXPECT_TRUE(killTimer(id));
        std::this_thread::sleep_for(10ms);
        EXPECT_EQ(pumpUntilIdle(), 0u);
        EXPECT_FALSE(fired);
    });
}

TEST(MessageQueue, WakeHookAndNextDueLetAnOutsideLoopDriveTheQueue) {
    onFreshThread([] {
        int wakes = 0;
        setQueueWakeHook([&] { ++wakes; });
        EXPECT_EQ(nextMessageDue(), std::nullopt);
        TimerId id = setTimer(100, [] {}, false);
        EXPECT_EQ(wakes, 1);
        auto due = nextMessageDue();
        ASSERT_TRUE(due);
        EXPECT_GT(*due, 0ms);
        EXPECT_LE(*due, 100ms);
        postCall([] {});
        EXPECT_EQ(wakes, 2);
        EXPECT_EQ(nextMessageDue(), 0ms);
        killTimer(id);
        EXPECT_EQ(wakes, 3);
        pumpUntilIdle();
        EXPECT_EQ(nextMessageDue(), std::nullopt);
        setQueueWakeHook({});
        postCall([] {});
        EXPECT_EQ(wakes, 3);
        pumpUntilIdle();
    });
}

TEST(MessageQueue, QueuesBelongToTheirThread) {
    bool ran = false;
    postCall([&] { ran = true; });
    onFreshThread([] { EXPECT_FALSE(pumpOneMessage()); });
    EXPECT_FALSE(ran);
    EXPECT_TRUE(pumpOneMessage());
    EXPECT_TRUE(ran);
}

} // namespace
