// CUniqueNamer through COM: numbering ignoring case, produced names not
// counted, "(noname)" for records without a usable name, and the record
// errors (a failed call uses up no number).

#include <gtest/gtest.h>

#include <string>

#include "common/interfaces/records.h"
#include "components/interfaces/quarncust.h"
#include "platform/com/class_registry.h"
#include "platform/com/variant.h"
#include "tests/support/com_library.h"
#include "tests/support/records.h"
#include "tests/support/test_prefix.h"

using namespace win;
using namespace winsys::com;
using namespace quarncust;
using halvenlib::_CParam;
using halvenlib::_CParams;

namespace {

class UniqueNamer : public ::testing::Test {
protected:
    ComPtr<_CUniqueNamer> make() {
        ComPtr<_CUniqueNamer> n;
        EXPECT_EQ(createInstance(CLSID_CUniqueNamer, &n), S_OK);
        return n;
    }
    // A record with the given parameters; a null value adds the name without one.
    ComPtr<_CParams> record(std::initializer_list<std::pair<const char*, const char*>> params) {
        ComPtr<_CParams> r = testsupport::newParams();
        for (const auto& [name, value] : params)
            testsupport::addParam(r.get(), name, value ? makeText(value) : makeMissing());
        return r;
    }
    static std::string param(_CParams* r, const char* name) {
        VARIANT ix = makeText(name), v;
        ComPtr<_CParam> p;
        std::string s;
        EXPECT_EQ(r->get_Item(&ix, p.put()), S_OK);
        if (p) {
            EXPECT_EQ(p->get_Value(&v), S_OK);
        }
        EXPECT_EQ(toText(v, &s), S_OK);
        return s;
    }
    static HRESULT generate(_CUniqueNamer* n, _CParams* r, std::string* name) {
        _CParams* arg = r;
        return n->GenerateDisplayName(&arg, name);
    }

    testsupport::TestPrefix prefix;
    testsupport::ComLibrary common{HALVENLIB_PATH}, product{QUARNCUST_PATH};
};

TEST_F(UniqueNamer, RenameNumbersRepeatsIgnoringCase) {
    const struct {
        const char* given;
        const char* expected;
    } rows[] = {
        {"Foo", "Foo"},
        {" Foo ", "Foo (2)"},
        {"foo", "foo (3)"},
        {"Foo (2)", "Foo (2)"},     // a produced name is not a name of its own
        {"Foo (2)", "Foo (2) (2)"}, // until it is given as one
        {"Bar", "Bar"},
        {"", ""},
        {"", " (2)"},
        {"   ", " (3)"},
        {"\tFoo", "\tFoo"}, // only spaces are blanks
        {"FOO  ", "FOO (4)"},
    };
    auto namer = make();
    for (const auto& r : rows) {
        SCOPED_TRACE(std::string("'") + r.given + "'");
        std::string out = "sentinel";
        ASSERT_EQ(namer->Rename(r.given, &out), S_OK);
        EXPECT_EQ(out, r.expected);
    }
    std::string fresh;
    ASSERT_EQ(make()->Rename("Foo", &fresh), S_OK);
    EXPECT_EQ(fresh, "Foo"); // counts belong to one namer
}

TEST_F(UniqueNamer, DisplayNamesComeFromTheOriginalNameOrAreNoName) {
    const struct {
        const char* label;
        const char* originalName; // null: no such parameter
        const char* expected;
    } rows[] = {
        {"no original name", nullptr, "(noname)"},
        {"blank original name", "   ", "(noname)"},
        {"empty original name", "", "(noname)"},
        {"again no original name", nullptr, "(noname)"},
        {"named", " Bar ", "Bar"},
        {"named again", "bar", "bar (2)"},
        {"named like the unnamed", "(noname)", "(noname)"},
        {"and once more", "(noname)", "(noname) (2)"},
    };
    auto namer = make();
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        auto r = row.originalName ? record({{"originalName", row.originalName}}) : record({{"other", "x"}});
        std::string name;
        ASSERT_EQ(generate(namer.get(), r.get(), &name), S_OK);
        EXPECT_EQ(name, row.expected);
        EXPECT_EQ(param(r.get(), "displayName"), row.expected);
        if (row.originalName) {
            EXPECT_EQ(param(r.get(), "originalName"), row.originalName); // keeps its blanks
        }
    }
}

TEST_F(UniqueNamer, RecordErrorsReachTheCallerAndUseUpNoNumber) {
    auto namer = make();
    std::string name;
    auto named = record({{"originalName", "Baz"}, {"displayName", "set"}});
    EXPECT_EQ(generate(namer.get(), named.get(), &name), static_cast<HRESULT>(0x800A01C9u)); // 457
    EXPECT_EQ(param(named.get(), "displayName"), "set");

    auto valueless = record({{"originalName", nullptr}});
    EXPECT_EQ(generate(namer.get(), valueless.get(), &name), static_cast<HRESULT>(0x800A0009u));
    VARIANT_BOOL present = VARIANT_TRUE;
    valueless->IsInCollection("displayName", &present);
    EXPECT_EQ(present, VARIANT_FALSE);

    _CParams* nothing = nullptr;
    EXPECT_EQ(namer->GenerateDisplayName(&nothing, &name), static_cast<HRESULT>(0x800A005Bu)); // 91

    auto first = record({{"originalName", "Baz"}});
    ASSERT_EQ(generate(namer.get(), first.get(), &name), S_OK);
    EXPECT_EQ(name, "Baz");
}

} // namespace
