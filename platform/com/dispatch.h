#pragma once
// IDispatch and the structures of a late-bound call, and IEnumVARIANT, the
// enumerator behind for-each. A dual interface derives from IDispatch, so
// its own members start at slot 7.
//
// As in Windows, DISPPARAMS::rgvarg holds the arguments in reverse order
// (the last argument first); a property put passes the new value first,
// named DISPID_PROPERTYPUT.

#include <string>

#include "platform/com/unknown.h"
#include "platform/com/variant.h"

namespace win {

struct ITypeInfo; // no type information is offered: GetTypeInfoCount says 0

struct DISPPARAMS {
    VARIANT* rgvarg = nullptr;
    DISPID* rgdispidNamedArgs = nullptr;
    UINT cArgs = 0;
    UINT cNamedArgs = 0;
};

struct EXCEPINFO {
    WORD wCode = 0;
    std::string bstrSource;
    std::string bstrDescription;
    std::string bstrHelpFile;
    DWORD dwHelpContext = 0;
    SCODE scode = 0;
};

struct IDispatch : IUnknown {
    static constexpr IID iid{0x00020400, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
    virtual HRESULT GetTypeInfoCount(UINT* pctinfo) = 0;
    virtual HRESULT GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) = 0;
    virtual HRESULT GetIDsOfNames(REFIID riid, const std::string* names, UINT cNames, LCID lcid, DISPID* ids) = 0;
    virtual HRESULT Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                           EXCEPINFO* excepInfo, UINT* argErr) = 0;

protected:
    ~IDispatch() = default;
};

struct IEnumVARIANT : IUnknown {
    static constexpr IID iid{0x00020404, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
    // S_FALSE when fewer than `celt` items were left.
    virtual HRESULT Next(ULONG celt, VARIANT* rgVar, ULONG* fetched) = 0;
    virtual HRESULT Skip(ULONG celt) = 0;
    virtual HRESULT Reset() = 0;
    virtual HRESULT Clone(IEnumVARIANT** ppEnum) = 0;

protected:
    ~IEnumVARIANT() = default;
};

} // namespace win
