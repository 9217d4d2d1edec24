#pragma once
// The common library registered into a test prefix, and a sink that
// records every event it gets, for the tests of CreateThread and CMsgr.

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "common/interfaces/messaging.h"
#include "platform/com/class_registry.h"
#include "platform/com/connection_point.h"
#include "platform/com/message_queue.h"
#include "tests/support/com_library.h"
#include "tests/support/test_prefix.h"

namespace messagingtest {

struct Event {
    std::string sink;
    win::DISPID id = 0;
    std::vector<win::VARIANT> args;
    std::chrono::steady_clock::time_point at;
};

class Messaging : public ::testing::Test {
protected:
    // A call left pending by a failed test must not fire into the next one.
    void TearDown() override {
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (auto due = winsys::nextMessageDue()) {
            if (std::chrono::steady_clock::now() > limit) break;
            std::this_thread::sleep_for(*due);
            winsys::pumpUntilIdle();
        }
    }

    template <class I>
    winsys::com::ComPtr<I> make(const win::CLSID& clsid) {
        winsys::com::ComPtr<I> p;
        EXPECT_EQ(winsys::com::createInstance(clsid, &p), win::S_OK);
        return p;
    }

    // A sink named `name` for `eventIid` appending to `events`; `also` runs after recording.
    winsys::com::ComPtr<winsys::com::EventSink> recorder(const win::IID& eventIid, std::string name,
                                                         std::function<void(std::vector<win::VARIANT>&)> also = {}) {
        return winsys::com::create<winsys::com::EventSink>(
            eventIid, [this, name, also](win::DISPID id, std::vector<win::VARIANT>& args) {
                events.push_back({name, id, args, std::chrono::steady_clock::now()});
                if (also) also(args);
            });
    }

    testsupport::TestPrefix prefix;
    testsupport::ComLibrary lib{HALVENLIB_PATH};
    std::vector<Event> events;
};

} // namespace messagingtest
