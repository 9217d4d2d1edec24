#include "platform/com/dispatch_table.h"

#include <algorithm>
#include <map>
#include <set>

#include "platform/com/error_info.h"
#include "platform/core/text.h"

namespace winsys::com {

using namespace win;

VARIANT* Call::arg(std::size_t i) const {
    const UINT n = params->cArgs;
    if (put) {
        if (i + 1 == arity) return n ? &params->rgvarg[0] : nullptr; // the new value comes first
        return i + 1 < n ? &params->rgvarg[n - 1 - i] : nullptr;
    }
    return i < n ? &params->rgvarg[n - 1 - i] : nullptr;
}

HRESULT Call::fail(std::size_t i, HRESULT h) const {
    if (argErr) {
        const UINT n = params->cArgs;
        if (put && i + 1 == arity)
            *argErr = 0;
        else if (i < n)
            *argErr = n - 1 - static_cast<UINT>(i);
    }
    return h;
}

std::string MemberInfo::label() const {
    switch (kind) {
    case MemberKind::Get: return name + " (get)";
    case MemberKind::Let: return name + " (let)";
    case MemberKind::Set: return name + " (set)";
    default: return name;
    }
}

InterfaceInfo::InterfaceInfo(std::string name, std::vector<MemberInfo> members)
    : name_(std::move(name)), members_(std::move(members)) {
    std::map<std::string, DISPID, LessNoCase> ids;
    std::set<DISPID> used;
    for (const MemberInfo& m : members_)
        if (m.kind != MemberKind::Hidden && m.dispid != DISPID_AUTO) {
            ids.emplace(m.name, m.dispid);
            used.insert(m.dispid);
        }
    DISPID next = 1;
    for (MemberInfo& m : members_) {
        if (m.kind == MemberKind::Hidden) continue;
        if (m.dispid == DISPID_AUTO) {
            auto it = ids.find(m.name);
            if (it == ids.end()) {
                while (used.count(next)) ++next;
                it = ids.emplace(m.name, next).first;
                used.insert(next);
            }
            m.dispid = it->second;
        }
    }
    byName_.assign(ids.begin(), ids.end()); // already sorted without regard to case
}

std::optional<DISPID> InterfaceInfo::find(std::string_view name) const {
    auto it = std::lower_bound(byName_.begin(), byName_.end(), name,
                               [](const auto& e, std::string_view n) { return compareNoCase(e.first, n) < 0; });
    if (it == byName_.end() || !equalsNoCase(it->first, name)) return std::nullopt;
    return it->second;
}

const MemberInfo* InterfaceInfo::lookup(DISPID id, WORD flags) const {
    auto pick = [&](MemberKind a, MemberKind b) -> const MemberInfo* {
        for (const MemberInfo& m : members_)
            if (m.dispid == id && m.thunk && (m.kind == a || m.kind == b)) return &m;
        return nullptr;
    };
    const MemberInfo* m = nullptr;
    if (flags & DISPATCH_METHOD) m = pick(MemberKind::Method, MemberKind::Function);
    if (!m && (flags & DISPATCH_PROPERTYGET)) m = pick(MemberKind::Get, MemberKind::Get);
    if (!m && (flags & DISPATCH_PROPERTYPUTREF)) m = pick(MemberKind::Set, MemberKind::Set);
    // A plain put reaches a set-only property too, as script callers expect.
    if (!m && (flags & DISPATCH_PROPERTYPUT)) m = pick(MemberKind::Let, MemberKind::Let);
    if (!m && (flags & DISPATCH_PROPERTYPUT)) m = pick(MemberKind::Set, MemberKind::Set);
    return m;
}

namespace detail {

void storeByRef(VARIANT& arg, const VARIANT& value) {
    if (!(arg.vt & VT_BYREF) || !arg.pbVal) return;
    const VARTYPE t = static_cast<VARTYPE>(arg.vt & ~VT_BYREF);
    if (t == VT_VARIANT) {
        *arg.pvarVal = value;
        return;
    }
    VARIANT v;
    if (FAILED(VariantChangeType(&v, &value, 0, t))) return; // the caller's variable cannot take it
    if (t & VT_ARRAY) {
        SafeArrayDestroy(*arg.pparray);
        *arg.pparray = v.parray;
        v.vt = VT_EMPTY;
        return;
    }
    switch (t) {
    case VT_UI1: *arg.pbVal = v.bVal; break;
    case VT_I2: *arg.piVal = v.iVal; break;
    case VT_I4: *arg.plVal = v.lVal; break;
    case VT_R8: *arg.pdblVal = v.dblVal; break;
    case VT_BOOL: *arg.pboolVal = v.boolVal; break;
    case VT_DATE: *arg.pdate = v.date; break;
    case VT_BSTR: *arg.pbstrVal = std::move(v.bstrVal); break;
    case VT_DISPATCH:
    case VT_UNKNOWN:
        if (*arg.ppunkVal) (*arg.ppunkVal)->Release();
        *arg.ppunkVal = v.punkVal; // the reference moves to the caller's variable
        v.vt = VT_EMPTY;
        break;
    default: break;
    }
}

} // namespace detail

namespace {

// The arguments of a call to a member with a parameter array, the array's
// arguments gathered into one (rgvarg order: the array first, as the last
// parameter). Nothing to do when the array's arguments are omitted.
HRESULT gatherParamArray(const MemberInfo& m, const DISPPARAMS& in, std::vector<VARIANT>* out) {
    const std::size_t fixed = m.arity - 1;
    if (in.cArgs <= fixed) return S_OK;
    const std::size_t rest = in.cArgs - fixed; // rgvarg[0 .. rest-1], the last argument first
    if (rest == 1 && (deref(in.rgvarg[0]).vt & VT_ARRAY)) return S_OK;
    std::vector<VARIANT> items(rest);
    for (std::size_t i = 0; i < rest; ++i)
        if (HRESULT h = VariantCopyInd(&items[i], &in.rgvarg[rest - 1 - i]); FAILED(h)) return h;
    SAFEARRAY* array = makeVariantArray(items, 0);
    if (!array) return E_OUTOFMEMORY;
    out->push_back(makeArray(array));
    // The fixed arguments as given, by-reference ones still pointing at the caller's variables.
    for (std::size_t j = rest; j < in.cArgs; ++j) out->push_back(in.rgvarg[j]);
    return S_OK;
}

} // namespace

HRESULT dispatchGetIDsOfNames(const InterfaceInfo& info, const std::string* names, UINT count, DISPID* ids) {
    if ((count && !names) || (count && !ids)) return E_INVALIDARG;
    if (count == 0) return S_OK;
    HRESULT h = S_OK;
    auto id = info.find(names[0]);
    ids[0] = id ? *id : DISPID_UNKNOWN;
    if (!id) h = DISP_E_UNKNOWNNAME;
    for (UINT i = 1; i < count; ++i) { // named parameters are not offered
        ids[i] = DISPID_UNKNOWN;
        h = DISP_E_UNKNOWNNAME;
    }
    return h;
}

HRESULT dispatchInvoke(const InterfaceInfo& info, void* self, DISPID id, WORD flags, DISPPARAMS* params,
                       VARIANT* result, EXCEPINFO* excepInfo, UINT* argErr) {
    if (result) VariantClear(result); // no stale value can pass for a result
    DISPPARAMS none;
    if (!params) params = &none;
    if (params->cArgs && !params->rgvarg) return E_INVALIDARG;
    const MemberInfo* m = info.lookup(id, flags);
    if (!m) return DISP_E_MEMBERNOTFOUND;
    const bool put = m->kind == MemberKind::Let || m->kind == MemberKind::Set;
    if (params->cNamedArgs) {
        if (!put || params->cNamedArgs != 1 || !params->rgdispidNamedArgs ||
            params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT)
            return DISP_E_NONAMEDARGS;
    }
    std::vector<VARIANT> gathered;
    DISPPARAMS withArray;
    if (m->paramArray) {
        if (HRESULT h = gatherParamArray(*m, *params, &gathered); FAILED(h)) return h;
        if (!gathered.empty()) {
            withArray.rgvarg = gathered.data();
            withArray.cArgs = static_cast<UINT>(gathered.size());
            params = &withArray;
        }
    }
    if (params->cArgs > m->arity) return DISP_E_BADPARAMCOUNT;
    if (put && params->cArgs == 0) return DISP_E_PARAMNOTFOUND;

    Call call;
    call.params = params;
    call.put = put;
    call.arity = m->arity;
    call.required = m->required;
    call.argErr = argErr;
    call.result = result;
    clearErrorInfo();
    const HRESULT h = m->thunk(self, call);
    if (SUCCEEDED(h) || !call.called || !excepInfo) return h;

    *excepInfo = EXCEPINFO{};
    excepInfo->scode = h;
    ComPtr<IErrorInfo> e;
    if (GetErrorInfo(0, e.put()) == S_OK && e) {
        e->GetDescription(&excepInfo->bstrDescription);
        e->GetSource(&excepInfo->bstrSource);
    }
    return DISP_E_EXCEPTION;
}

} // namespace winsys::com
