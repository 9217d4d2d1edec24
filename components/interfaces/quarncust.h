#pragma once
// The product library's classes: the removal record of an add-on
// (CLittleConfig), unique display names within an add-on type
// (CUniqueNamer) and the start-up customisation objects (CCustom2, and the
// application object CCustom). Members are in vtable slot order; callers
// bind by slot.
//
// Getters count from 1; an index outside 1 to the count fails with the
// facility-10 error 9. `key` arguments and results are enRegistryKey values
// (common/interfaces/registry.h).

#include <string>

#include "common/interfaces/log.h"
#include "common/interfaces/records.h"
#include "platform/com/dispatch_table.h"
#include "platform/com/unknown.h"

namespace quarncust {

using win::HRESULT;
using win::LONG;
using win::VARIANT;
using win::VARIANT_BOOL;

inline constexpr win::CLSID CLSID_CCustom2{0x66E8F0F9, 0x1100, 0x4D39, {0xBF, 0x69, 0x45, 0x5D, 0xED, 0x1E, 0x2E, 0xC3}};
inline constexpr win::CLSID CLSID_CCustom{0x947D65CA, 0x4D58, 0x40E3, {0xB7, 0x9B, 0x96, 0x3B, 0x87, 0x24, 0x6D, 0x3A}};
inline constexpr win::CLSID CLSID_CLittleConfig{0xEE4AB4DD, 0x716A, 0x4FFA, {0xB0, 0x66, 0xD7, 0xCD, 0x0D, 0x13, 0x79, 0x4C}};
inline constexpr win::CLSID CLSID_CUniqueNamer{0xF06630DB, 0x4021, 0x4165, {0x82, 0x9D, 0xDC, 0x5F, 0xE3, 0xCE, 0xCE, 0x21}};

struct _CLittleConfig : win::IDispatch {
    static constexpr win::IID iid{0x946869A7, 0x0627, 0x4609, {0x92, 0x0C, 0x85, 0xA0, 0x63, 0x1D, 0xC2, 0x39}};
    static const winsys::com::InterfaceInfo& info();

    // Merges the other record's entries after this one's; stops quietly at
    // the first failure (Nothing merges nothing) and never raises.
    virtual HRESULT AddLittleConfig(_CLittleConfig** LittleConfig) = 0;
    // Repeats (ignoring case) are dropped, so the flag given first wins.
    virtual HRESULT AddFileOrFolder(const std::string& FileOrFolder, VARIANT* x64bitSystem32) = 0;
    virtual HRESULT AddRegistrySubkey(LONG key, const std::string& Subkey) = 0;
    // An empty ValueName is the key's default value.
    virtual HRESULT AddRegistryValue(LONG key, const std::string& Subkey, const std::string& ValueName) = 0;
    virtual HRESULT get_FileOrFoldersCount(LONG* count) = 0;
    virtual HRESULT get_RegistrySubkeysCount(LONG* count) = 0;
    virtual HRESULT get_RegistryValuesCount(LONG* count) = 0;
    virtual HRESULT get_FileOrFolder(LONG index, std::string* path) = 0;
    virtual HRESULT get_FileOrFolderx64bitSystem32(LONG index, VARIANT_BOOL* flag) = 0;
    virtual HRESULT get_RegistrySubkeyKey(LONG index, LONG* key) = 0;
    virtual HRESULT get_RegistrySubkeySubkey(LONG index, std::string* subkey) = 0;
    virtual HRESULT get_RegistryValueKey(LONG index, LONG* key) = 0;
    virtual HRESULT get_RegistryValueSubkey(LONG index, std::string* subkey) = 0;
    virtual HRESULT get_RegistryValueValueName(LONG index, std::string* name) = 0;

protected:
    ~_CLittleConfig() = default;
};

struct _CUniqueNamer : win::IDispatch {
    static constexpr win::IID iid{0xC826BFEE, 0x5BEF, 0x414E, {0x8D, 0x40, 0xBF, 0x28, 0x10, 0x0A, 0x0C, 0xE9}};
    static const winsys::com::InterfaceInfo& info();

    // The trimmed name the first time, then "name (2)", "name (3)", ...
    // (counted without regard to case). Never fails.
    virtual HRESULT Rename(const std::string& s, std::string* result) = 0;
    // Names the record from its "originalName" ("(noname)" when missing or
    // blank) and adds that name to it as "displayName"; 457 when the record
    // already has a "displayName".
    virtual HRESULT GenerateDisplayName(halvenlib::_CParams** oAddonInfo, std::string* result) = 0;

protected:
    ~_CUniqueNamer() = default;
};

// Writes the trace line "Quarncust ver.<major>.<minor>.<revision>" to Log;
// a missing Log fails with the object error (91).
struct _CCustom2 : win::IDispatch {
    static constexpr win::IID iid{0x86580E87, 0x457B, 0x47E2, {0xA2, 0xF6, 0xAA, 0x9D, 0x5E, 0x31, 0xC4, 0x56}};
    static const winsys::com::InterfaceInfo& info();

    virtual HRESULT Init(halvenlib::_axLog** Log) = 0;

protected:
    ~_CCustom2() = default;
};

struct _CCustom : win::IDispatch {
    static constexpr win::IID iid{0x08952285, 0x04DB, 0x4331, {0x95, 0x68, 0xBF, 0xB2, 0x96, 0x3C, 0xA4, 0xF7}};
    static const winsys::com::InterfaceInfo& info();

    virtual HRESULT Init(halvenlib::_axLog** Log) = 0;

protected:
    ~_CCustom() = default;
};

inline const winsys::com::InterfaceInfo& _CLittleConfig::info() {
    using namespace winsys::com;
    static const InterfaceInfo i("_CLittleConfig", {
        method<&_CLittleConfig::AddLittleConfig>("AddLittleConfig"),
        method<&_CLittleConfig::AddFileOrFolder>("AddFileOrFolder"),
        method<&_CLittleConfig::AddRegistrySubkey>("AddRegistrySubkey"),
        method<&_CLittleConfig::AddRegistryValue>("AddRegistryValue"),
        propGet<&_CLittleConfig::get_FileOrFoldersCount>("FileOrFoldersCount"),
        propGet<&_CLittleConfig::get_RegistrySubkeysCount>("RegistrySubkeysCount"),
        propGet<&_CLittleConfig::get_RegistryValuesCount>("RegistryValuesCount"),
        propGet<&_CLittleConfig::get_FileOrFolder>("FileOrFolder"),
        propGet<&_CLittleConfig::get_FileOrFolderx64bitSystem32>("FileOrFolderx64bitSystem32"),
        propGet<&_CLittleConfig::get_RegistrySubkeyKey>("RegistrySubkeyKey"),
        propGet<&_CLittleConfig::get_RegistrySubkeySubkey>("RegistrySubkeySubkey"),
        propGet<&_CLittleConfig::get_RegistryValueKey>("RegistryValueKey"),
        propGet<&_CLittleConfig::get_RegistryValueSubkey>("RegistryValueSubkey"),
        propGet<&_CLittleConfig::get_RegistryValueValueName>("RegistryValueValueName"),
    });
    return i;
}

inline const winsys::com::InterfaceInfo& _CUniqueNamer::info() {
    using namespace winsys::com;
    static const InterfaceInfo i("_CUniqueNamer", {
        function<&_CUniqueNamer::Rename>("Rename"),
        function<&_CUniqueNamer::GenerateDisplayName>("GenerateDisplayName"),
    });
    return i;
}

inline const winsys::com::InterfaceInfo& _CCustom2::info() {
    using namespace winsys::com;
    static const InterfaceInfo i("_CCustom2", {
        method<&_CCustom2::Init>("Init"),
    });
    return i;
}

inline const winsys::com::InterfaceInfo& _CCustom::info() {
    using namespace winsys::com;
    static const InterfaceInfo i("_CCustom", {
        method<&_CCustom::Init>("Init"),
    });
    return i;
}

} // namespace quarncust
