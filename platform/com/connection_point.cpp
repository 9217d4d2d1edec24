#include "platform/com/connection_point.h"

#include <algorithm>

#include "platform/com/com_error.h"

namespace winsys::com {

using namespace win;

HRESULT ConnectionPoint::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid != IUnknown::iid && riid != IConnectionPoint::iid) return E_NOINTERFACE;
    AddRef();
    *ppv = static_cast<IConnectionPoint*>(this);
    return S_OK;
}

HRESULT ConnectionPoint::GetConnectionInterface(IID* iid) {
    if (!iid) return E_POINTER;
    *iid = eventIid_;
    return S_OK;
}

HRESULT ConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** container) {
    if (!container) return E_POINTER;
    container_->AddRef();
    *container = container_;
    return S_OK;
}

HRESULT ConnectionPoint::Advise(IUnknown* sink, DWORD* cookie) {
    if (!cookie) return E_POINTER;
    *cookie = 0;
    if (!sink) return E_POINTER;
    // An event interface is dispatch-only: its vtable is IDispatch's.
    IDispatch* d = nullptr;
    if (FAILED(sink->QueryInterface(eventIid_, reinterpret_cast<void**>(&d))) || !d) return CONNECT_E_CANNOTCONNECT;
    sinks_.emplace_back(nextCookie_, ComPtr<IDispatch>::attach(d));
    *cookie = nextCookie_++;
    return S_OK;
}

HRESULT ConnectionPoint::Unadvise(DWORD cookie) {
    auto it = std::find_if(sinks_.begin(), sinks_.end(), [&](const auto& s) { return s.first == cookie; });
    if (it == sinks_.end()) return CONNECT_E_NOCONNECTION;
    sinks_.erase(it);
    return S_OK;
}

HRESULT ConnectionPoint::EnumConnections(IEnumConnections** connections) {
    if (connections) *connections = nullptr;
    return E_NOTIMPL;
}

void ConnectionPoint::fire(DISPID id, const std::vector<VARIANT>& args) {
    std::vector<ComPtr<IDispatch>> sinks;
    for (const auto& s : sinks_) sinks.push_back(s.second);
    for (const auto& sink : sinks) {
        std::vector<VARIANT> reversed(args.rbegin(), args.rend());
        DISPPARAMS params;
        params.rgvarg = reversed.data();
        params.cArgs = static_cast<UINT>(reversed.size());
        sink->Invoke(id, GUID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
    }
}

HRESULT ConnectionPoint::find(REFIID riid, IConnectionPoint** point) {
    if (!point) return E_POINTER;
    *point = nullptr;
    if (riid != eventIid_) return CONNECT_E_NOCONNECTION;
    AddRef();
    *point = this;
    return S_OK;
}

HRESULT EventSink::GetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
}

HRESULT EventSink::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info) *info = nullptr;
    return DISP_E_BADINDEX;
}

HRESULT EventSink::GetIDsOfNames(REFIID, const std::string*, UINT count, LCID, DISPID* ids) {
    for (UINT i = 0; ids && i < count; ++i) ids[i] = DISPID_UNKNOWN;
    return DISP_E_UNKNOWNNAME;
}

HRESULT EventSink::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result, EXCEPINFO*, UINT*) {
    if (result) VariantClear(result);
    std::vector<VARIANT> args;
    if (params && params->rgvarg)
        for (UINT i = params->cArgs; i-- > 0;) args.push_back(params->rgvarg[i]);
    if (handler_) handler_(id, args);
    return S_OK;
}

void* EventSink::queryOther(REFIID riid) {
    return riid == eventIid_ ? static_cast<IDispatch*>(this) : nullptr;
}

DWORD advise(IUnknown* source, REFIID eventIid, IUnknown* sink) {
    if (!source) throw ComError(E_POINTER, "", "");
    ComPtr<IConnectionPointContainer> container;
    call([&] { return source->QueryInterface(IConnectionPointContainer::iid, container.putVoid()); });
    ComPtr<IConnectionPoint> point;
    call([&] { return container->FindConnectionPoint(eventIid, point.put()); });
    DWORD cookie = 0;
    call([&] { return point->Advise(sink, &cookie); });
    return cookie;
}

void unadvise(IUnknown* source, REFIID eventIid, DWORD cookie) {
    if (!source) throw ComError(E_POINTER, "", "");
    ComPtr<IConnectionPointContainer> container;
    call([&] { return source->QueryInterface(IConnectionPointContainer::iid, container.putVoid()); });
    ComPtr<IConnectionPoint> point;
    call([&] { return container->FindConnectionPoint(eventIid, point.put()); });
    call([&] { return point->Unadvise(cookie); });
}

} // namespace winsys::com
