#pragma once
// VARIANT: the tagged value of automation calls. `vt` says which member
// holds the value; VT_BYREF | t points at the caller's storage of type t.
// Unlike Windows' struct it is a C++ value: copying copies the value (an
// object gets a new reference, an array is copied) and destruction clears.
// Text lives in `bstrVal` as UTF-8.

#include <cstdint>
#include <string>

#include "platform/com/types.h"

namespace win {

struct IUnknown;
struct IDispatch;
struct SAFEARRAY;

struct VARIANT {
    VARTYPE vt = VT_EMPTY;
    union {
        std::int64_t raw_ = 0;
        LONG lVal;
        SHORT iVal;
        BYTE bVal;
        double dblVal;
        VARIANT_BOOL boolVal;
        DATE date;
        SCODE scode;
        IUnknown* punkVal;
        IDispatch* pdispVal;
        SAFEARRAY* parray;
        BYTE* pbVal;
        SHORT* piVal;
        LONG* plVal;
        double* pdblVal;
        VARIANT_BOOL* pboolVal;
        DATE* pdate;
        SCODE* pscode;
        IUnknown** ppunkVal;
        IDispatch** ppdispVal;
        SAFEARRAY** pparray;
        VARIANT* pvarVal;
        std::string* pbstrVal;
    };
    std::string bstrVal;

    VARIANT() = default;
    VARIANT(const VARIANT& o);
    VARIANT(VARIANT&& o) noexcept;
    VARIANT& operator=(const VARIANT& o);
    VARIANT& operator=(VARIANT&& o) noexcept;
    ~VARIANT();
};

void VariantInit(VARIANT* v);
// Releases what the variant holds and leaves it empty.
HRESULT VariantClear(VARIANT* v);
HRESULT VariantCopy(VARIANT* dest, const VARIANT* src);
// As VariantCopy, but a by-reference source is copied as the value it points at.
HRESULT VariantCopyInd(VARIANT* dest, const VARIANT* src);
// Converts `src` (by-reference sources are read through) to type `vt`.
// DISP_E_TYPEMISMATCH when no conversion exists, DISP_E_OVERFLOW when the
// number does not fit. `dest` may be `src`.
HRESULT VariantChangeType(VARIANT* dest, const VARIANT* src, USHORT flags, VARTYPE vt);

} // namespace win

namespace winsys::com {

using win::VARIANT;

VARIANT makeEmpty();
VARIANT makeNull();
VARIANT makeBool(bool b);
VARIANT makeShort(win::SHORT i);
VARIANT makeByte(win::BYTE b);
VARIANT makeLong(win::LONG i);
VARIANT makeDouble(double d);
VARIANT makeDate(win::DATE d);
VARIANT makeText(std::string s);
// Takes a new reference to the object (null gives an object variant holding Nothing).
VARIANT makeObject(win::IDispatch* p);
VARIANT makeUnknown(win::IUnknown* p);
VARIANT makeError(win::SCODE code);
// The value of an omitted optional argument: VT_ERROR with DISP_E_PARAMNOTFOUND.
VARIANT makeMissing();
// Adopts the array.
VARIANT makeArray(win::SAFEARRAY* array);

// By-reference forms pointing at the caller's variable.
VARIANT byRef(VARIANT* v);
VARIANT byRef(win::LONG* v);
VARIANT byRef(double* v);
VARIANT byRef(win::VARIANT_BOOL* v);
VARIANT byRef(std::string* v);
VARIANT byRef(win::IDispatch** v);

bool isMissing(const VARIANT& v);
// The variant a VT_BYREF | VT_VARIANT points at, else `v` itself.
const VARIANT& deref(const VARIANT& v);
VARIANT& deref(VARIANT& v);

// Conversions for callers that want a plain value; DISP_E_TYPEMISMATCH or
// DISP_E_OVERFLOW as VariantChangeType.
win::HRESULT toText(const VARIANT& v, std::string* out);
win::HRESULT toLong(const VARIANT& v, win::LONG* out);
win::HRESULT toDouble(const VARIANT& v, double* out);
win::HRESULT toBool(const VARIANT& v, bool* out);

} // namespace winsys::com
