// CMsgr through COM: SendMsg hands its four values to every connected sink,
// in connection order, before it returns; omitted values arrive as empty
// text and the missing-argument variant; each sink gets the values intact
// whatever an earlier sink did to its own copy.

#include <gtest/gtest.h>

#include "platform/com/late_bound.h"
#include "platform/com/message_queue.h"
#include "tests/common/messaging/messaging_fixture.h"

using namespace win;
using namespace winsys::com;
using namespace halvenlib;
using messagingtest::Messaging;

namespace {

class CMsgrTest : public Messaging {
protected:
    void SetUp() override {
        msgr = make<_CMsgr>(CLSID_CMsgr);
        ASSERT_TRUE(msgr);
    }
    DWORD connect(const ComPtr<EventSink>& sink) {
        return advise(msgr.get(), DIID___CMsgr, static_cast<IDispatch*>(sink.get()));
    }
    std::vector<std::string> sinksReached() const {
        std::vector<std::string> names;
        for (const auto& e : events) names.push_back(e.sink);
        return names;
    }

    ComPtr<_CMsgr> msgr;
};

TEST_F(CMsgrTest, DeliversTheValuesToEverySinkInOrderBeforeReturning) {
    auto payload = make<_CMsgr>(CLSID_CMsgr); // any object will do
    LONG byRefData = 11;
    // The first sink scribbles over its own copy of every argument.
    auto a = recorder(DIID___CMsgr, "a", [](std::vector<VARIANT>& args) {
        for (VARIANT& v : args) v = makeText("scribbled");
    });
    auto b = recorder(DIID___CMsgr, "b");
    auto c = recorder(DIID___CMsgr, "c");
    connect(a);
    connect(b);
    connect(c);

    const struct {
        const char* label;
        std::function<void()> send;
        LONG msg;
        std::function<void(const VARIANT&)> checkData;
        const char* sender;
        const char* receiver;
    } rows[] = {
        {"only Msg, by name", [&] { callMethod(msgr.get(), "SendMsg", {makeLong(5)}); }, 5,
         [](const VARIANT& v) { EXPECT_TRUE(isMissing(v)) << "vt " << v.vt; }, "", ""},
        {"only Msg, by slot", [&] { ASSERT_EQ(msgr->SendMsg(6, nullptr, "", ""), S_OK); }, 6,
         [](const VARIANT& v) { EXPECT_TRUE(isMissing(v)) << "vt " << v.vt; }, "", ""},
        {"all four, by slot",
         [&] {
             VARIANT d = makeText("payload");
             ASSERT_EQ(msgr->SendMsg(-3, &d, "from me", "to you"), S_OK);
         },
         -3,
         [](const VARIANT& v) {
             ASSERT_EQ(v.vt, VT_BSTR);
             EXPECT_EQ(v.bstrVal, "payload");
         },
         "from me", "to you"},
        {"object data and sender, by name",
         [&] {
             callMethod(msgr.get(), "SendMsg", {makeLong(8), makeObject(payload.get()), makeText("s")});
         },
         8,
         [&](const VARIANT& v) {
             ASSERT_EQ(v.vt, VT_DISPATCH);
             EXPECT_EQ(v.pdispVal, static_cast<IDispatch*>(payload.get()));
         },
         "s", ""},
        {"data by reference, by name",
         [&] { callMethod(msgr.get(), "SendMsg", {makeLong(9), byRef(&byRefData), makeText("s"), makeText("r")}); },
         9,
         [](const VARIANT& v) {
             ASSERT_EQ(v.vt, VT_I4);
             EXPECT_EQ(v.lVal, 11);
         },
         "s", "r"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.label);
        events.clear();
        r.send();
        ASSERT_EQ(sinksReached(), (std::vector<std::string>{"a", "b", "c"}));
        for (const auto& e : events) {
            SCOPED_TRACE(e.sink);
            EXPECT_EQ(e.id, DISPID_MsgArrived);
            ASSERT_EQ(e.args.size(), 4u);
            ASSERT_EQ(e.args[0].vt, VT_I4);
            EXPECT_EQ(e.args[0].lVal, r.msg);
            r.checkData(e.args[1]);
            ASSERT_EQ(e.args[2].vt, VT_BSTR);
            EXPECT_EQ(e.args[2].bstrVal, r.sender);
            ASSERT_EQ(e.args[3].vt, VT_BSTR);
            EXPECT_EQ(e.args[3].bstrVal, r.receiver);
        }
    }
    EXPECT_EQ(byRefData, 11);
    EXPECT_EQ(winsys::pumpUntilIdle(), 0u) << "SendMsg left something for the message loop";
}

TEST_F(CMsgrTest, DisconnectedSinksGetNothing) {
    auto a = recorder(DIID___CMsgr, "a"), b = recorder(DIID___CMsgr, "b"), c = recorder(DIID___CMsgr, "c");
    const DWORD ca = connect(a), cb = connect(b), cc = connect(c);
    unadvise(msgr.get(), DIID___CMsgr, cb);
    ASSERT_EQ(msgr->SendMsg(1, nullptr, "", ""), S_OK);
    EXPECT_EQ(sinksReached(), (std::vector<std::string>{"a", "c"}));

    unadvise(msgr.get(), DIID___CMsgr, ca);
    unadvise(msgr.get(), DIID___CMsgr, cc);
    events.clear();
    EXPECT_EQ(msgr->SendMsg(2, nullptr, "", ""), S_OK); // nobody listening: nothing, no error
    callMethod(msgr.get(), "SendMsg", {makeLong(3)});
    EXPECT_TRUE(events.empty());
}

TEST_F(CMsgrTest, SinkDroppingTheLastReferenceDoesNotCutTheBroadcast) {
    _CMsgr* raw = msgr.get();
    auto dropper = recorder(DIID___CMsgr, "dropper", [&](std::vector<VARIANT>&) { msgr = nullptr; });
    auto after = recorder(DIID___CMsgr, "after");
    connect(dropper);
    connect(after);
    EXPECT_EQ(raw->SendMsg(4, nullptr, "", ""), S_OK);
    EXPECT_EQ(sinksReached(), (std::vector<std::string>{"dropper", "after"}));
    EXPECT_FALSE(msgr);
}

} // namespace
