#pragma once
// Shared by the collection tests: hand-made add-on records and results,
// reading details lists and type listings back as plain rows, and putting
// an enumerator entry in place for the length of a test.

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "app/core/cdb.h"
#include "app/core/minfocollector.h"
#include "app/core/mmain.h"
#include "common/interfaces/records.h"
#include "common/interfaces/table.h"
#include "platform/com/class_registry.h"
#include "platform/com/variant.h"
#include "tests/support/records.h"

namespace collectiontest {

using Rows = std::vector<std::pair<std::string, std::string>>;

// The "File" row of a broken Internet Explorer registration, per kind.
inline const std::string kBrokenToolbar = "Toolbar is improperly installed or configured";
inline const std::string kBrokenButton = "Toolbar button and menu are improperly installed or configured";
inline const std::string kBrokenMenu = "Menu extension is improperly installed or configured";
inline const std::string kBrokenBar = "Explorer bar is improperly installed or configured";
inline const std::string kBrokenBHO = "Browser Helper Object is improperly installed or configured";

inline std::string text(const win::VARIANT& v) {
    std::string s;
    EXPECT_EQ(winsys::com::toText(v, &s), win::S_OK);
    return s;
}

// A record holding `fields` in order.
inline winsys::com::ComPtr<halvenlib::_CParams> record(const Rows& fields) {
    winsys::com::ComPtr<halvenlib::_CParams> p = testsupport::newParams();
    for (const auto& [name, value] : fields) testsupport::addParam(p.get(), name, winsys::com::makeText(value));
    return p;
}

// An enumerator result with one node per record.
inline winsys::com::ComPtr<halvenlib::_CNodes> result(const std::vector<Rows>& records) {
    winsys::com::ComPtr<halvenlib::_CNodes> nodes;
    EXPECT_EQ(winsys::com::createInstance(halvenlib::CLSID_CNodes, &nodes), win::S_OK);
    for (const Rows& fields : records) {
        winsys::com::ComPtr<halvenlib::_CNode> node;
        EXPECT_EQ(nodes->Add(node.put()), win::S_OK);
        winsys::com::ComPtr<halvenlib::_CParams> params;
        EXPECT_EQ(node->get_params(params.put()), win::S_OK);
        for (const auto& [name, value] : fields)
            testsupport::addParam(params.get(), name, winsys::com::makeText(value));
    }
    return nodes;
}

// (label, value) of every row, in order.
inline Rows rows(halvenlib::_CParams* details) {
    Rows r;
    win::LONG n = 0;
    EXPECT_EQ(details->get_Count(&n), win::S_OK);
    for (win::LONG i = 1; i <= n; ++i) {
        win::VARIANT index = winsys::com::makeLong(i), v;
        winsys::com::ComPtr<halvenlib::_CParam> param;
        EXPECT_EQ(details->get_Item(&index, param.put()), win::S_OK);
        std::string name;
        param->get_Name(&name);
        param->get_Value(&v);
        r.emplace_back(name, text(v));
    }
    return r;
}

// The details rows the collection stored for an add-on.
inline Rows detailsOf(const std::string& id) { return rows(sorlix::DB->Details(id).get()); }

// Display name -> add-on id of every add-on the collection filed under `type`.
inline std::map<std::string, std::string> addonsByName(win::LONG type) {
    std::map<std::string, std::string> found;
    for (auto& [name, id] : testsupport::listingRows(sorlix::DB->TypeObjects(type).get())) found[name] = id;
    return found;
}

// The details rows of the add-on the type's listing shows as `name`; none,
// failing the test, when it lists no such add-on.
inline Rows detailsOf(win::LONG type, const std::string& name) {
    if (const auto t = sorlix::DB->TypeObjects(type))
        for (const auto& [n, id] : testsupport::listingRows(t.get()))
            if (n == name) return detailsOf(id);
    ADD_FAILURE() << "type " << type << " lists no " << name;
    return {};
}

// (display name, add-on id) of every listing row, in order.
inline Rows listing(halvenlib::_CGumArray* t) {
    EXPECT_TRUE(t);
    return testsupport::listingRows(t);
}

// The type's enumerator entry replaced while the object lives.
class EntryOverride {
public:
    EntryOverride(win::LONG type, sorlix::MInfoCollector::EnumeratorEntry entry)
        : type_(type), saved_(sorlix::MInfoCollector::ReplaceEnumeratorEntryForTesting(type, std::move(entry))) {}
    ~EntryOverride() { sorlix::MInfoCollector::ReplaceEnumeratorEntryForTesting(type_, std::move(saved_)); }
    EntryOverride(const EntryOverride&) = delete;
    EntryOverride& operator=(const EntryOverride&) = delete;

private:
    win::LONG type_;
    sorlix::MInfoCollector::EnumeratorEntry saved_;
};

} // namespace collectiontest
