#pragma once
// SAFEARRAY: an automation array of bytes, integers, doubles, Booleans,
// dates, texts or variants with per-dimension bounds (a lower bound of 1 is
// common; 1 to 0 is an empty array). Callers use the Windows functions
// below, never the members. As in Windows, SafeArrayGetElement's `indices`
// list the rightmost dimension first, and elements are stored with the
// leftmost index varying fastest.

#include <string>
#include <vector>

#include "platform/com/variant.h"

namespace win {

struct SAFEARRAYBOUND {
    ULONG cElements = 0;
    LONG lLbound = 0;
};

struct SAFEARRAY {
    VARTYPE vt = VT_EMPTY;
    std::vector<SAFEARRAYBOUND> bounds; // dimension 1 first
    std::vector<BYTE> pod;              // scalar element types
    std::vector<std::string> texts;     // VT_BSTR
    std::vector<VARIANT> vars;          // VT_VARIANT
    ULONG locks = 0;
};

// Nothing for an unsupported element type, no dimension or a size that overflows.
SAFEARRAY* SafeArrayCreate(VARTYPE vt, UINT cDims, const SAFEARRAYBOUND* bounds);
SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lLbound, ULONG cElements);
HRESULT SafeArrayDestroy(SAFEARRAY* psa);
HRESULT SafeArrayCopy(const SAFEARRAY* psa, SAFEARRAY** out);
UINT SafeArrayGetDim(const SAFEARRAY* psa);
UINT SafeArrayGetElemsize(const SAFEARRAY* psa);
HRESULT SafeArrayGetVartype(const SAFEARRAY* psa, VARTYPE* vt);
// nDim counts from 1; DISP_E_BADINDEX outside 1 to SafeArrayGetDim.
HRESULT SafeArrayGetLBound(const SAFEARRAY* psa, UINT nDim, LONG* out);
HRESULT SafeArrayGetUBound(const SAFEARRAY* psa, UINT nDim, LONG* out);
// `pv` points at storage of the element type: BYTE, SHORT, LONG, double,
// VARIANT_BOOL, DATE, std::string or VARIANT. DISP_E_BADINDEX out of bounds.
HRESULT SafeArrayGetElement(const SAFEARRAY* psa, const LONG* indices, void* pv);
HRESULT SafeArrayPutElement(SAFEARRAY* psa, const LONG* indices, const void* pv);
// The elements in storage order; the array cannot be destroyed until unaccessed.
HRESULT SafeArrayAccessData(SAFEARRAY* psa, void** ppv);
HRESULT SafeArrayUnaccessData(SAFEARRAY* psa);

} // namespace win

namespace winsys::com {

// One-dimensional arrays made from and read into vectors.
win::SAFEARRAY* makeByteArray(const std::vector<win::BYTE>& bytes, win::LONG lowerBound = 0);
win::SAFEARRAY* makeVariantArray(const std::vector<win::VARIANT>& items, win::LONG lowerBound = 0);
// Number of elements over all dimensions.
std::size_t elementCount(const win::SAFEARRAY* psa);

} // namespace winsys::com
