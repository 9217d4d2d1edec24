#include "platform/com/variant.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <utility>

#include "platform/com/dispatch.h"
#include "platform/com/safearray.h"
#include "platform/core/text.h"

namespace win {

VARIANT::VARIANT(const VARIANT& o) { VariantCopy(this, &o); }

VARIANT::VARIANT(VARIANT&& o) noexcept : vt(o.vt), raw_(o.raw_), bstrVal(std::move(o.bstrVal)) {
    o.vt = VT_EMPTY;
    o.raw_ = 0;
}

VARIANT& VARIANT::operator=(const VARIANT& o) {
    if (this != &o) VariantCopy(this, &o);
    return *this;
}

VARIANT& VARIANT::operator=(VARIANT&& o) noexcept {
    if (this != &o) {
        VariantClear(this);
        vt = o.vt;
        raw_ = o.raw_;
        bstrVal = std::move(o.bstrVal);
        o.vt = VT_EMPTY;
        o.raw_ = 0;
    }
    return *this;
}

VARIANT::~VARIANT() { VariantClear(this); }

void VariantInit(VARIANT* v) {
    v->vt = VT_EMPTY;
    v->raw_ = 0;
    v->bstrVal.clear();
}

HRESULT VariantClear(VARIANT* v) {
    if (!v) return E_INVALIDARG;
    if (!(v->vt & VT_BYREF)) {
        if (v->vt & VT_ARRAY) {
            if (v->parray) {
                v->parray->locks = 0; // a cleared variant's array goes whatever its locks
                SafeArrayDestroy(v->parray);
            }
        } else if (v->vt == VT_DISPATCH) {
            if (v->pdispVal) v->pdispVal->Release();
        } else if (v->vt == VT_UNKNOWN) {
            if (v->punkVal) v->punkVal->Release();
        }
    }
    v->vt = VT_EMPTY;
    v->raw_ = 0;
    v->bstrVal.clear();
    return S_OK;
}

HRESULT VariantCopy(VARIANT* dest, const VARIANT* src) {
    if (!dest || !src) return E_INVALIDARG;
    if (dest == src) return S_OK;
    VARIANT copy;
    copy.vt = src->vt;
    copy.raw_ = src->raw_;
    if (!(src->vt & VT_BYREF)) {
        if (src->vt & VT_ARRAY) {
            if (HRESULT h = SafeArrayCopy(src->parray, &copy.parray); FAILED(h)) {
                copy.vt = VT_EMPTY;
                return h;
            }
        } else if (src->vt == VT_BSTR) {
            copy.bstrVal = src->bstrVal;
        } else if (src->vt == VT_DISPATCH || src->vt == VT_UNKNOWN) {
            if (src->punkVal) src->punkVal->AddRef();
        }
    }
    *dest = std::move(copy);
    return S_OK;
}

HRESULT VariantCopyInd(VARIANT* dest, const VARIANT* src) {
    if (!dest || !src) return E_INVALIDARG;
    if (!(src->vt & VT_BYREF)) return VariantCopy(dest, src);
    const VARTYPE t = static_cast<VARTYPE>(src->vt & ~VT_BYREF);
    VARIANT v;
    if (t == VT_VARIANT) {
        if (!src->pvarVal) return E_INVALIDARG;
        if (HRESULT h = VariantCopyInd(&v, src->pvarVal); FAILED(h)) return h;
        *dest = std::move(v);
        return S_OK;
    }
    if (!src->pbVal) return E_INVALIDARG;
    v.vt = t;
    if (t & VT_ARRAY) {
        if (HRESULT h = SafeArrayCopy(*src->pparray, &v.parray); FAILED(h)) {
            v.vt = VT_EMPTY;
            return h;
        }
    } else {
        switch (t) {
        case VT_UI1: v.bVal = *src->pbVal; break;
        case VT_I2: v.iVal = *src->piVal; break;
        case VT_I4: v.lVal = *src->plVal; break;
        case VT_R8: v.dblVal = *src->pdblVal; break;
        case VT_BOOL: v.boolVal = *src->pboolVal; break;
        case VT_DATE: v.date = *src->pdate; break;
        case VT_ERROR: v.scode = *src->pscode; break;
        case VT_BSTR: v.bstrVal = *src->pbstrVal; break;
        case VT_DISPATCH:
        case VT_UNKNOWN:
            v.punkVal = *src->ppunkVal;
            if (v.punkVal) v.punkVal->AddRef();
            break;
        default: v.vt = VT_EMPTY; return DISP_E_BADVARTYPE;
        }
    }
    *dest = std::move(v);
    return S_OK;
}

namespace {

HRESULT parseNumber(std::string_view s, double* out) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    if (s.empty()) return DISP_E_TYPEMISMATCH;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), *out);
    if (ec == std::errc::result_out_of_range) return DISP_E_OVERFLOW;
    if (ec != std::errc() || end != s.data() + s.size()) return DISP_E_TYPEMISMATCH;
    return S_OK;
}

HRESULT numberOf(const VARIANT& v, double* out) {
    switch (v.vt) {
    case VT_EMPTY: *out = 0; return S_OK;
    case VT_UI1: *out = v.bVal; return S_OK;
    case VT_I2: *out = v.iVal; return S_OK;
    case VT_I4: *out = v.lVal; return S_OK;
    case VT_R8: *out = v.dblVal; return S_OK;
    case VT_DATE: *out = v.date.value; return S_OK;
    case VT_BOOL: *out = v.boolVal ? -1 : 0; return S_OK;
    case VT_BSTR: return parseNumber(v.bstrVal, out);
    default: return DISP_E_TYPEMISMATCH;
    }
}

// Days since 1970-01-01 to a civil date (proleptic Gregorian).
void civilFromDays(long long z, long long* y, unsigned* m, unsigned* d) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    *d = doy - (153 * mp + 2) / 5 + 1;
    *m = mp < 10 ? mp + 3 : mp - 9;
    *y = static_cast<long long>(yoe) + era * 400 + (*m <= 2);
}

// The date as the US English short form shows it: "1/2/2020 3:04:05 PM";
// the date alone at midnight, the time alone on day 0.
std::string dateText(double value) {
    long long days = static_cast<long long>(value);
    long long seconds = std::llround(std::fabs(value - static_cast<double>(days)) * 86400.0);
    if (seconds >= 86400) {
        days += value < 0 ? -1 : 1;
        seconds = 0;
    }
    char buf[64];
    std::string out;
    if (days != 0 || seconds == 0) {
        long long y;
        unsigned m, d;
        civilFromDays(days - 25569, &y, &m, &d);
        std::snprintf(buf, sizeof buf, "%u/%u/%lld", m, d, y);
        out = buf;
    }
    if (seconds != 0) {
        const long long h = seconds / 3600, mi = seconds / 60 % 60, s = seconds % 60;
        std::snprintf(buf, sizeof buf, "%lld:%02lld:%02lld %s", h % 12 == 0 ? 12 : h % 12, mi, s, h < 12 ? "AM" : "PM");
        if (!out.empty()) out += ' ';
        out += buf;
    }
    return out;
}

HRESULT textOf(const VARIANT& v, std::string* out) {
    char buf[40];
    switch (v.vt) {
    case VT_EMPTY: out->clear(); return S_OK;
    case VT_BSTR: *out = v.bstrVal; return S_OK;
    case VT_UI1: *out = std::to_string(v.bVal); return S_OK;
    case VT_I2: *out = std::to_string(v.iVal); return S_OK;
    case VT_I4: *out = std::to_string(v.lVal); return S_OK;
    case VT_BOOL: *out = v.boolVal ? "True" : "False"; return S_OK;
    case VT_R8:
        std::snprintf(buf, sizeof buf, "%.15G", v.dblVal);
        *out = buf;
        return S_OK;
    case VT_DATE: *out = dateText(v.date.value); return S_OK;
    default: return DISP_E_TYPEMISMATCH;
    }
}

template <class T>
HRESULT toInteger(const VARIANT& v, double lo, double hi, T* out) {
    double d;
    if (HRESULT h = numberOf(v, &d); FAILED(h)) return h;
    d = std::nearbyint(d); // banker's rounding, as automation rounds
    if (!(d >= lo && d <= hi)) return DISP_E_OVERFLOW;
    *out = static_cast<T>(d);
    return S_OK;
}

} // namespace

HRESULT VariantChangeType(VARIANT* dest, const VARIANT* src, USHORT, VARTYPE vt) {
    if (!dest || !src) return E_INVALIDARG;
    VARIANT v;
    if (HRESULT h = VariantCopyInd(&v, src); FAILED(h)) return h;
    if (v.vt == vt) {
        *dest = std::move(v);
        return S_OK;
    }
    VARIANT r;
    HRESULT h = S_OK;
    switch (vt) {
    case VT_UI1: h = toInteger(v, 0, 255, &r.bVal); break;
    case VT_I2: h = toInteger(v, -32768, 32767, &r.iVal); break;
    case VT_I4: h = toInteger(v, -2147483648.0, 2147483647.0, &r.lVal); break;
    case VT_R8: h = numberOf(v, &r.dblVal); break;
    case VT_DATE: h = numberOf(v, &r.date.value); break;
    case VT_BSTR: h = textOf(v, &r.bstrVal); break;
    case VT_BOOL:
        if (v.vt == VT_BSTR && (winsys::equalsNoCase(v.bstrVal, "True") || winsys::equalsNoCase(v.bstrVal, "False"))) {
            r.boolVal = toVariantBool(winsys::equalsNoCase(v.bstrVal, "True"));
        } else {
            double d;
            h = numberOf(v, &d);
            r.boolVal = toVariantBool(d != 0);
        }
        break;
    case VT_DISPATCH:
        if (v.vt != VT_UNKNOWN) return DISP_E_TYPEMISMATCH;
        r.pdispVal = nullptr;
        if (v.punkVal && FAILED(v.punkVal->QueryInterface(IDispatch::iid, reinterpret_cast<void**>(&r.pdispVal))))
            return DISP_E_TYPEMISMATCH;
        break;
    case VT_UNKNOWN:
        if (v.vt != VT_DISPATCH) return DISP_E_TYPEMISMATCH;
        r.punkVal = v.pdispVal;
        if (r.punkVal) r.punkVal->AddRef();
        break;
    case VT_EMPTY:
    case VT_NULL:
    case VT_ERROR: return DISP_E_TYPEMISMATCH;
    default: return (vt & VT_ARRAY) ? DISP_E_TYPEMISMATCH : DISP_E_BADVARTYPE;
    }
    if (FAILED(h)) return h;
    r.vt = vt;
    *dest = std::move(r);
    return S_OK;
}

} // namespace win

namespace winsys::com {

using namespace win;

namespace {
VARIANT tagged(VARTYPE vt) {
    VARIANT v;
    v.vt = vt;
    return v;
}
} // namespace

VARIANT makeEmpty() { return VARIANT(); }
VARIANT makeNull() { return tagged(VT_NULL); }
VARIANT makeBool(bool b) { VARIANT v = tagged(VT_BOOL); v.boolVal = toVariantBool(b); return v; }
VARIANT makeShort(SHORT i) { VARIANT v = tagged(VT_I2); v.iVal = i; return v; }
VARIANT makeByte(BYTE b) { VARIANT v = tagged(VT_UI1); v.bVal = b; return v; }
VARIANT makeLong(LONG i) { VARIANT v = tagged(VT_I4); v.lVal = i; return v; }
VARIANT makeDouble(double d) { VARIANT v = tagged(VT_R8); v.dblVal = d; return v; }
VARIANT makeDate(DATE d) { VARIANT v = tagged(VT_DATE); v.date = d; return v; }
VARIANT makeText(std::string s) { VARIANT v = tagged(VT_BSTR); v.bstrVal = std::move(s); return v; }
VARIANT makeError(SCODE code) { VARIANT v = tagged(VT_ERROR); v.scode = code; return v; }
VARIANT makeMissing() { return makeError(DISP_E_PARAMNOTFOUND); }

VARIANT makeObject(IDispatch* p) {
    VARIANT v = tagged(VT_DISPATCH);
    v.pdispVal = p;
    if (p) p->AddRef();
    return v;
}

VARIANT makeUnknown(IUnknown* p) {
    VARIANT v = tagged(VT_UNKNOWN);
    v.punkVal = p;
    if (p) p->AddRef();
    return v;
}

VARIANT makeArray(SAFEARRAY* array) {
    if (!array) return VARIANT();
    VARIANT v = tagged(static_cast<VARTYPE>(VT_ARRAY | array->vt));
    v.parray = array;
    return v;
}

VARIANT byRef(VARIANT* p) { VARIANT v = tagged(VT_BYREF | VT_VARIANT); v.pvarVal = p; return v; }
VARIANT byRef(LONG* p) { VARIANT v = tagged(VT_BYREF | VT_I4); v.plVal = p; return v; }
VARIANT byRef(double* p) { VARIANT v = tagged(VT_BYREF | VT_R8); v.pdblVal = p; return v; }
VARIANT byRef(VARIANT_BOOL* p) { VARIANT v = tagged(VT_BYREF | VT_BOOL); v.pboolVal = p; return v; }
VARIANT byRef(std::string* p) { VARIANT v = tagged(VT_BYREF | VT_BSTR); v.pbstrVal = p; return v; }
VARIANT byRef(IDispatch** p) { VARIANT v = tagged(VT_BYREF | VT_DISPATCH); v.ppdispVal = p; return v; }

bool isMissing(const VARIANT& v) {
    const VARIANT& d = deref(v);
    return d.vt == VT_ERROR && d.scode == DISP_E_PARAMNOTFOUND;
}

const VARIANT& deref(const VARIANT& v) {
    return v.vt == (VT_BYREF | VT_VARIANT) && v.pvarVal ? *v.pvarVal : v;
}
VARIANT& deref(VARIANT& v) { return v.vt == (VT_BYREF | VT_VARIANT) && v.pvarVal ? *v.pvarVal : v; }

HRESULT toText(const VARIANT& v, std::string* out) {
    VARIANT r;
    HRESULT h = VariantChangeType(&r, &v, 0, VT_BSTR);
    if (SUCCEEDED(h)) *out = std::move(r.bstrVal);
    return h;
}

HRESULT toLong(const VARIANT& v, LONG* out) {
    VARIANT r;
    HRESULT h = VariantChangeType(&r, &v, 0, VT_I4);
    if (SUCCEEDED(h)) *out = r.lVal;
    return h;
}

HRESULT toDouble(const VARIANT& v, double* out) {
    VARIANT r;
    HRESULT h = VariantChangeType(&r, &v, 0, VT_R8);
    if (SUCCEEDED(h)) *out = r.dblVal;
    return h;
}

HRESULT toBool(const VARIANT& v, bool* out) {
    VARIANT r;
    HRESULT h = VariantChangeType(&r, &v, 0, VT_BOOL);
    if (SUCCEEDED(h)) *out = r.boolVal != VARIANT_FALSE;
    return h;
}

} // namespace winsys::com
