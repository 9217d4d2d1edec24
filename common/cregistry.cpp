// CRegistry over the layer's registry calls. Plain roots reach the
// process's default (32-bit) view; the two pseudo-roots the 64-bit view.
// Listings and copies take values of any size whole and end only at "no
// more items"; every other failure is reported with its reason, since the
// backup engine deletes a key once CopySubKey says it was copied.

#include <cstring>

#include "common/cregistry_keys.h"
#include "common/interfaces/registry.h"
#include "common/mcommon.h"
#include "common/records_factory.h"
#include "common/regexport.h"
#include "common/server.h"
#include "platform/com/error_info.h"
#include "platform/com/object.h"
#include "platform/com/safearray.h"
#include "platform/com/variant.h"
#include "platform/core/text.h"

namespace halvenlib {

using namespace win;
using namespace winsys::com;
using regkeys::OpenKey;
using regkeys::CreateKeyAnyOS;

namespace {

constexpr LSTATUS kNotFound = static_cast<LSTATUS>(ERROR_FILE_NOT_FOUND);

HRESULT invalidArgument(const char* member) {
    return raiseError(E_INVALIDARG, "The parameter is incorrect.", std::string("CRegistry.") + member);
}

// A listing that failed inside an open key reaches the caller as its code.
HRESULT listingFailed(LSTATUS code, const char* member) {
    return raiseError(HRESULT_FROM_WIN32(static_cast<DWORD>(code)), FormatSystemMessage(static_cast<DWORD>(code)),
                      std::string("CRegistry.") + member);
}

// The byte array a by-reference argument holds, or null when it holds none.
SAFEARRAY* byteArrayOf(VARIANT* value) {
    if (!value) return nullptr;
    VARIANT& v = deref(*value);
    SAFEARRAY* a = nullptr;
    if (v.vt == (VT_ARRAY | VT_UI1)) a = v.parray;
    else if (v.vt == (VT_BYREF | VT_ARRAY | VT_UI1) && v.pparray) a = *v.pparray;
    return a && SafeArrayGetDim(a) > 0 ? a : nullptr;
}

void add(_CCollection* c, const std::string& name, bool keyed) {
    VARIANT item = makeText(name), key = keyed ? makeText(name) : makeMissing(), none = makeMissing();
    c->Add(&item, &key, &none, &none);
}

std::string removeTrailingBackslash(std::string path) {
    if (!path.empty() && path.back() == '\\') path.pop_back();
    return path;
}

class CRegistry final : public DispatchObject<_CRegistry> {
public:
    HRESULT GetKeyName(LONG key, std::string* name) override {
        *name = regkeys::GetKeyName(key);
        return S_OK;
    }

    HRESULT QuerySTRING(LONG* key, std::string* SubKey, std::string* ValueName, std::string* Value,
                        VARIANT_BOOL* ok) override {
        Value->clear();
        std::vector<BYTE> data;
        const bool read = query(*key, *SubKey, *ValueName, &data);
        if (read) {
            std::size_t units = 0;
            while (2 * units + 1 < data.size() && (data[2 * units] || data[2 * units + 1])) ++units;
            *Value = winsys::fromUtf16leBytes(data.data(), 2 * units);
        }
        *ok = toVariantBool(read);
        return S_OK;
    }

    HRESULT QueryDWORD(LONG* key, std::string* SubKey, std::string* ValueName, LONG* Value,
                       VARIANT_BOOL* ok) override {
        std::vector<BYTE> data;
        const bool read = query(*key, *SubKey, *ValueName, &data) && data.size() <= sizeof(LONG);
        if (read) std::memcpy(Value, data.data(), data.size()); // only the bytes read change
        *ok = toVariantBool(read);
        return S_OK;
    }

    HRESULT QueryBINARY(LONG* key, std::string* SubKey, std::string* ValueName, VARIANT* Value, LONG* Length,
                        VARIANT_BOOL* ok) override {
        SAFEARRAY* a = byteArrayOf(Value);
        if (!a) return invalidArgument("QueryBINARY");
        const std::size_t size = elementCount(a);
        if (size == 0) return raiseError(9, "Subscript out of range", "CRegistry.QueryBINARY");
        *Length = static_cast<LONG>(size);
        std::vector<BYTE> data;
        const bool read = query(*key, *SubKey, *ValueName, &data) && data.size() <= size;
        if (read) {
            void* p = nullptr;
            if (HRESULT h = SafeArrayAccessData(a, &p); FAILED(h)) return h;
            if (!data.empty()) std::memcpy(p, data.data(), data.size());
            SafeArrayUnaccessData(a);
            *Length = static_cast<LONG>(data.size());
        }
        *ok = toVariantBool(read);
        return S_OK;
    }

    HRESULT SetSTRING(LONG* key, std::string* SubKey, std::string* ValueName, std::string* Value,
                      VARIANT_BOOL* ok) override {
        *ok = toVariantBool(set(*key, *SubKey, *ValueName, REG_SZ, winsys::toUtf16leBytes(*Value, true)));
        return S_OK;
    }

    HRESULT SetDWORD(LONG* key, std::string* SubKey, std::string* ValueName, LONG* Value,
                     VARIANT_BOOL* ok) override {
        std::vector<BYTE> data(sizeof(LONG));
        std::memcpy(data.data(), Value, sizeof(LONG));
        *ok = toVariantBool(set(*key, *SubKey, *ValueName, REG_DWORD, data));
        return S_OK;
    }

    HRESULT SetBINARY(LONG* key, std::string* SubKey, std::string* ValueName, VARIANT* Value, LONG* Length,
                      VARIANT_BOOL* ok) override {
        SAFEARRAY* a = byteArrayOf(Value);
        if (!a || *Length < 0 || static_cast<std::size_t>(*Length) > elementCount(a))
            return invalidArgument("SetBINARY");
        void* p = nullptr;
        if (HRESULT h = SafeArrayAccessData(a, &p); FAILED(h)) return h;
        const auto* bytes = static_cast<const BYTE*>(p);
        std::vector<BYTE> data(bytes, bytes + *Length);
        SafeArrayUnaccessData(a);
        *ok = toVariantBool(set(*key, *SubKey, *ValueName, REG_BINARY, data));
        return S_OK;
    }

    HRESULT DeleteValue(LONG* key, std::string* SubKey, std::string* Value, VARIANT_BOOL* ok) override {
        UniqueHKey k;
        std::string reason;
        const LSTATUS s = OpenKey(*key, *SubKey, false, &k, &reason);
        if (s != ERROR_SUCCESS) {
            *ok = toVariantBool(s == kNotFound); // nothing to delete; any other failure is one
            return S_OK;
        }
        *ok = toVariantBool(RegDeleteValue(k.get(), *Value) == ERROR_SUCCESS);
        return S_OK;
    }

    HRESULT DeleteKey(LONG* key, std::string* SubKey, VARIANT_BOOL* ok) override {
        std::string reason;
        return deleteTree(*key, *SubKey, &reason, ok, "DeleteKey");
    }

    HRESULT DeleteKeyEx(LONG key, const std::string& SubKey, std::string* FalseCause, VARIANT_BOOL* ok) override {
        return deleteTree(key, SubKey, FalseCause, ok, "DeleteKeyEx");
    }

    HRESULT EnumKey(LONG* key, std::string* SubKey, _CCollection** names) override {
        ComPtr<_CCollection> c = newCollection();
        UniqueHKey k;
        std::string reason;
        if (OpenKey(*key, *SubKey, true, &k, &reason) == ERROR_SUCCESS) {
            std::vector<std::string> list;
            if (LSTATUS s = regkeys::subKeyNames(k.get(), &list)) return listingFailed(s, "EnumKey");
            for (const std::string& n : list) add(c.get(), n, true);
        }
        *names = c.detach();
        return S_OK;
    }

    HRESULT IsKeyExist(LONG key, const std::string& SubKey, VARIANT_BOOL* exists) override {
        UniqueHKey k;
        std::string reason;
        *exists = toVariantBool(OpenKey(key, SubKey, true, &k, &reason) == ERROR_SUCCESS);
        return S_OK;
    }

    HRESULT EnumValuesEx(LONG key, const std::string& SubKey, _CCollection** Result, std::string* FalseCause,
                         VARIANT_BOOL* ok) override {
        ComPtr<_CCollection> c = newCollection();
        *ok = toVariantBool(valueNames(key, SubKey, c.get(), FalseCause));
        if (*Result) (*Result)->Release();
        *Result = c.detach();
        return S_OK;
    }

    HRESULT EnumValues(LONG* key, std::string* SubKey, _CCollection** names) override {
        ComPtr<_CCollection> c = newCollection();
        std::string reason;
        if (!valueNames(*key, *SubKey, c.get(), &reason)) c = newCollection();
        *names = c.detach();
        return S_OK;
    }

    HRESULT SaveAsReg50(LONG* key, std::string* SubKey, std::string* text) override {
        if (!regexport::headerName(*key))
            return raiseError(E_NOTIMPL, "Not implemented", "CRegistry.SaveAsReg50");
        text->clear();
        if (auto e = regexport::exportTree(*key, *SubKey, text)) return listingFailed(e->code, "SaveAsReg50");
        return S_OK;
    }

    HRESULT CopySubKey(LONG key, const std::string& SubKey, LONG ToKey, const std::string& PutToSubKey,
                       std::string* FalseCause, VARIANT_BOOL* ok) override {
        *ok = toVariantBool(copyTree(key, SubKey, ToKey, PutToSubKey, FalseCause));
        return S_OK;
    }

    HRESULT CopySingleValue(LONG key, const std::string& SubKey, const std::string& ValueName, LONG ToKey,
                            const std::string& ToSubKey, std::string* FalseCause, VARIANT_BOOL* ok) override {
        *ok = toVariantBool(copyValue(key, SubKey, ValueName, ToKey, ToSubKey, FalseCause));
        return S_OK;
    }

    HRESULT SaveSingleValueAsReg50(LONG key, const std::string& SubKey, const std::string& ValueName,
                                   std::string* text) override {
        if (!regexport::headerName(key))
            return raiseError(E_NOTIMPL, "Not implemented", "CRegistry.SaveSingleValueAsReg50");
        text->clear();
        if (auto e = regexport::exportSingleValue(key, SubKey, ValueName, text))
            return listingFailed(e->code, "SaveSingleValueAsReg50");
        return S_OK;
    }

    HRESULT EnumClassesOfCategory(const std::string& CatID, VARIANT_BOOL Include32bitComponents,
                                  VARIANT_BOOL Include64bitComponents, _CCollection** classes) override {
        const bool part32 = Include32bitComponents != VARIANT_FALSE;
        const bool part64 = Include64bitComponents != VARIANT_FALSE && IsWow64Now();
        const bool both = part32 && part64;
        ComPtr<_CCollection> c = newCollection();
        const std::string below = "\\Implemented Categories\\" + CatID;
        auto scan = [&](LONG root, bool skipListed) -> HRESULT {
            UniqueHKey clsids;
            std::string reason;
            if (OpenKey(root, "CLSID", true, &clsids, &reason) != ERROR_SUCCESS) return S_OK;
            const REGSAM view = regkeys::rootOf(root).view64 ? KEY_WOW64_64KEY : 0;
            std::string name, path; // reused for every class
            for (DWORD i = 0;; ++i) {
                if (LSTATUS s = RegEnumKeyEx(clsids.get(), i, &name)) {
                    if (s == static_cast<LSTATUS>(ERROR_NO_MORE_ITEMS)) return S_OK;
                    return listingFailed(s, "EnumClassesOfCategory");
                }
                VARIANT_BOOL listed = VARIANT_FALSE;
                if (skipListed && SUCCEEDED(c->IsInCollection(name, &listed)) && listed != VARIANT_FALSE)
                    continue; // found in the other view already
                path.assign(name).append(below);
                UniqueHKey k; // opened below the CLSID key: the same key, found without a second walk from the root
                if (RegOpenKeyEx(clsids.get(), path, 0, KEY_READ | view, k.put()) != ERROR_SUCCESS) continue;
                add(c.get(), name, both);
            }
        };
        if (part32)
            if (HRESULT h = scan(halvenlib::HKEY_CLASSES_ROOT, false); FAILED(h)) return h;
        if (part64)
            if (HRESULT h = scan(halvenlib::HKEY_CLASSES_ROOT_64BIT, both); FAILED(h)) return h;
        *classes = c.detach();
        return S_OK;
    }

private:
    static bool query(LONG key, const std::string& subKey, const std::string& name, std::vector<BYTE>* data) {
        UniqueHKey k;
        std::string reason;
        DWORD type = 0;
        return OpenKey(key, subKey, true, &k, &reason) == ERROR_SUCCESS &&
               RegQueryValueEx(k.get(), name, &type, data) == ERROR_SUCCESS;
    }

    static bool set(LONG key, const std::string& subKey, const std::string& name, DWORD type,
                    const std::vector<BYTE>& data) {
        UniqueHKey k;
        std::string reason;
        return CreateKeyAnyOS(key, subKey, &k, &reason) == ERROR_SUCCESS &&
               RegSetValueEx(k.get(), name, type, data) == ERROR_SUCCESS;
    }

    HRESULT deleteTree(LONG key, const std::string& subKey, std::string* falseCause, VARIANT_BOOL* ok,
                       const char* member) {
        falseCause->clear();
        const std::string path = removeTrailingBackslash(subKey);
        if (path.empty()) return invalidArgument(member); // a root is never deleted, "\" included
        *ok = toVariantBool(deleteKeyAndBelow(key, path, falseCause));
        return S_OK;
    }

    // One call of the layer deletes the whole tree, writing its hive once;
    // a link key in it is deleted itself, never the keys it points at.
    static bool deleteKeyAndBelow(LONG key, const std::string& path, std::string* falseCause) {
        const regkeys::Root root = regkeys::rootOf(key);
        if (root.view64 && !IsWow64()) {
            *falseCause = "64-bit key on 32-bit OS.";
            return false;
        }
        const std::size_t cut = path.rfind('\\');
        const std::string parent = cut == std::string::npos ? std::string() : path.substr(0, cut);
        UniqueHKey k;
        std::string reason;
        LSTATUS s = OpenKey(key, parent, false, &k, &reason);
        if (s == ERROR_SUCCESS) s = RegDeleteTree(k.get(), cut == std::string::npos ? path : path.substr(cut + 1));
        if (s == ERROR_SUCCESS || s == kNotFound) return true;
        *falseCause = DescribeApiError(static_cast<DWORD>(s));
        return false;
    }

    static bool valueNames(LONG key, const std::string& subKey, _CCollection* c, std::string* falseCause) {
        UniqueHKey k;
        if (OpenKey(key, subKey, true, &k, falseCause) != ERROR_SUCCESS) return false;
        std::vector<std::string> names;
        const LSTATUS s = regkeys::forEachValue(k.get(), [&](const regkeys::Value& v) {
            names.push_back(v.name);
            return LSTATUS{0};
        });
        if (s != ERROR_SUCCESS) {
            *falseCause = DescribeApiError(static_cast<DWORD>(s));
            return false;
        }
        for (const std::string& n : names) add(c, n, false);
        return true;
    }

    // One call of the layer copies the whole tree, writing its hive once; a
    // link key is copied as a link, so a restore puts back what was there.
    static bool copyTree(LONG key, const std::string& subKey, LONG toKey, const std::string& putTo,
                         std::string* falseCause) {
        falseCause->clear();
        const std::size_t cut = subKey.rfind('\\');
        const std::string last = subKey.substr(cut == std::string::npos ? 0 : cut + 1);
        const std::string parent = cut == std::string::npos ? std::string() : subKey.substr(0, cut);
        UniqueHKey to, from, above;
        if (CreateKeyAnyOS(toKey, regkeys::childPath(putTo, last), &to, falseCause) != ERROR_SUCCESS) return false;
        if (OpenKey(key, subKey, true, &from, falseCause) != ERROR_SUCCESS) return false;
        if (OpenKey(key, parent, true, &above, falseCause) != ERROR_SUCCESS) return false;
        if (LSTATUS s = RegCopyTree(above.get(), last, to.get())) {
            *falseCause = FormatSystemMessage(static_cast<DWORD>(s));
            return false;
        }
        return true;
    }

    static bool copyValue(LONG key, const std::string& subKey, const std::string& name, LONG toKey,
                          const std::string& toSubKey, std::string* falseCause) {
        falseCause->clear();
        DWORD type = 0;
        std::vector<BYTE> data;
        {
            UniqueHKey from;
            if (OpenKey(key, subKey, true, &from, falseCause) != ERROR_SUCCESS) return false;
            if (LSTATUS s = RegQueryValueEx(from.get(), name, &type, &data)) {
                *falseCause = FormatSystemMessage(static_cast<DWORD>(s));
                return false;
            }
        }
        UniqueHKey to;
        if (CreateKeyAnyOS(toKey, toSubKey, &to, falseCause) != ERROR_SUCCESS) return false;
        if (LSTATUS s = RegSetValueEx(to.get(), name, type, data)) {
            *falseCause = FormatSystemMessage(static_cast<DWORD>(s));
            return false;
        }
        return true;
    }
};

HRESULT createInstance(REFIID riid, void** ppv) { return createAs<CRegistry>(riid, ppv); }

const ClassRegistration kReg{{CLSID_CRegistry, "CRegistry", "Halvenlib.CRegistry", 0, &createInstance},
                             {{_CRegistry::iid, "_CRegistry"}, {GUID_enRegistryKey, "enRegistryKey"}}};

} // namespace

} // namespace halvenlib
