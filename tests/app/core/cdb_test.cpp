// The catalogue: filing under new GUID ids, display names unique within a
// type, listings in filing order and then in character-code order, the
// answers for missing entries, the logged failure of Add, and dropping one
// type's listing while its older ids stay readable.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "app/core/cdb.h"

#include "app/core/caddontypevisor.h"
#include "platform/com/class_registry.h"
#include "platform/com/com_error.h"
#include "platform/com/object.h"
#include "platform/com/variant.h"
#include "platform/core/guid.h"
#include "tests/support/com_library.h"
#include "tests/support/fake_log.h"
#include "tests/support/records.h"
#include "tests/support/test_prefix.h"

using namespace sorlix;
using namespace halvenlib;
using winsys::com::ComPtr;
using winsys::com::ComError;

namespace {

using testsupport::FakeLog;
using testsupport::LogLine;
using testsupport::paramText;

using Rows = std::vector<std::pair<std::string, std::string>>; // (display name, add-on id)

class Catalogue : public ::testing::Test {
protected:
    // A record with "originalName" when `name` is given.
    static ComPtr<_CParams> record(const char* name) {
        ComPtr<_CParams> p = testsupport::newParams();
        if (name) testsupport::addParam(p.get(), "originalName", winsys::com::makeText(name));
        return p;
    }
    static Rows rows(_CGumArray* t) { return testsupport::listingRows(t); }
    Rows listing(LONG type) const {
        const ComPtr<_CGumArray> t = db.TypeObjects(type);
        EXPECT_TRUE(t) << "type " << type;
        return t ? rows(t.get()) : Rows{};
    }
    // Files a record of `type` named `name` and answers its new id.
    std::string add(LONG type, const char* name) {
        const ComPtr<_CParams> info = record(name), details = record(nullptr);
        const Rows before = rowsIfAny(type);
        db.Add(type, info.get(), details.get());
        const Rows after = rowsIfAny(type);
        EXPECT_EQ(after.size(), before.size() + 1);
        return after.empty() ? std::string() : after.back().second;
    }
    Rows rowsIfAny(LONG type) const {
        const ComPtr<_CGumArray> t = db.TypeObjects(type);
        return t ? rows(t.get()) : Rows{};
    }
    // Braced, hyphenated, upper-case GUID text.
    static bool isGuidText(const std::string& s) {
        const auto g = winsys::guidFromString(s);
        return g && winsys::guidToString(*g) == s;
    }
    static bool same(win::IUnknown* a, win::IUnknown* b) {
        return ComPtr<win::IUnknown>(a).as<win::IUnknown>() == ComPtr<win::IUnknown>(b).as<win::IUnknown>();
    }

    testsupport::TestPrefix prefix;
    testsupport::ComLibrary common{HALVENLIB_PATH};
    testsupport::ComLibrary product{QUARNCUST_PATH};
    ComPtr<FakeLog> log = winsys::com::create<FakeLog>();
    CDB db{ComPtr<_axLog>(log.get())};
};

TEST_F(Catalogue, FilesEachAddonUnderANewGuidId) {
    const ComPtr<_CParams> info = record("Foo"), details = record(nullptr);
    db.Add(atFirefox32Extension, info.get(), details.get());
    const std::string second = add(atFirefox32Extension, "Bar");

    const Rows r = listing(atFirefox32Extension);
    ASSERT_EQ(r.size(), 2u);
    const std::string first = r[0].second;
    EXPECT_TRUE(isGuidText(first)) << first;
    EXPECT_TRUE(isGuidText(second)) << second;
    EXPECT_NE(first, second);

    EXPECT_EQ(db.AddonType(first), atFirefox32Extension);
    // The catalogue keeps the very objects it was given.
    EXPECT_TRUE(same(db.AddonInfo(first).get(), info.get()));
    EXPECT_TRUE(same(db.Details(first).get(), details.get()));
    EXPECT_EQ(paramText(info.get(), "displayName"), "Foo");
    EXPECT_TRUE(log->lines.empty());
}

TEST_F(Catalogue, DisplayNamesAreUniqueWithinATypeOnly) {
    add(atChromeExtension, "Foo");
    add(atChromeExtension, " Foo ");
    add(atChromeExtension, nullptr);
    add(atChromeExtension, nullptr);
    const std::string other = add(atChromePlugin, "Foo");

    const Rows r = listing(atChromeExtension);
    ASSERT_EQ(r.size(), 4u);
    EXPECT_EQ(r[0].first, "Foo");
    EXPECT_EQ(r[1].first, "Foo (2)");
    EXPECT_EQ(r[2].first, "(noname)");
    EXPECT_EQ(r[3].first, "(noname)");
    EXPECT_EQ(paramText(db.AddonInfo(r[1].second).get(), "displayName"), "Foo (2)");
    EXPECT_EQ(listing(atChromePlugin), (Rows{{"Foo", other}}));
}

TEST_F(Catalogue, SortPutsTheListingInCharacterCodeOrder) {
    const std::string zeta = add(atSafariPlugin, "zeta");
    const std::string beta = add(atSafariPlugin, "Beta");
    const std::string alpha = add(atSafariPlugin, "alpha");
    const std::string delta = add(atSafariPlugin, "Delta");
    EXPECT_EQ(listing(atSafariPlugin), (Rows{{"zeta", zeta}, {"Beta", beta}, {"alpha", alpha}, {"Delta", delta}}));

    db.Sort(atSafariPlugin);
    EXPECT_EQ(listing(atSafariPlugin), (Rows{{"Beta", beta}, {"Delta", delta}, {"alpha", alpha}, {"zeta", zeta}}));

    db.Sort(atOpera32Plugin); // no listing: nothing happens
    EXPECT_FALSE(db.TypeObjects(atOpera32Plugin));
}

TEST_F(Catalogue, MissingEntries) {
    const std::string id = add(atIE32BHO, "Foo");
    const std::string unknown = "{00000000-0000-0000-0000-000000000000}";

    EXPECT_FALSE(db.TypeObjects(atIE32Toolbar));
    EXPECT_FALSE(db.Details(unknown));
    EXPECT_TRUE(db.Details(id));

    // Filed with no details list: answers nothing, as for a missing id.
    const ComPtr<_CParams> info = record("Bar");
    db.Add(atIE32BHO, info.get(), nullptr);
    EXPECT_FALSE(db.Details(listing(atIE32BHO).back().second));

    for (const auto& [label, f] : std::vector<std::pair<const char*, std::function<void()>>>{
             {"AddonType", [&] { db.AddonType(unknown); }},
             {"AddonInfo", [&] { db.AddonInfo(unknown); }},
         }) {
        try {
            f();
            ADD_FAILURE() << label << " did not raise";
        } catch (const ComError& e) {
            EXPECT_EQ(e.number(), 5) << label;
        }
    }
}

TEST_F(Catalogue, AFailedAddIsLoggedAndKeepsWhatWasFiled) {
    const ComPtr<_CParams> named = record("Foo");
    VARIANT key = winsys::com::makeText("displayName"), value = winsys::com::makeText("taken");
    ComPtr<_CParam> param;
    ASSERT_EQ(named->Add(&key, &value, param.put()), win::S_OK);

    db.Add(atOpera64Extension, named.get(), nullptr);

    ASSERT_EQ(log->lines.size(), 1u);
    EXPECT_EQ(log->lines[0].number, 457);
    EXPECT_FALSE(log->lines[0].description.empty());
    EXPECT_EQ(log->lines[0].severity, sevError);
    EXPECT_EQ(log->lines[0].source, "CDB.Add");
    // The listing made before the naming failed stays, without the row.
    EXPECT_EQ(listing(atOpera64Extension), Rows{});

    const std::string id = add(atOpera64Extension, "Foo");
    EXPECT_EQ(listing(atOpera64Extension), (Rows{{"Foo", id}}));
}

TEST_F(Catalogue, RemoveTypeInfoDropsOnlyThatListingAndKeepsOldIds) {
    const std::string oldFoo = add(atFirefox32Plugin, "Foo");
    add(atFirefox32Plugin, "Foo");
    const std::string bar = add(atChromePlugin, "Bar");

    db.RemoveTypeInfo(atFirefox32Plugin);
    EXPECT_FALSE(db.TypeObjects(atFirefox32Plugin));
    EXPECT_EQ(listing(atChromePlugin), (Rows{{"Bar", bar}}));
    db.RemoveTypeInfo(atSafariExtension); // never filed: nothing happens

    // A fresh namer: the re-collected type gets the same names again.
    const std::string newFoo = add(atFirefox32Plugin, "Foo");
    EXPECT_EQ(listing(atFirefox32Plugin), (Rows{{"Foo", newFoo}}));

    EXPECT_EQ(db.AddonType(oldFoo), atFirefox32Plugin);
    EXPECT_EQ(paramText(db.AddonInfo(oldFoo).get(), "displayName"), "Foo");
    EXPECT_TRUE(db.Details(oldFoo));
}

} // namespace
