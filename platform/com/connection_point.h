#pragma once
// Events through connection points. A class that raises events derives
// from EventObject, which offers IConnectionPointContainer with one
// connection point for its event interface; `events().fire(id, args)`
// calls every connected sink's IDispatch::Invoke with that dispatch id, in
// connection order, and returns when all handlers have returned. The
// connection point shares its container's reference count, so neither
// keeps the other alive on its own.
//
// Clients connect an EventSink (an IDispatch answering to the event
// interface that hands each event to a function) with advise/unadvise.

#include <functional>
#include <utility>
#include <vector>

#include "platform/com/com_ptr.h"
#include "platform/com/dispatch.h"
#include "platform/com/object.h"

namespace win {

struct IConnectionPointContainer;
struct IEnumConnections;      // enumeration of connections is not offered
struct IEnumConnectionPoints; // nor of connection points

struct IConnectionPoint : IUnknown {
    static constexpr IID iid{0xB196B286, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};
    virtual HRESULT GetConnectionInterface(IID* iid) = 0;
    virtual HRESULT GetConnectionPointContainer(IConnectionPointContainer** container) = 0;
    virtual HRESULT Advise(IUnknown* sink, DWORD* cookie) = 0;
    virtual HRESULT Unadvise(DWORD cookie) = 0;
    virtual HRESULT EnumConnections(IEnumConnections** connections) = 0;

protected:
    ~IConnectionPoint() = default;
};

struct IConnectionPointContainer : IUnknown {
    static constexpr IID iid{0xB196B284, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};
    virtual HRESULT EnumConnectionPoints(IEnumConnectionPoints** points) = 0;
    virtual HRESULT FindConnectionPoint(REFIID riid, IConnectionPoint** point) = 0;

protected:
    ~IConnectionPointContainer() = default;
};

} // namespace win

namespace winsys::com {

class ConnectionPoint final : public win::IConnectionPoint {
public:
    ConnectionPoint(win::IConnectionPointContainer* container, const win::IID& eventIid)
        : container_(container), eventIid_(eventIid) {}
    ConnectionPoint(const ConnectionPoint&) = delete;
    ConnectionPoint& operator=(const ConnectionPoint&) = delete;

    win::HRESULT QueryInterface(win::REFIID riid, void** ppv) override;
    win::ULONG AddRef() override { return container_->AddRef(); }
    win::ULONG Release() override { return container_->Release(); }
    win::HRESULT GetConnectionInterface(win::IID* iid) override;
    win::HRESULT GetConnectionPointContainer(win::IConnectionPointContainer** container) override;
    // Asks the sink for the event interface; CONNECT_E_CANNOTCONNECT when it has none.
    win::HRESULT Advise(win::IUnknown* sink, win::DWORD* cookie) override;
    win::HRESULT Unadvise(win::DWORD cookie) override;
    win::HRESULT EnumConnections(win::IEnumConnections** connections) override;

    // Raises event `id` with `args` in declaration order. Each sink gets its
    // own copy of the arguments; by-reference arguments reach the raiser's
    // variables. A sink connected or disconnected by a handler takes effect
    // from the next event on; failures of handlers are not the raiser's.
    void fire(win::DISPID id, const std::vector<VARIANT>& args = {});
    std::size_t connectionCount() const { return sinks_.size(); }
    // The connection point for `riid`, or CONNECT_E_NOCONNECTION.
    win::HRESULT find(win::REFIID riid, win::IConnectionPoint** point);

private:
    win::IConnectionPointContainer* container_;
    win::IID eventIid_;
    std::vector<std::pair<win::DWORD, ComPtr<win::IDispatch>>> sinks_;
    win::DWORD nextCookie_ = 1;
};

// A class with one event interface.
template <class Primary, class... Rest>
class EventObject : public DispatchObject<Primary, win::IConnectionPointContainer, Rest...> {
public:
    win::HRESULT EnumConnectionPoints(win::IEnumConnectionPoints** points) override {
        if (points) *points = nullptr;
        return win::E_NOTIMPL;
    }
    win::HRESULT FindConnectionPoint(win::REFIID riid, win::IConnectionPoint** point) override {
        return events_.find(riid, point);
    }

protected:
    explicit EventObject(const win::IID& eventIid) : events_(this, eventIid) {}
    ConnectionPoint& events() { return events_; }

private:
    ConnectionPoint events_;
};

// A client's sink for one event interface: each event goes to `handler`
// with its dispatch id and its arguments in declaration order.
class EventSink final : public Object<win::IDispatch> {
public:
    using Handler = std::function<void(win::DISPID id, std::vector<VARIANT>& args)>;
    EventSink(const win::IID& eventIid, Handler handler) : eventIid_(eventIid), handler_(std::move(handler)) {}

    win::HRESULT GetTypeInfoCount(win::UINT* count) override;
    win::HRESULT GetTypeInfo(win::UINT, win::LCID, win::ITypeInfo** info) override;
    win::HRESULT GetIDsOfNames(win::REFIID, const std::string*, win::UINT count, win::LCID, win::DISPID* ids) override;
    win::HRESULT Invoke(win::DISPID id, win::REFIID, win::LCID, win::WORD flags, win::DISPPARAMS* params,
                        VARIANT* result, win::EXCEPINFO*, win::UINT*) override;

protected:
    void* queryOther(win::REFIID riid) override;

private:
    win::IID eventIid_;
    Handler handler_;
};

// Connects `sink` to the events `eventIid` of `source`; returns the cookie
// for unadvise. Throws ComError.
win::DWORD advise(win::IUnknown* source, win::REFIID eventIid, win::IUnknown* sink);
void unadvise(win::IUnknown* source, win::REFIID eventIid, win::DWORD cookie);

} // namespace winsys::com
