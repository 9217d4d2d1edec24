#include "platform/com/connection_point.h"

#include <gtest/gtest.h>

#include "platform/com/com_error.h"
#include "platform/com/late_bound.h"

using namespace win;
using namespace winsys::com;

namespace {

constexpr IID DIID_Events{0x0C0FFEE0, 0x0003, 0x0004, {0, 0, 0, 0, 0, 0, 0, 0x01}};

struct _ISource : IDispatch {
    static constexpr IID iid{0x0C0FFEE0, 0x0003, 0x0004, {0, 0, 0, 0, 0, 0, 0, 0x02}};
    static const InterfaceInfo& info();
    // Raises event 1 with (n, by-reference text).
    virtual HRESULT Raise(LONG n, std::string* text) = 0;

protected:
    ~_ISource() = default;
};

const InterfaceInfo& _ISource::info() {
    static const InterfaceInfo i("_ISource", {method<&_ISource::Raise>("Raise")});
    return i;
}

class Source final : public EventObject<_ISource> {
public:
    Source() : EventObject(DIID_Events) {}
    HRESULT Raise(LONG n, std::string* text) override {
        events().fire(1, {makeLong(n), byRef(text)});
        return S_OK;
    }
};

TEST(Events, DeliveredToEverySinkInConnectionOrder) {
    auto source = create<Source>();
    std::vector<std::string> log;
    DWORD cookieB = 0;
    auto handler = [&](const char* who) {
        return [&, who](DISPID id, std::vector<VARIANT>& args) {
            ASSERT_EQ(args.size(), 2u);
            log.push_back(std::string(who) + std::to_string(id) + ":" + std::to_string(args[0].lVal));
            *args[1].pbstrVal += who; // a by-reference argument reaches the raiser
        };
    };
    auto a = create<EventSink>(DIID_Events, handler("A"));
    auto b = create<EventSink>(DIID_Events, handler("B"));
    const DWORD cookieA = advise(static_cast<_ISource*>(source.get()), DIID_Events, static_cast<IDispatch*>(a.get()));
    cookieB = advise(static_cast<_ISource*>(source.get()), DIID_Events, static_cast<IDispatch*>(b.get()));
    EXPECT_NE(cookieA, cookieB);

    std::string text = ">";
    VARIANT t = byRef(&text);
    callMethod(static_cast<_ISource*>(source.get()), "Raise", {makeLong(7), t});
    EXPECT_EQ(log, (std::vector<std::string>{"A1:7", "B1:7"}));
    EXPECT_EQ(text, ">AB");

    unadvise(static_cast<_ISource*>(source.get()), DIID_Events, cookieA);
    log.clear();
    source->Raise(8, &text);
    EXPECT_EQ(log, (std::vector<std::string>{"B1:8"}));
}

TEST(Events, ConnectionErrors) {
    auto source = create<Source>();
    IUnknown* unk = static_cast<_ISource*>(source.get());
    ComPtr<IConnectionPointContainer> container;
    ASSERT_EQ(unk->QueryInterface(IConnectionPointContainer::iid, container.putVoid()), S_OK);
    ComPtr<IConnectionPoint> point;
    EXPECT_EQ(container->FindConnectionPoint(_ISource::iid, point.put()), CONNECT_E_NOCONNECTION);
    ASSERT_EQ(container->FindConnectionPoint(DIID_Events, point.put()), S_OK);
    IID iid{};
    point->GetConnectionInterface(&iid);
    EXPECT_EQ(iid, DIID_Events);

    auto wrongSink = create<EventSink>(_ISource::iid, nullptr);
    DWORD cookie = 123;
    EXPECT_EQ(point->Advise(static_cast<IDispatch*>(wrongSink.get()), &cookie), CONNECT_E_CANNOTCONNECT);
    EXPECT_EQ(cookie, 0u);
    EXPECT_EQ(point->Unadvise(42), CONNECT_E_NOCONNECTION);
    try {
        advise(unk, _ISource::iid, static_cast<IDispatch*>(wrongSink.get()));
        FAIL() << "no error";
    } catch (const ComError& e) {
        EXPECT_EQ(e.hresult(), CONNECT_E_NOCONNECTION);
    }
}

TEST(Events, SinkThatDisconnectsDuringAnEventIsSafe) {
    auto source = create<Source>();
    _ISource* s = source.get();
    int second = 0;
    DWORD firstCookie = 0;
    auto first = create<EventSink>(DIID_Events, [&](DISPID, std::vector<VARIANT>&) { unadvise(s, DIID_Events, firstCookie); });
    auto other = create<EventSink>(DIID_Events, [&](DISPID, std::vector<VARIANT>&) { ++second; });
    firstCookie = advise(s, DIID_Events, static_cast<IDispatch*>(first.get()));
    advise(s, DIID_Events, static_cast<IDispatch*>(other.get()));
    std::string text;
    s->Raise(1, &text);
    s->Raise(2, &text);
    EXPECT_EQ(second, 2);
}

} // namespace
