#pragma once
// IUnknown, IClassFactory and IPersist. An interface is an abstract class whose
// virtual functions are its vtable slots in declaration order; so no
// interface has a virtual destructor (it would take slots). Each interface
// names its identity as `static constexpr win::IID iid`.

#include "platform/com/types.h"

namespace win {

struct IUnknown {
    static constexpr IID iid{0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
    virtual HRESULT QueryInterface(REFIID riid, void** ppv) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    ~IUnknown() = default;
};

struct IClassFactory : IUnknown {
    static constexpr IID iid{0x00000001, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
    virtual HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** ppv) = 0;
    virtual HRESULT LockServer(BOOL lock) = 0;

protected:
    ~IClassFactory() = default;
};

// The class id an object is saved under (base of the persistence interfaces).
struct IPersist : IUnknown {
    static constexpr IID iid{0x0000010C, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
    virtual HRESULT GetClassID(CLSID* clsid) = 0;

protected:
    ~IPersist() = default;
};

} // namespace win
