// CreateThread through COM: NewThread comes only from the calling thread's
// message loop, 100 ms or more after StartNewThread, exactly once, with the
// value given (the same object for an object, a copy of anything else).
//
// Timing checks are one-sided so that a slow machine cannot fail them: the
// event may never come before its due time (checked against when it came),
// and once the due time has passed one pump must deliver it.

#include <gtest/gtest.h>

#include <thread>

#include "platform/com/late_bound.h"
#include "platform/com/message_queue.h"
#include "tests/common/messaging/messaging_fixture.h"

using namespace win;
using namespace winsys::com;
using namespace halvenlib;
using namespace std::chrono_literals;
using messagingtest::Messaging;
using Clock = std::chrono::steady_clock;

namespace {

class CreateThreadTest : public Messaging {
protected:
    void SetUp() override {
        object = make<_CreateThread>(CLSID_CreateThread);
        ASSERT_TRUE(object);
        sink = recorder(DIID___CreateThread, "sink");
        advise(object.get(), DIID___CreateThread, static_cast<IDispatch*>(sink.get()));
    }
    // Pumps until `n` events have come or two seconds have passed.
    void pumpFor(std::size_t n) {
        const auto limit = Clock::now() + 2s;
        while (events.size() < n && Clock::now() < limit) {
            winsys::pumpUntilIdle();
            std::this_thread::sleep_for(2ms);
        }
    }

    ComPtr<_CreateThread> object;
    ComPtr<EventSink> sink;
};

TEST_F(CreateThreadTest, RaisesOneEventFromThePumpAfter100Ms) {
    VARIANT data = makeLong(42);
    const auto start = Clock::now();
    ASSERT_EQ(object->StartNewThread(&data), S_OK);
    const auto returned = Clock::now();
    EXPECT_TRUE(events.empty()) << "raised inside the call";

    while (Clock::now() - returned < 100ms) {
        winsys::pumpUntilIdle();
        std::this_thread::sleep_for(5ms);
    }
    winsys::pumpUntilIdle(); // due by now: this pump must deliver it
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].id, DISPID_NewThread);
    EXPECT_GE(events[0].at - start, 100ms) << "came before it was due";
    ASSERT_EQ(events[0].args.size(), 1u);
    EXPECT_EQ(events[0].args[0].vt, VT_I4);
    EXPECT_EQ(events[0].args[0].lVal, 42);

    std::this_thread::sleep_for(150ms);
    winsys::pumpUntilIdle();
    EXPECT_EQ(events.size(), 1u) << "raised more than once";
}

TEST_F(CreateThreadTest, NothingArrivesWithoutPumpingThisThread) {
    VARIANT data = makeText("x");
    ASSERT_EQ(object->StartNewThread(&data), S_OK);
    std::this_thread::sleep_for(150ms);
    std::thread other([] { // another thread's loop is not this one's
        winsys::pumpUntilIdle();
    });
    other.join();
    EXPECT_TRUE(events.empty());
    EXPECT_TRUE(winsys::pumpOneMessage());
    EXPECT_EQ(events.size(), 1u);
}

TEST_F(CreateThreadTest, CarriesTheValueGiven) {
    auto payload = make<_CMsgr>(CLSID_CMsgr); // any object will do
    std::string byRefText = "before";
    const struct {
        const char* label;
        VARIANT data;
        bool byName;
        std::function<void(const VARIANT&)> check;
    } rows[] = {
        {"object: the same one", makeObject(payload.get()), false,
         [&](const VARIANT& v) {
             ASSERT_EQ(v.vt, VT_DISPATCH);
             EXPECT_EQ(v.pdispVal, static_cast<IDispatch*>(payload.get()));
         }},
        {"text", makeText("Grüße"), false,
         [](const VARIANT& v) {
             ASSERT_EQ(v.vt, VT_BSTR);
             EXPECT_EQ(v.bstrVal, "Grüße");
         }},
        {"empty", makeEmpty(), false, [](const VARIANT& v) { EXPECT_EQ(v.vt, VT_EMPTY); }},
        {"by reference, by name: a copy taken at the call", byRef(&byRefText), true,
         [](const VARIANT& v) {
             ASSERT_EQ(v.vt, VT_BSTR);
             EXPECT_EQ(v.bstrVal, "before");
         }},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.label);
        events.clear();
        VARIANT data = r.data;
        if (r.byName)
            callMethod(object.get(), "StartNewThread", {data});
        else
            ASSERT_EQ(object->StartNewThread(&data), S_OK);
        byRefText = "after"; // the caller's variable changes before the event
        pumpFor(1);
        ASSERT_EQ(events.size(), 1u);
        ASSERT_EQ(events[0].args.size(), 1u);
        r.check(events[0].args[0]);
        byRefText = "before";
    }
}

TEST_F(CreateThreadTest, SecondCallWhilePendingRaisesItsOwnEvent) {
    VARIANT first = makeLong(1), second = makeLong(2);
    ASSERT_EQ(object->StartNewThread(&first), S_OK);
    ASSERT_EQ(object->StartNewThread(&second), S_OK);
    pumpFor(2);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].args.at(0).lVal, 1);
    EXPECT_EQ(events[1].args.at(0).lVal, 2);
}

TEST_F(CreateThreadTest, PendingCallOutlivesTheClientsReference) {
    VARIANT data = makeLong(7);
    ASSERT_EQ(object->StartNewThread(&data), S_OK);
    object = nullptr;
    pumpFor(1);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].args.at(0).lVal, 7);
}

TEST_F(CreateThreadTest, DisconnectedSinkGetsNothing) {
    auto other = recorder(DIID___CreateThread, "other");
    const DWORD cookie = advise(object.get(), DIID___CreateThread, static_cast<IDispatch*>(other.get()));
    VARIANT data = makeLong(3);
    ASSERT_EQ(object->StartNewThread(&data), S_OK);
    unadvise(object.get(), DIID___CreateThread, cookie);
    pumpFor(1);
    std::this_thread::sleep_for(20ms);
    winsys::pumpUntilIdle();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].sink, "sink");
}

TEST_F(CreateThreadTest, NullDataIsRefused) {
    EXPECT_EQ(object->StartNewThread(nullptr), E_POINTER);
    std::this_thread::sleep_for(110ms);
    EXPECT_EQ(winsys::pumpUntilIdle(), 0u);
    EXPECT_TRUE(events.empty());
}

} // namespace
