// CParams and CParam through COM: names kept with their case and found
// without regard to it, a parameter's value being the first of its values,
// given values stored even when empty or False, and the errors.

#include "tests/common/records/records_fixture.h"

#include "platform/com/late_bound.h"

namespace recordstest {
namespace {

TEST_F(Records, ParamsFindNamesWithoutCaseAndKeepTheirCase) {
    auto p = params();
    addParam(p.get(), "originalName", makeText("My Add-on"));
    struct Row {
        const char* label;
        VARIANT index;
    } rows[] = {
        {"as added", makeText("originalName")},
        {"capitals", makeText("ORIGINALNAME")},
        {"lower case", makeText("originalname")},
        {"position", makeLong(1)},
    };
    for (Row& r : rows) {
        ComPtr<_CParam> found;
        ASSERT_EQ(p->get_Item(&r.index, found.put()), S_OK) << r.label;
        EXPECT_EQ(nameOf(found.get()), "originalName") << r.label;
        VARIANT v;
        ASSERT_EQ(found->get_Value(&v), S_OK) << r.label;
        EXPECT_EQ(text(v), "My Add-on") << r.label;
    }
    for (const char* name : {"originalName", "ORIGINALNAME", "OriginalNAME"}) {
        VARIANT_BOOL b = VARIANT_FALSE;
        EXPECT_EQ(p->IsInCollection(name, &b), S_OK);
        EXPECT_EQ(b, VARIANT_TRUE) << name;
    }
}

TEST_F(Records, ParamsDuplicateNameFailsAndKeepsTheFirst) {
    auto p = params();
    addParam(p.get(), "originalName", makeText("first"));
    VARIANT name = makeText("ORIGINALNAME"), value = makeText("second");
    _CParam* got = reinterpret_cast<_CParam*>(0x1);
    expectRaised(raised([&] { return p->Add(&name, &value, &got); }), 457, "Halvenlib.CParams");
    EXPECT_EQ(got, nullptr); // no parameter returned
    EXPECT_EQ(count(p.get()), 1);
    ComPtr<_CParam> first;
    VARIANT key = makeText("originalname"), v;
    ASSERT_EQ(p->get_Item(&key, first.put()), S_OK);
    first->get_Value(&v);
    EXPECT_EQ(text(v), "first");
}

TEST_F(Records, ParamsGivenValueIsStoredEvenWhenEmpty) {
    auto p = params();
    auto obj = collection();
    struct Row {
        const char* name;
        VARIANT value;
    } rows[] = {
        {"emptyText", makeText("")},
        {"falseFlag", makeBool(false)},
        {"zero", makeLong(0)},
        {" padded ", makeText("  kept as is  ")},
        {"object", makeObject(obj.get())},
    };
    for (Row& r : rows) {
        auto added = addParam(p.get(), r.name, r.value);
        ASSERT_TRUE(added) << r.name;
        EXPECT_EQ(nameOf(added.get()), r.name); // no trimming
        VARIANT v;
        ASSERT_EQ(added->get_Value(&v), S_OK) << r.name;
        EXPECT_EQ(v.vt, r.value.vt) << r.name;
        if (v.vt == VT_DISPATCH)
            EXPECT_EQ(v.pdispVal, r.value.pdispVal) << "an object value is a reference";
        else
            EXPECT_EQ(text(v), text(r.value)) << r.name;
    }
    EXPECT_EQ(count(p.get()), 5);
}

TEST_F(Records, ParamWithoutValueRaisesNineOnValue) {
    auto p = params();
    auto noValue = addParam(p.get(), "dLL", std::nullopt);
    VARIANT_BOOL b = VARIANT_FALSE;
    p->IsInCollection("dll", &b);
    EXPECT_EQ(b, VARIANT_TRUE);
    VARIANT v;
    expectRaised(raised([&] { return noValue->get_Value(&v); }), 9, "Halvenlib.CParam");
    // Through late binding an omitted Value is the same.
    VARIANT lateAdded = callMethod(p.get(), "Add", {makeText("late")});
    ASSERT_EQ(lateAdded.vt, VT_DISPATCH);
    EXPECT_THROW(getProperty(lateAdded.pdispVal, "Value"), ComError);
}

TEST_F(Records, ParamValueIsTheFirstOfItsValues) {
    auto one = param();
    ComPtr<_CCollection> values;
    ASSERT_EQ(one->get_Values(values.put()), S_OK);
    ASSERT_TRUE(values); // a new parameter has an empty list
    add(values.get(), makeText("first"));
    add(values.get(), makeText("second"));
    VARIANT v;
    ASSERT_EQ(one->get_Value(&v), S_OK);
    EXPECT_EQ(text(v), "first");

    auto other = collection();
    add(other.get(), makeLong(7));
    ASSERT_EQ(one->putref_Values(other.get()), S_OK);
    ASSERT_EQ(one->get_Value(&v), S_OK);
    EXPECT_EQ(v.lVal, 7);
    ComPtr<_CCollection> now;
    one->get_Values(now.put());
    EXPECT_EQ(now, other); // the list itself, not a copy

    // Setting Nothing leaves an empty list, never a missing one.
    ASSERT_EQ(one->putref_Values(nullptr), S_OK);
    one->get_Values(now.put());
    ASSERT_TRUE(now);
    EXPECT_EQ(count(now.get()), 0);
    EXPECT_EQ(raised([&] { return one->get_Value(&v); })->number, 9);

    ASSERT_EQ(one->put_Name("MixedCase"), S_OK);
    EXPECT_EQ(nameOf(one.get()), "MixedCase");
}

TEST_F(Records, ParamsItemRemoveAndErrors) {
    auto p = params();
    for (const char* n : {"alpha", "Beta", "gamma"}) addParam(p.get(), n, makeText(n));
    VARIANT beta = makeText("BETA");
    ASSERT_EQ(p->Remove(&beta), S_OK);
    std::vector<std::string> order;
    forEach(p.get(), [&](const VARIANT& item) {
        ASSERT_EQ(item.vt, VT_DISPATCH);
        order.push_back(text(getProperty(item.pdispVal, "Name")));
    });
    EXPECT_EQ(order, (std::vector<std::string>{"alpha", "gamma"}));

    struct Row {
        const char* label;
        VARIANT index;
        bool remove;
        LONG number;
    } rows[] = {
        {"Item of a removed name", makeText("beta"), false, 5},
        {"Remove of a missing name", makeText("delta"), true, 5},
        {"Item at position 3", makeLong(3), false, 9},
        {"Remove at position 0", makeLong(0), true, 9},
    };
    for (Row& r : rows) {
        SCOPED_TRACE(r.label);
        ComPtr<_CParam> got;
        expectRaised(raised([&] { return r.remove ? p->Remove(&r.index) : p->get_Item(&r.index, got.put()); }),
                     r.number, "Halvenlib.CParams");
        EXPECT_EQ(count(p.get()), 2);
    }
    VARIANT first = invokeById(p.get(), DISPID_VALUE, DISPATCH_PROPERTYGET, {makeLong(1)});
    ASSERT_EQ(first.vt, VT_DISPATCH);
    EXPECT_EQ(text(getProperty(first.pdispVal, "Value")), "alpha");
    ASSERT_EQ(p->Clear(), S_OK);
    EXPECT_EQ(count(p.get()), 0);
}

} // namespace
} // namespace recordstest
