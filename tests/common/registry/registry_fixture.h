#pragma once
// A test machine with the common library registered and one CRegistry,
// called by slot as the program calls it, plus direct reads of the layer's
// registry to check what a member left behind.

#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/interfaces/registry.h"
#include "platform/com/class_registry.h"
#include "platform/com/com_error.h"
#include "platform/com/late_bound.h"
#include "platform/com/variant.h"
#include "platform/core/text.h"
#include "platform/registry/registry.h"
#include "tests/support/com_library.h"
#include "tests/support/test_prefix.h"

namespace regtest {

using halvenlib::_CCollection;
using halvenlib::_CRegistry;
using winsys::com::ComPtr;
using win::VARIANT;

inline testsupport::TestPrefixOptions prefixOn(winsys::Arch arch) {
    testsupport::TestPrefixOptions o;
    o.arch = arch;
    return o;
}

// The items of a collection as text, in order.
inline std::vector<std::string> items(_CCollection* c) {
    std::vector<std::string> out;
    win::LONG n = 0;
    winsys::com::check(c->get_Count(&n));
    for (win::LONG k = 1; k <= n; ++k) {
        VARIANT ix = winsys::com::makeLong(k), item;
        winsys::com::check(c->get_Item(&ix, &item));
        std::string text;
        winsys::com::check(winsys::com::toText(item, &text));
        out.push_back(text);
    }
    return out;
}

inline bool hasKey(_CCollection* c, const std::string& key) {
    win::VARIANT_BOOL present = win::VARIANT_FALSE;
    winsys::com::check(c->IsInCollection(key, &present));
    return present != win::VARIANT_FALSE;
}

struct Raw {
    win::DWORD type = 0;
    std::vector<win::BYTE> data;
    bool operator==(const Raw&) const = default;
};

// A value as the layer holds it; `view` is KEY_WOW64_64KEY or KEY_WOW64_32KEY.
inline std::optional<Raw> rawValue(win::HKEY root, win::REGSAM view, const std::string& path,
                                   const std::string& name) {
    win::UniqueHKey k;
    if (win::RegOpenKeyEx(root, path, 0, win::KEY_READ | view, k.put())) return std::nullopt;
    Raw r;
    if (win::RegQueryValueEx(k.get(), name, &r.type, &r.data)) return std::nullopt;
    return r;
}

inline bool keyExists(win::HKEY root, win::REGSAM view, const std::string& path) {
    win::UniqueHKey k;
    return win::RegOpenKeyEx(root, path, 0, win::KEY_READ | view, k.put()) == 0;
}

inline void putRaw(win::HKEY root, win::REGSAM view, const std::string& path, const std::string& name,
                   win::DWORD type, const std::vector<win::BYTE>& data) {
    win::UniqueHKey k;
    ASSERT_EQ(win::RegCreateKeyEx(root, path, 0, win::KEY_ALL_ACCESS | view, k.put(), nullptr), 0);
    ASSERT_EQ(win::RegSetValueEx(k.get(), name, type, data), 0);
}

template <winsys::Arch A>
class RegistryTestOn : public ::testing::Test {
protected:
    RegistryTestOn() : prefix(prefixOn(A)), lib(HALVENLIB_PATH) {
        winsys::com::check(winsys::com::createInstance(halvenlib::CLSID_CRegistry, &reg));
    }

    bool querySTRING(win::LONG key, std::string sub, std::string name, std::string* value) {
        win::VARIANT_BOOL ok{};
        winsys::com::check(reg->QuerySTRING(&key, &sub, &name, value, &ok));
        return ok != win::VARIANT_FALSE;
    }
    bool setSTRING(win::LONG key, std::string sub, std::string name, std::string value) {
        win::VARIANT_BOOL ok{};
        winsys::com::check(reg->SetSTRING(&key, &sub, &name, &value, &ok));
        return ok != win::VARIANT_FALSE;
    }
    bool deleteValue(win::LONG key, std::string sub, std::string name) {
        win::VARIANT_BOOL ok{};
        winsys::com::check(reg->DeleteValue(&key, &sub, &name, &ok));
        return ok != win::VARIANT_FALSE;
    }
    bool deleteKeyEx(win::LONG key, const std::string& sub, std::string* reason) {
        win::VARIANT_BOOL ok{};
        winsys::com::check(reg->DeleteKeyEx(key, sub, reason, &ok));
        return ok != win::VARIANT_FALSE;
    }
    std::vector<std::string> enumKey(win::LONG key, std::string sub) {
        ComPtr<_CCollection> c;
        winsys::com::check(reg->EnumKey(&key, &sub, c.put()));
        return items(c.get());
    }
    std::vector<std::string> enumValues(win::LONG key, std::string sub) {
        ComPtr<_CCollection> c;
        winsys::com::check(reg->EnumValues(&key, &sub, c.put()));
        return items(c.get());
    }
    bool enumValuesEx(win::LONG key, const std::string& sub, std::vector<std::string>* names, std::string* reason) {
        ComPtr<_CCollection> c;
        win::VARIANT_BOOL ok{};
        winsys::com::check(reg->EnumValuesEx(key, sub, c.put(), reason, &ok));
        *names = items(c.get());
        return ok != win::VARIANT_FALSE;
    }
    bool copySubKey(win::LONG key, const std::string& sub, win::LONG to, const std::string& putTo,
                    std::string* reason) {
        win::VARIANT_BOOL ok{};
        winsys::com::check(reg->CopySubKey(key, sub, to, putTo, reason, &ok));
        return ok != win::VARIANT_FALSE;
    }
    bool copySingleValue(win::LONG key, const std::string& sub, const std::string& name, win::LONG to,
                         const std::string& toSub, std::string* reason) {
        win::VARIANT_BOOL ok{};
        winsys::com::check(reg->CopySingleValue(key, sub, name, to, toSub, reason, &ok));
        return ok != win::VARIANT_FALSE;
    }
    std::string saveAsReg50(win::LONG key, std::string sub) {
        std::string text;
        winsys::com::check(reg->SaveAsReg50(&key, &sub, &text));
        return text;
    }
    std::string saveSingleValue(win::LONG key, const std::string& sub, const std::string& name) {
        std::string text;
        winsys::com::check(reg->SaveSingleValueAsReg50(key, sub, name, &text));
        return text;
    }
    ComPtr<_CCollection> classesOf(const std::string& cat, bool with32, bool with64) {
        ComPtr<_CCollection> c;
        winsys::com::check(reg->EnumClassesOfCategory(cat, win::toVariantBool(with32), win::toVariantBool(with64),
                                                      c.put()));
        return c;
    }

    testsupport::TestPrefix prefix;
    testsupport::ComLibrary lib;
    ComPtr<_CRegistry> reg;
};

// The failure a member raised, as a client sees it.
template <class F>
win::HRESULT raised(F&& f) {
    try {
        winsys::com::call(f);
    } catch (const winsys::com::ComError& e) {
        return e.hresult();
    }
    return win::S_OK;
}

} // namespace regtest
