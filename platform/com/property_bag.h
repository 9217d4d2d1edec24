#pragma once
// Property bags: how an object saves itself as named values and loads
// itself again (IPersistPropertyBag). PropertyBag is the in-memory bag;
// names compare without regard to case. An object written to it is saved
// at once, by its own Save, into a nested bag kept with its class id;
// reading that name creates a new object of the class (by class id,
// through the registry) and loads it from the nested bag.
//
// readProperty/writeProperty add defaults: a value equal to its default is
// not written, and a missing name reads as its default.

#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "platform/com/com_ptr.h"
#include "platform/com/dispatch.h"
#include "platform/com/object.h"
#include "platform/core/text.h"

namespace win {

struct IErrorLog : IUnknown {
    static constexpr IID iid{0x3127CA40, 0x446E, 0x11CE, {0x81, 0x35, 0x00, 0xAA, 0x00, 0x4B, 0xB8, 0x51}};
    virtual HRESULT AddError(const std::string& propertyName, EXCEPINFO* excepInfo) = 0;

protected:
    ~IErrorLog() = default;
};

struct IPropertyBag : IUnknown {
    static constexpr IID iid{0x55272A00, 0x42CB, 0x11CE, {0x81, 0x35, 0x00, 0xAA, 0x00, 0x4B, 0xB8, 0x51}};
    // `var` comes in with the wanted type (VT_EMPTY: any). E_INVALIDARG when the name is missing.
    virtual HRESULT Read(const std::string& name, VARIANT* var, IErrorLog* errorLog) = 0;
    virtual HRESULT Write(const std::string& name, VARIANT* var) = 0;

protected:
    ~IPropertyBag() = default;
};

struct IPersistPropertyBag : IPersist {
    static constexpr IID iid{0x37D84F60, 0x42CB, 0x11CE, {0x81, 0x35, 0x00, 0xAA, 0x00, 0x4B, 0xB8, 0x51}};
    virtual HRESULT InitNew() = 0;
    virtual HRESULT Load(IPropertyBag* bag, IErrorLog* errorLog) = 0;
    virtual HRESULT Save(IPropertyBag* bag, BOOL clearDirty, BOOL saveAllProperties) = 0;

protected:
    ~IPersistPropertyBag() = default;
};

} // namespace win

namespace winsys::com {

class PropertyBag final : public Object<win::IPropertyBag> {
public:
    win::HRESULT Read(const std::string& name, VARIANT* var, win::IErrorLog* errorLog) override;
    // An object that cannot save itself fails with error 330.
    win::HRESULT Write(const std::string& name, VARIANT* var) override;

    bool contains(std::string_view name) const { return entries_.count(name) != 0; }
    std::size_t size() const { return entries_.size(); }

private:
    struct Entry {
        VARIANT value;                // a plain value
        win::CLSID clsid{};           // for an object: its class
        ComPtr<PropertyBag> nested;   // and its saved state
    };
    std::map<std::string, Entry, LessNoCase> entries_;
};

// Writes `value` under `name` unless it equals `defaultValue`.
win::HRESULT writeProperty(win::IPropertyBag* bag, const std::string& name, const VARIANT& value,
                           const VARIANT* defaultValue = nullptr);
// The value under `name`; `defaultValue` (or Empty without one) when the bag has none.
win::HRESULT readProperty(win::IPropertyBag* bag, const std::string& name, VARIANT* out,
                          const VARIANT* defaultValue = nullptr);

} // namespace winsys::com
