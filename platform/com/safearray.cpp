#include "platform/com/safearray.h"

#include <cstring>
#include <limits>

namespace win {

namespace {

std::size_t podSize(VARTYPE vt) {
    switch (vt) {
    case VT_UI1: return 1;
    case VT_I2: case VT_BOOL: return 2;
    case VT_I4: return 4;
    case VT_R8: case VT_DATE: return 8;
    default: return 0;
    }
}

bool supported(VARTYPE vt) { return podSize(vt) != 0 || vt == VT_BSTR || vt == VT_VARIANT; }

// Storage position of the element that `indices` (rightmost dimension first) names.
HRESULT offsetOf(const SAFEARRAY* psa, const LONG* indices, std::size_t* out) {
    if (!psa || !indices) return E_INVALIDARG;
    const std::size_t n = psa->bounds.size();
    std::size_t offset = 0, stride = 1;
    for (std::size_t d = 0; d < n; ++d) {
        const SAFEARRAYBOUND& b = psa->bounds[d];
        const long long i = static_cast<long long>(indices[n - 1 - d]) - b.lLbound;
        if (i < 0 || i >= static_cast<long long>(b.cElements)) return DISP_E_BADINDEX;
        offset += static_cast<std::size_t>(i) * stride;
        stride *= b.cElements;
    }
    *out = offset;
    return S_OK;
}

} // namespace

SAFEARRAY* SafeArrayCreate(VARTYPE vt, UINT cDims, const SAFEARRAYBOUND* bounds) {
    if (!supported(vt) || cDims == 0 || !bounds) return nullptr;
    std::size_t count = 1;
    for (UINT d = 0; d < cDims; ++d) {
        if (bounds[d].cElements && count > std::numeric_limits<std::size_t>::max() / 16 / bounds[d].cElements)
            return nullptr;
        count *= bounds[d].cElements;
    }
    auto* psa = new SAFEARRAY;
    psa->vt = vt;
    psa->bounds.assign(bounds, bounds + cDims);
    if (vt == VT_BSTR)
        psa->texts.resize(count);
    else if (vt == VT_VARIANT)
        psa->vars.resize(count);
    else
        psa->pod.assign(count * podSize(vt), 0);
    return psa;
}

SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lLbound, ULONG cElements) {
    SAFEARRAYBOUND b{cElements, lLbound};
    return SafeArrayCreate(vt, 1, &b);
}

HRESULT SafeArrayDestroy(SAFEARRAY* psa) {
    if (!psa) return S_OK;
    if (psa->locks) return DISP_E_ARRAYISLOCKED;
    delete psa;
    return S_OK;
}

HRESULT SafeArrayCopy(const SAFEARRAY* psa, SAFEARRAY** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!psa) return S_OK;
    auto* copy = new SAFEARRAY(*psa);
    copy->locks = 0;
    *out = copy;
    return S_OK;
}

UINT SafeArrayGetDim(const SAFEARRAY* psa) { return psa ? static_cast<UINT>(psa->bounds.size()) : 0; }

UINT SafeArrayGetElemsize(const SAFEARRAY* psa) {
    if (!psa) return 0;
    if (psa->vt == VT_BSTR) return sizeof(std::string);
    if (psa->vt == VT_VARIANT) return sizeof(VARIANT);
    return static_cast<UINT>(podSize(psa->vt));
}

HRESULT SafeArrayGetVartype(const SAFEARRAY* psa, VARTYPE* vt) {
    if (!psa || !vt) return E_INVALIDARG;
    *vt = psa->vt;
    return S_OK;
}

HRESULT SafeArrayGetLBound(const SAFEARRAY* psa, UINT nDim, LONG* out) {
    if (!psa || !out) return E_INVALIDARG;
    if (nDim < 1 || nDim > psa->bounds.size()) return DISP_E_BADINDEX;
    *out = psa->bounds[nDim - 1].lLbound;
    return S_OK;
}

HRESULT SafeArrayGetUBound(const SAFEARRAY* psa, UINT nDim, LONG* out) {
    if (!psa || !out) return E_INVALIDARG;
    if (nDim < 1 || nDim > psa->bounds.size()) return DISP_E_BADINDEX;
    const SAFEARRAYBOUND& b = psa->bounds[nDim - 1];
    *out = static_cast<LONG>(static_cast<long long>(b.lLbound) + b.cElements - 1);
    return S_OK;
}

HRESULT SafeArrayGetElement(const SAFEARRAY* psa, const LONG* indices, void* pv) {
    std::size_t at = 0;
    if (HRESULT h = offsetOf(psa, indices, &at); FAILED(h)) return h;
    if (!pv) return E_INVALIDARG;
    if (psa->vt == VT_BSTR)
        *static_cast<std::string*>(pv) = psa->texts[at];
    else if (psa->vt == VT_VARIANT)
        return VariantCopy(static_cast<VARIANT*>(pv), &psa->vars[at]);
    else
        std::memcpy(pv, psa->pod.data() + at * podSize(psa->vt), podSize(psa->vt));
    return S_OK;
}

HRESULT SafeArrayPutElement(SAFEARRAY* psa, const LONG* indices, const void* pv) {
    std::size_t at = 0;
    if (HRESULT h = offsetOf(psa, indices, &at); FAILED(h)) return h;
    if (!pv) return E_INVALIDARG;
    if (psa->vt == VT_BSTR)
        psa->texts[at] = *static_cast<const std::string*>(pv);
    else if (psa->vt == VT_VARIANT)
        return VariantCopy(&psa->vars[at], static_cast<const VARIANT*>(pv));
    else
        std::memcpy(psa->pod.data() + at * podSize(psa->vt), pv, podSize(psa->vt));
    return S_OK;
}

HRESULT SafeArrayAccessData(SAFEARRAY* psa, void** ppv) {
    if (!psa || !ppv) return E_INVALIDARG;
    if (psa->vt == VT_BSTR)
        *ppv = psa->texts.data();
    else if (psa->vt == VT_VARIANT)
        *ppv = psa->vars.data();
    else
        *ppv = psa->pod.data();
    ++psa->locks;
    return S_OK;
}

HRESULT SafeArrayUnaccessData(SAFEARRAY* psa) {
    if (!psa) return E_INVALIDARG;
    if (psa->locks == 0) return E_UNEXPECTED;
    --psa->locks;
    return S_OK;
}

} // namespace win

namespace winsys::com {

win::SAFEARRAY* makeByteArray(const std::vector<win::BYTE>& bytes, win::LONG lowerBound) {
    win::SAFEARRAY* psa = win::SafeArrayCreateVector(win::VT_UI1, lowerBound, static_cast<win::ULONG>(bytes.size()));
    if (psa) psa->pod = bytes;
    return psa;
}

win::SAFEARRAY* makeVariantArray(const std::vector<win::VARIANT>& items, win::LONG lowerBound) {
    win::SAFEARRAY* psa = win::SafeArrayCreateVector(win::VT_VARIANT, lowerBound, static_cast<win::ULONG>(items.size()));
    if (psa) psa->vars = items;
    return psa;
}

std::size_t elementCount(const win::SAFEARRAY* psa) {
    if (!psa) return 0;
    std::size_t n = 1;
    for (const auto& b : psa->bounds) n *= b.cElements;
    return n;
}

} // namespace winsys::com
