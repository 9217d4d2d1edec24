#pragma once
// The base of every COM class here: the reference count, QueryInterface
// over the interfaces the class lists, and (DispatchObject) IDispatch
// through the first interface's member table.
//
//   class CThing final : public DispatchObject<_CThing, IPersistPropertyBag> { ... };
//   ComPtr<CThing> t = create<CThing>();
//
// QueryInterface clears its output first and adds a reference on success;
// IUnknown always answers with the first interface, so identity holds.

#include <atomic>
#include <string>
#include <type_traits>
#include <utility>

#include "platform/com/com_ptr.h"
#include "platform/com/dispatch.h"
#include "platform/com/dispatch_table.h"

namespace winsys::com {

template <class First, class... Rest>
class Object : public First, public Rest... {
public:
    win::HRESULT QueryInterface(win::REFIID riid, void** ppv) override {
        if (!ppv) return win::E_POINTER;
        *ppv = nullptr;
        void* p = nullptr;
        if (riid == win::IUnknown::iid)
            p = static_cast<win::IUnknown*>(static_cast<First*>(this));
        else if (!(p = exact<First>(riid)) && !((p = exact<Rest>(riid)) || ...) &&
                 !(p = base<win::IDispatch, First>(riid)) && !((p = base<win::IDispatch, Rest>(riid)) || ...) &&
                 !((p = base<win::IPersist, Rest>(riid)) || ...))
            p = queryOther(riid);
        if (!p) return win::E_NOINTERFACE;
        AddRef();
        *ppv = p;
        return win::S_OK;
    }
    win::ULONG AddRef() override { return ++refs_; }
    win::ULONG Release() override {
        const win::ULONG n = --refs_;
        if (n == 0) delete this;
        return n;
    }

protected:
    Object() = default;
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;
    virtual ~Object() = default;
    // Identities beyond the listed interfaces (an interface's earlier ids):
    // the interface pointer, or null.
    virtual void* queryOther(win::REFIID) { return nullptr; }

private:
    template <class I>
    void* exact(win::REFIID riid) {
        return riid == I::iid ? static_cast<void*>(static_cast<I*>(this)) : nullptr;
    }
    template <class B, class I>
    void* base(win::REFIID riid) {
        if constexpr (std::is_base_of_v<B, I>)
            return riid == B::iid ? static_cast<void*>(static_cast<B*>(static_cast<I*>(this))) : nullptr;
        else
            return nullptr;
    }

    std::atomic<win::ULONG> refs_{1};
};

// IDispatch for `Primary` (a dual interface with `static const InterfaceInfo& info()`).
template <class Primary, class... Rest>
class DispatchObject : public Object<Primary, Rest...> {
public:
    win::HRESULT GetTypeInfoCount(win::UINT* count) override {
        if (!count) return win::E_POINTER;
        *count = 0;
        return win::S_OK;
    }
    win::HRESULT GetTypeInfo(win::UINT, win::LCID, win::ITypeInfo** info) override {
        if (info) *info = nullptr;
        return win::DISP_E_BADINDEX;
    }
    win::HRESULT GetIDsOfNames(win::REFIID, const std::string* names, win::UINT count, win::LCID,
                               win::DISPID* ids) override {
        return dispatchGetIDsOfNames(Primary::info(), names, count, ids);
    }
    win::HRESULT Invoke(win::DISPID id, win::REFIID, win::LCID, win::WORD flags, win::DISPPARAMS* params,
                        VARIANT* result, win::EXCEPINFO* excepInfo, win::UINT* argErr) override {
        return dispatchInvoke(Primary::info(), static_cast<Primary*>(this), id, flags, params, result, excepInfo,
                              argErr);
    }
};

// A new object holding its first reference.
template <class T, class... A>
ComPtr<T> create(A&&... args) {
    return ComPtr<T>::attach(new T(std::forward<A>(args)...));
}

// A new object asked for `riid`, as a class factory hands it out.
template <class T, class... A>
win::HRESULT createAs(win::REFIID riid, void** ppv, A&&... args) {
    return create<T>(std::forward<A>(args)...)->QueryInterface(riid, ppv);
}

} // namespace winsys::com
