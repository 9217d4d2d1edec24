#pragma once
// IDispatch, implemented once for every dual interface. Each interface
// describes its members in a table, in vtable slot order:
//
//   const InterfaceInfo& _CThing::info() {
//       static const InterfaceInfo i("_CThing", {
//           propGet<&_CThing::get_Count>("Count"),
//           method<&_CThing::Add>("Add").optionalFrom(1),
//           propGet<&_CThing::get_Item>("Item", DISPID_VALUE),
//           function<&_CThing::NewEnum>("NewEnum", DISPID_NEWENUM),
//       });
//       return i;
//   }
//
// Each row takes its member through a pointer to member, which gives both
// the vtable slot (so a test can check the order) and a thunk that unpacks
// the VARIANT arguments of Invoke and calls the member through its slot.
// Names are looked up without regard to case in a sorted table. Members
// without an explicit dispatch id get one per distinct name (a property's
// get and let share it).
//
// Parameter types a member may use (anything else does not compile):
//   in:      LONG SHORT BYTE double VARIANT_BOOL DATE, const std::string&,
//            const VARIANT&, SAFEARRAY*, I* (any interface)
//   by ref:  LONG* SHORT* BYTE* double* VARIANT_BOOL* DATE* std::string*,
//            VARIANT*, I**
//   result:  the last parameter of a function or property get, a pointer
//            to any of the in types (SAFEARRAY** and I** hand over ownership).
// An argument passed by reference is written back to the caller's variable
// after the call; one passed by value receives nothing back.

#include <cstddef>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "platform/com/com_ptr.h"
#include "platform/com/dispatch.h"
#include "platform/com/safearray.h"
#include "platform/com/variant.h"

namespace winsys::com {

using win::DISPID;
using win::FAILED;
using win::HRESULT;
using win::SUCCEEDED;

enum class MemberKind { Method, Function, Get, Let, Set, Hidden };

// One late-bound call in progress, as the thunks see it.
struct Call {
    win::DISPPARAMS* params = nullptr;
    bool put = false;          // property let/set: the value is the last parameter
    std::size_t arity = 0;     // parameters without the result
    std::size_t required = 0;  // parameters that must be given
    win::UINT* argErr = nullptr;
    bool called = false;       // the member itself ran (its failure is its own error)
    VARIANT* result = nullptr;

    // The argument of parameter `i` in declaration order; null when omitted.
    VARIANT* arg(std::size_t i) const;
    // Records parameter `i` as the failing argument (as an rgvarg index).
    HRESULT fail(std::size_t i, HRESULT h) const;
};

using Thunk = HRESULT (*)(void* self, Call& call);

inline constexpr DISPID DISPID_AUTO = static_cast<DISPID>(0x80000000u);

struct MemberInfo {
    std::string name;
    MemberKind kind = MemberKind::Method;
    DISPID dispid = DISPID_AUTO;
    std::size_t slot = 0;      // vtable slot of the member
    std::size_t arity = 0;     // parameters without the result
    std::size_t required = 0;
    Thunk thunk = nullptr;     // null for a hidden slot
    bool paramArray = false;   // the last parameter takes every argument from its place on

    // Parameters from `n` on may be omitted.
    MemberInfo optionalFrom(std::size_t n) const {
        MemberInfo m = *this;
        m.required = n;
        return m;
    }
    // The last parameter (a SAFEARRAY*) is a parameter array: the arguments
    // from its place on reach it as one array of variants from index 0, as
    // late-bound callers pass any number of them. A single argument that is
    // an array already is handed on as it is. It may be omitted.
    MemberInfo withParamArray() const {
        MemberInfo m = *this;
        m.paramArray = true;
        if (m.required >= m.arity) m.required = m.arity - 1;
        return m;
    }
    // "Count (get)", "Add": the member as slot tables name it.
    std::string label() const;
};

class InterfaceInfo {
public:
    InterfaceInfo(std::string name, std::vector<MemberInfo> members);

    const std::string& name() const { return name_; }
    // In slot order, as declared.
    const std::vector<MemberInfo>& members() const { return members_; }
    // The dispatch id of a member name, without regard to case.
    std::optional<DISPID> find(std::string_view name) const;
    // The member that a call with these flags reaches, or null.
    const MemberInfo* lookup(DISPID id, win::WORD flags) const;

private:
    std::string name_;
    std::vector<MemberInfo> members_;
    std::vector<std::pair<std::string, DISPID>> byName_; // sorted without regard to case
};

HRESULT dispatchGetIDsOfNames(const InterfaceInfo& info, const std::string* names, win::UINT count, DISPID* ids);
// Clears the thread's error info, runs the member, and turns a failure of
// the member into DISP_E_EXCEPTION with `excepInfo` filled (or returns it
// as is when there is no `excepInfo`, leaving the error info for the caller).
HRESULT dispatchInvoke(const InterfaceInfo& info, void* self, DISPID id, win::WORD flags, win::DISPPARAMS* params,
                       VARIANT* result, win::EXCEPINFO* excepInfo, win::UINT* argErr);

// The vtable slot of a pointer to a virtual member (Itanium C++ ABI: the
// pointer holds 1 + the slot's byte offset in the vtable).
template <class PM>
std::size_t vtableSlot(PM pm) {
    static_assert(std::is_member_function_pointer_v<PM> && sizeof(PM) == 2 * sizeof(std::ptrdiff_t));
    std::ptrdiff_t rep[2];
    std::memcpy(rep, &pm, sizeof rep);
    if ((rep[0] & 1) == 0 || rep[1] != 0) return static_cast<std::size_t>(-1); // not a virtual of a plain interface
    return static_cast<std::size_t>(rep[0] - 1) / sizeof(void*);
}

namespace detail {

template <class T>
struct Signature;
template <class C, class... A>
struct Signature<HRESULT (C::*)(A...)> {
    using Class = C;
    using Args = std::tuple<A...>;
    static constexpr std::size_t arity = sizeof...(A);
};

template <class T>
inline constexpr bool isInterface = std::is_base_of_v<win::IUnknown, T>;

// Scalar value types and their variant fields.
template <class T>
struct Scalar : std::false_type {};
#define WINSYS_COM_SCALAR(T, VT, FIELD, REF)                         \
    template <>                                                      \
    struct Scalar<T> : std::true_type {                              \
        static constexpr win::VARTYPE vt = win::VT;                  \
        static T& field(VARIANT& v) { return v.FIELD; }              \
        static T*& ref(VARIANT& v) { return v.REF; }                 \
    };
WINSYS_COM_SCALAR(win::LONG, VT_I4, lVal, plVal)
WINSYS_COM_SCALAR(win::SHORT, VT_I2, iVal, piVal)
WINSYS_COM_SCALAR(win::BYTE, VT_UI1, bVal, pbVal)
WINSYS_COM_SCALAR(double, VT_R8, dblVal, pdblVal)
WINSYS_COM_SCALAR(win::VARIANT_BOOL, VT_BOOL, boolVal, pboolVal)
WINSYS_COM_SCALAR(win::DATE, VT_DATE, date, pdate)
WINSYS_COM_SCALAR(std::string, VT_BSTR, bstrVal, pbstrVal)
#undef WINSYS_COM_SCALAR

template <class T>
VARIANT makeScalar(T value) {
    VARIANT v;
    v.vt = Scalar<T>::vt;
    Scalar<T>::field(v) = std::move(value);
    return v;
}

template <class T>
HRESULT readScalar(const VARIANT& a, T* out) {
    VARIANT r;
    HRESULT h = win::VariantChangeType(&r, &a, 0, Scalar<T>::vt);
    if (SUCCEEDED(h)) *out = std::move(Scalar<T>::field(r));
    return h;
}

// An interface pointer from an argument; null for Nothing and for an omitted one.
template <class I>
HRESULT readInterface(const VARIANT* a, ComPtr<I>* out) {
    if (!a) return win::S_OK;
    const VARIANT& v = deref(*a);
    if (v.vt == (win::VT_BYREF | win::VT_DISPATCH) || v.vt == (win::VT_BYREF | win::VT_UNKNOWN)) {
        win::IUnknown* p = *v.ppunkVal;
        if (p && FAILED(p->QueryInterface(I::iid, out->putVoid()))) return win::DISP_E_TYPEMISMATCH;
        return win::S_OK;
    }
    if (v.vt != win::VT_DISPATCH && v.vt != win::VT_UNKNOWN) return win::DISP_E_TYPEMISMATCH;
    if (v.punkVal && FAILED(v.punkVal->QueryInterface(I::iid, out->putVoid()))) return win::DISP_E_TYPEMISMATCH;
    return win::S_OK;
}

// An object as a variant: VT_DISPATCH when it has IDispatch, else VT_UNKNOWN.
template <class I>
VARIANT objectVariant(I* p) {
    if constexpr (std::is_base_of_v<win::IDispatch, I>)
        return makeObject(p);
    else
        return makeUnknown(p);
}

// Writes `value` into the variable that a by-reference argument points at.
void storeByRef(VARIANT& arg, const VARIANT& value);

// How a parameter of type P is read from its argument and written back.
template <class P, class = void>
struct Param {
    static_assert(sizeof(P) == 0, "parameter type not supported by late binding");
};

template <class T>
struct Param<T, std::enable_if_t<Scalar<T>::value>> {
    T v{};
    HRESULT load(VARIANT* a) { return a ? readScalar(*a, &v) : win::S_OK; }
    T get() { return v; }
    void store(VARIANT*) {}
};

template <>
struct Param<const std::string&> {
    std::string v;
    HRESULT load(VARIANT* a) { return a ? readScalar(*a, &v) : win::S_OK; }
    const std::string& get() { return v; }
    void store(VARIANT*) {}
};

template <>
struct Param<const VARIANT&> {
    VARIANT v = makeMissing();
    HRESULT load(VARIANT* a) { return a ? win::VariantCopyInd(&v, a) : win::S_OK; }
    const VARIANT& get() { return v; }
    void store(VARIANT*) {}
};

template <>
struct Param<win::SAFEARRAY*> {
    VARIANT v;
    HRESULT load(VARIANT* a) {
        if (!a) return win::S_OK;
        HRESULT h = win::VariantCopyInd(&v, a);
        if (SUCCEEDED(h) && !(v.vt & win::VT_ARRAY)) h = win::DISP_E_TYPEMISMATCH;
        return h;
    }
    win::SAFEARRAY* get() { return (v.vt & win::VT_ARRAY) ? v.parray : nullptr; }
    void store(VARIANT*) {}
};

template <class I>
struct Param<I*, std::enable_if_t<isInterface<I>>> {
    ComPtr<I> v;
    HRESULT load(VARIANT* a) { return readInterface(a, &v); }
    I* get() { return v.get(); }
    void store(VARIANT*) {}
};

template <class T>
struct Param<T*, std::enable_if_t<Scalar<T>::value>> {
    T v{};
    HRESULT load(VARIANT* a) { return a ? readScalar(*a, &v) : win::S_OK; }
    T* get() { return &v; }
    void store(VARIANT* a) {
        if (a) storeByRef(*a, makeScalar(v));
    }
};

template <>
struct Param<VARIANT*> {
    VARIANT own = makeMissing();
    VARIANT* target = &own;
    HRESULT load(VARIANT* a) {
        if (!a) return win::S_OK;
        if (a->vt == (win::VT_BYREF | win::VT_VARIANT) && a->pvarVal) {
            target = a->pvarVal; // the caller's own variant, changed in place
            return win::S_OK;
        }
        return win::VariantCopyInd(&own, a);
    }
    VARIANT* get() { return target; }
    void store(VARIANT* a) {
        if (a && target == &own) storeByRef(*a, own);
    }
};

template <class I>
struct Param<I**, std::enable_if_t<isInterface<I>>> {
    I* v = nullptr; // one reference, owned here
    HRESULT load(VARIANT* a) {
        ComPtr<I> p;
        HRESULT h = readInterface(a, &p);
        v = p.detach();
        return h;
    }
    I** get() { return &v; }
    void store(VARIANT* a) {
        if (a) storeByRef(*a, objectVariant(v));
    }
    Param() = default;
    Param(const Param&) = delete;
    ~Param() { if (v) v->Release(); }
};

// The result of a function or property get.
template <class R>
struct Out;

template <class T>
struct Out<T*> {
    static_assert(Scalar<T>::value || std::is_same_v<T, VARIANT>, "result type not supported by late binding");
    T v{};
    T* ptr() { return &v; }
    VARIANT take() {
        if constexpr (std::is_same_v<T, VARIANT>)
            return std::move(v);
        else
            return makeScalar(std::move(v));
    }
};

template <class I>
struct Out<I**> {
    I* v = nullptr;
    I** ptr() { return &v; }
    VARIANT take() {
        VARIANT r = objectVariant(v);
        if (v) v->Release();
        v = nullptr;
        return r;
    }
    Out() = default;
    Out(const Out&) = delete;
    ~Out() { if (v) v->Release(); }
};

template <>
struct Out<win::SAFEARRAY**> {
    win::SAFEARRAY* v = nullptr;
    win::SAFEARRAY** ptr() { return &v; }
    VARIANT take() {
        VARIANT r = makeArray(v);
        v = nullptr;
        return r;
    }
    Out() = default;
    Out(const Out&) = delete;
    ~Out() { win::SafeArrayDestroy(v); }
};

template <class T>
HRESULT loadParam(T& p, Call& call, std::size_t i) {
    VARIANT* a = call.arg(i);
    const bool variantParam = std::is_same_v<T, Param<const VARIANT&>> || std::is_same_v<T, Param<VARIANT*>>;
    if (a && !variantParam && isMissing(*a)) a = nullptr; // an explicit "missing" counts as omitted
    if (!a && i < call.required) return call.fail(i, win::DISP_E_PARAMNOTFOUND);
    HRESULT h = p.load(a);
    return FAILED(h) ? call.fail(i, h) : win::S_OK;
}

template <auto PM, bool HasResult, std::size_t... I>
HRESULT invoke(void* self, Call& call, std::index_sequence<I...>) {
    using S = Signature<decltype(PM)>;
    using Args = typename S::Args;
    auto* obj = static_cast<typename S::Class*>(self);
    [[maybe_unused]] std::tuple<Param<std::tuple_element_t<I, Args>>...> params;
    HRESULT h = win::S_OK;
    ((h = SUCCEEDED(h) ? loadParam(std::get<I>(params), call, I) : h), ...);
    if (FAILED(h)) return h;
    call.called = true;
    if constexpr (HasResult) {
        Out<std::tuple_element_t<sizeof...(I), Args>> out;
        h = (obj->*PM)(std::get<I>(params).get()..., out.ptr());
        (std::get<I>(params).store(call.arg(I)), ...);
        if (SUCCEEDED(h) && call.result) *call.result = out.take();
    } else {
        h = (obj->*PM)(std::get<I>(params).get()...);
        (std::get<I>(params).store(call.arg(I)), ...);
    }
    return h;
}

template <auto PM, bool HasResult>
HRESULT thunk(void* self, Call& call) {
    constexpr std::size_t n = Signature<decltype(PM)>::arity - (HasResult ? 1 : 0);
    return invoke<PM, HasResult>(self, call, std::make_index_sequence<n>{});
}

template <auto PM, bool HasResult>
MemberInfo describe(std::string name, MemberKind kind, DISPID id) {
    constexpr std::size_t total = Signature<decltype(PM)>::arity;
    static_assert(!HasResult || total >= 1, "a member with a result needs its out-parameter");
    MemberInfo m;
    m.name = std::move(name);
    m.kind = kind;
    m.dispid = id;
    m.slot = vtableSlot(PM);
    m.arity = total - (HasResult ? 1 : 0);
    m.required = m.arity;
    m.thunk = &thunk<PM, HasResult>;
    return m;
}

} // namespace detail

// A member without a result.
template <auto PM>
MemberInfo method(std::string name, DISPID id = DISPID_AUTO) {
    return detail::describe<PM, false>(std::move(name), MemberKind::Method, id);
}
// A member whose last parameter is its result.
template <auto PM>
MemberInfo function(std::string name, DISPID id = DISPID_AUTO) {
    return detail::describe<PM, true>(std::move(name), MemberKind::Function, id);
}
template <auto PM>
MemberInfo propGet(std::string name, DISPID id = DISPID_AUTO) {
    return detail::describe<PM, true>(std::move(name), MemberKind::Get, id);
}
// Property let and set: the last parameter is the new value.
template <auto PM>
MemberInfo propLet(std::string name, DISPID id = DISPID_AUTO) {
    return detail::describe<PM, false>(std::move(name), MemberKind::Let, id);
}
template <auto PM>
MemberInfo propSet(std::string name, DISPID id = DISPID_AUTO) {
    return detail::describe<PM, false>(std::move(name), MemberKind::Set, id);
}
// A slot that late binding does not reach (no name lookup, no call).
template <auto PM>
MemberInfo hidden(std::string name) {
    MemberInfo m;
    m.name = std::move(name);
    m.kind = MemberKind::Hidden;
    m.slot = vtableSlot(PM);
    return m;
}

} // namespace winsys::com
