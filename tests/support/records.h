#pragma once
// Add-on records as tests build and read them: a new CParams, a parameter
// added to it, a parameter read back as text, a removal record read back
// as lines, and the rows of a type's listing in the catalogue. Failures of
// the library fail the test rather than throwing.

#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "common/interfaces/records.h"
#include "common/interfaces/table.h"
#include "components/interfaces/quarncust.h"
#include "platform/com/class_registry.h"
#include "platform/com/variant.h"

namespace testsupport {

inline winsys::com::ComPtr<halvenlib::_CParams> newParams() {
    winsys::com::ComPtr<halvenlib::_CParams> p;
    EXPECT_EQ(winsys::com::createInstance(halvenlib::CLSID_CParams, &p), win::S_OK);
    return p;
}

inline void addParam(halvenlib::_CParams* p, const std::string& name, win::VARIANT value) {
    win::VARIANT n = winsys::com::makeText(name);
    winsys::com::ComPtr<halvenlib::_CParam> param;
    EXPECT_EQ(p->Add(&n, &value, param.put()), win::S_OK);
}

// The record's value under `name` as text, or "<missing>" when it has none.
inline std::string paramText(halvenlib::_CParams* p, const std::string& name) {
    win::VARIANT key = winsys::com::makeText(name);
    winsys::com::ComPtr<halvenlib::_CParam> param;
    if (p->get_Item(&key, param.put()) != win::S_OK) return "<missing>";
    win::VARIANT v;
    param->get_Value(&v);
    std::string s;
    EXPECT_EQ(winsys::com::toText(v, &s), win::S_OK) << name;
    return s;
}

// The removal record the record holds under `name`, one line per entry:
// "file <path> <flag>", "subkey <root> <path>", "value <root> <path> | <name>".
inline std::vector<std::string> removalLines(halvenlib::_CParams* p, const std::string& name) {
    win::VARIANT key = winsys::com::makeText(name), v;
    winsys::com::ComPtr<halvenlib::_CParam> param;
    if (p->get_Item(&key, param.put()) != win::S_OK) return {"<no record>"};
    param->get_Value(&v);
    if (v.vt != win::VT_DISPATCH || !v.pdispVal) return {"<no record>"};
    const auto cfg = winsys::com::ComPtr<win::IDispatch>(v.pdispVal).as<quarncust::_CLittleConfig>();
    win::VariantClear(&v);
    if (!cfg) return {"<not a removal record>"};
    std::vector<std::string> r;
    win::LONG files = 0, subkeys = 0, values = 0;
    cfg->get_FileOrFoldersCount(&files);
    cfg->get_RegistrySubkeysCount(&subkeys);
    cfg->get_RegistryValuesCount(&values);
    for (win::LONG i = 1; i <= files; ++i) {
        std::string path;
        win::VARIANT_BOOL flag = win::VARIANT_FALSE;
        cfg->get_FileOrFolder(i, &path);
        cfg->get_FileOrFolderx64bitSystem32(i, &flag);
        r.push_back("file " + path + (flag ? " True" : " False"));
    }
    for (win::LONG i = 1; i <= subkeys; ++i) {
        win::LONG root = 0;
        std::string path;
        cfg->get_RegistrySubkeyKey(i, &root);
        cfg->get_RegistrySubkeySubkey(i, &path);
        r.push_back("subkey " + std::to_string(root) + " " + path);
    }
    for (win::LONG i = 1; i <= values; ++i) {
        win::LONG root = 0;
        std::string path, valueName;
        cfg->get_RegistryValueKey(i, &root);
        cfg->get_RegistryValueSubkey(i, &path);
        cfg->get_RegistryValueValueName(i, &valueName);
        r.push_back("value " + std::to_string(root) + " " + path + " | " + valueName);
    }
    return r;
}

using ListingRows = std::vector<std::pair<std::string, std::string>>;

// The (display name, add-on id) rows of a type's listing, in its order; none
// for a type without a listing.
inline ListingRows listingRows(halvenlib::_CGumArray* listing) {
    ListingRows rows;
    if (!listing) return rows;
    win::LONG n = 0;
    EXPECT_EQ(listing->get_RowsCount(&n), win::S_OK);
    for (win::LONG i = 1; i <= n; ++i) {
        win::VARIANT name, id;
        listing->get_Item(i, 1, &name);
        listing->get_Item(i, 2, &id);
        std::string n1, n2;
        EXPECT_EQ(winsys::com::toText(name, &n1), win::S_OK);
        EXPECT_EQ(winsys::com::toText(id, &n2), win::S_OK);
        rows.emplace_back(std::move(n1), std::move(n2));
    }
    return rows;
}

} // namespace testsupport
