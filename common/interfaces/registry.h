#pragma once
// The registry class of the common library. CRegistry reads, writes, lists,
// deletes and copies keys and values and renders them as version-5 export
// text. Members are in vtable slot order; callers bind by slot.
//
// `key` arguments are enRegistryKey values: the Windows roots, or the two
// pseudo-roots that reach the 64-bit view from this 32-bit process. Members
// that can say why they failed put the reason into `FalseCause`.

#include <string>

#include "common/interfaces/records.h"
#include "platform/com/dispatch_table.h"
#include "platform/com/unknown.h"

namespace halvenlib {

using win::HRESULT;
using win::LONG;
using win::VARIANT;
using win::VARIANT_BOOL;

inline constexpr win::CLSID CLSID_CRegistry{0xFB834002, 0xC318, 0x4F61, {0x83, 0xDF, 0x33, 0xB7, 0x9F, 0xF5, 0x30, 0xE2}};
inline constexpr win::GUID GUID_enRegistryKey{0x7997B3AA, 0x346B, 0x404F, {0xBF, 0xC1, 0xD8, 0x4E, 0x89, 0x24, 0x43, 0xC8}};

enum enRegistryKey : LONG {
    HKEY_CLASSES_ROOT = static_cast<LONG>(0x80000000u),
    HKEY_CURRENT_USER = static_cast<LONG>(0x80000001u),
    HKEY_LOCAL_MACHINE = static_cast<LONG>(0x80000002u),
    HKEY_USERS = static_cast<LONG>(0x80000003u),
    HKEY_PERFORMANCE_DATA = static_cast<LONG>(0x80000004u),
    HKEY_CURRENT_CONFIG = static_cast<LONG>(0x80000005u),
    HKEY_DYN_DATA = static_cast<LONG>(0x80000006u),
    HKEY_LOCAL_MACHINE_32BIT = HKEY_LOCAL_MACHINE,
    HKEY_CLASSES_ROOT_32BIT = HKEY_CLASSES_ROOT,
    HKEY_LOCAL_MACHINE_64BIT = 1,
    HKEY_CLASSES_ROOT_64BIT = 2,
};

struct _CRegistry : win::IDispatch {
    static constexpr win::IID iid{0x5AF8070F, 0xA6AF, 0x44B8, {0x94, 0x54, 0x99, 0xB2, 0x1D, 0xFA, 0x24, 0x95}};
    static const winsys::com::InterfaceInfo& info();

    // The root's name; any other value gives its decimal text.
    virtual HRESULT GetKeyName(LONG key, std::string* name) = 0;
    virtual HRESULT QuerySTRING(LONG* key, std::string* SubKey, std::string* ValueName, std::string* Value,
                                VARIANT_BOOL* ok) = 0;
    virtual HRESULT QueryDWORD(LONG* key, std::string* SubKey, std::string* ValueName, LONG* Value,
                               VARIANT_BOOL* ok) = 0;
    // `Value` is a byte array sized by the caller; `Length` gets the bytes read.
    virtual HRESULT QueryBINARY(LONG* key, std::string* SubKey, std::string* ValueName, VARIANT* Value, LONG* Length,
                                VARIANT_BOOL* ok) = 0;
    virtual HRESULT SetSTRING(LONG* key, std::string* SubKey, std::string* ValueName, std::string* Value,
                              VARIANT_BOOL* ok) = 0;
    virtual HRESULT SetDWORD(LONG* key, std::string* SubKey, std::string* ValueName, LONG* Value,
                             VARIANT_BOOL* ok) = 0;
    // Writes the first `Length` bytes of the array (E_INVALIDARG outside 0 to its size).
    virtual HRESULT SetBINARY(LONG* key, std::string* SubKey, std::string* ValueName, VARIANT* Value, LONG* Length,
                              VARIANT_BOOL* ok) = 0;
    // True also when the key does not exist.
    virtual HRESULT DeleteValue(LONG* key, std::string* SubKey, std::string* Value, VARIANT_BOOL* ok) = 0;
    virtual HRESULT DeleteKey(LONG* key, std::string* SubKey, VARIANT_BOOL* ok) = 0;
    // Deletes the key and everything below it; E_INVALIDARG for a root.
    virtual HRESULT DeleteKeyEx(LONG key, const std::string& SubKey, std::string* FalseCause, VARIANT_BOOL* ok) = 0;
    // Subkey names as items and keys.
    virtual HRESULT EnumKey(LONG* key, std::string* SubKey, _CCollection** names) = 0;
    virtual HRESULT IsKeyExist(LONG key, const std::string& SubKey, VARIANT_BOOL* exists) = 0;
    virtual HRESULT EnumValuesEx(LONG key, const std::string& SubKey, _CCollection** Result, std::string* FalseCause,
                                 VARIANT_BOOL* ok) = 0;
    virtual HRESULT EnumValues(LONG* key, std::string* SubKey, _CCollection** names) = 0;
    virtual HRESULT SaveAsReg50(LONG* key, std::string* SubKey, std::string* text) = 0;
    // Copies the tree of SubKey to PutToSubKey\<last part of SubKey> under ToKey.
    virtual HRESULT CopySubKey(LONG key, const std::string& SubKey, LONG ToKey, const std::string& PutToSubKey,
                               std::string* FalseCause, VARIANT_BOOL* ok) = 0;
    virtual HRESULT CopySingleValue(LONG key, const std::string& SubKey, const std::string& ValueName, LONG ToKey,
                                    const std::string& ToSubKey, std::string* FalseCause, VARIANT_BOOL* ok) = 0;
    virtual HRESULT SaveSingleValueAsReg50(LONG key, const std::string& SubKey, const std::string& ValueName,
                                           std::string* text) = 0;
    virtual HRESULT EnumClassesOfCategory(const std::string& CatID, VARIANT_BOOL Include32bitComponents,
                                          VARIANT_BOOL Include64bitComponents, _CCollection** classes) = 0;

protected:
    ~_CRegistry() = default;
};

inline const winsys::com::InterfaceInfo& _CRegistry::info() {
    using namespace winsys::com;
    static const InterfaceInfo i("_CRegistry", {
        function<&_CRegistry::GetKeyName>("GetKeyName"),
        function<&_CRegistry::QuerySTRING>("QuerySTRING"),
        function<&_CRegistry::QueryDWORD>("QueryDWORD"),
        function<&_CRegistry::QueryBINARY>("QueryBINARY"),
        function<&_CRegistry::SetSTRING>("SetSTRING"),
        function<&_CRegistry::SetDWORD>("SetDWORD"),
        function<&_CRegistry::SetBINARY>("SetBINARY"),
        function<&_CRegistry::DeleteValue>("DeleteValue"),
        function<&_CRegistry::DeleteKey>("DeleteKey"),
        function<&_CRegistry::DeleteKeyEx>("DeleteKeyEx"),
        function<&_CRegistry::EnumKey>("EnumKey"),
        function<&_CRegistry::IsKeyExist>("IsKeyExist"),
        function<&_CRegistry::EnumValuesEx>("EnumValuesEx"),
        function<&_CRegistry::EnumValues>("EnumValues"),
        function<&_CRegistry::SaveAsReg50>("SaveAsReg50"),
        function<&_CRegistry::CopySubKey>("CopySubKey"),
        function<&_CRegistry::CopySingleValue>("CopySingleValue"),
        function<&_CRegistry::SaveSingleValueAsReg50>("SaveSingleValueAsReg50"),
        function<&_CRegistry::EnumClassesOfCategory>("EnumClassesOfCategory"),
    });
    return i;
}

} // namespace halvenlib
