#include "platform/com/variant.h"

#include <gtest/gtest.h>

#include "platform/com/object.h"
#include "platform/com/safearray.h"

using namespace win;
using namespace winsys::com;

namespace {

// What a converted variant holds, as text, for comparing table rows.
std::string show(const VARIANT& v) {
    switch (v.vt) {
    case VT_EMPTY: return "Empty";
    case VT_I4: return "I4 " + std::to_string(v.lVal);
    case VT_I2: return "I2 " + std::to_string(v.iVal);
    case VT_UI1: return "UI1 " + std::to_string(v.bVal);
    case VT_R8: return "R8 " + std::to_string(v.dblVal);
    case VT_BOOL: return v.boolVal == VARIANT_TRUE ? "Bool True" : v.boolVal == VARIANT_FALSE ? "Bool False" : "Bool ?";
    case VT_BSTR: return "Text '" + v.bstrVal + "'";
    default: return "vt " + std::to_string(v.vt);
    }
}

TEST(Variant, ChangeTypeTable) {
    LONG seven = 7;
    struct Row {
        const char* label;
        VARIANT from;
        VARTYPE to;
        HRESULT hr;
        std::string expected;
    } rows[] = {
        {"long to text", makeLong(-42), VT_BSTR, S_OK, "Text '-42'"},
        {"double to text", makeDouble(1.5), VT_BSTR, S_OK, "Text '1.5'"},
        {"a third to text keeps 15 digits", makeDouble(1.0 / 3), VT_BSTR, S_OK, "Text '0.333333333333333'"},
        {"Boolean to text", makeBool(true), VT_BSTR, S_OK, "Text 'True'"},
        {"empty to text", makeEmpty(), VT_BSTR, S_OK, "Text ''"},
        {"date and time to text", makeDate({43831.5}), VT_BSTR, S_OK, "Text '1/1/2020 12:00:00 PM'"},
        {"midnight date to text", makeDate({43831}), VT_BSTR, S_OK, "Text '1/1/2020'"},
        {"padded text to long", makeText(" 12 "), VT_I4, S_OK, "I4 12"},
        {"half rounds to even (down)", makeDouble(2.5), VT_I4, S_OK, "I4 2"},
        {"half rounds to even (up)", makeDouble(3.5), VT_I4, S_OK, "I4 4"},
        {"text that is no number", makeText("12a"), VT_I4, DISP_E_TYPEMISMATCH, "Empty"},
        {"long overflow", makeDouble(3e9), VT_I4, DISP_E_OVERFLOW, "Empty"},
        {"byte overflow", makeLong(256), VT_UI1, DISP_E_OVERFLOW, "Empty"},
        {"True text to Boolean", makeText("true"), VT_BOOL, S_OK, "Bool True"},
        {"zero to Boolean", makeLong(0), VT_BOOL, S_OK, "Bool False"},
        {"Boolean to long", makeBool(true), VT_I4, S_OK, "I4 -1"},
        {"null to long", makeNull(), VT_I4, DISP_E_TYPEMISMATCH, "Empty"},
        {"missing to text", makeMissing(), VT_BSTR, DISP_E_TYPEMISMATCH, "Empty"},
        {"by-reference long read through", byRef(&seven), VT_BSTR, S_OK, "Text '7'"},
    };
    for (Row& r : rows) {
        SCOPED_TRACE(r.label);
        VARIANT out;
        EXPECT_EQ(VariantChangeType(&out, &r.from, 0, r.to), r.hr);
        EXPECT_EQ(show(out), r.expected);
    }
}

TEST(Variant, ChangeTypeInPlace) {
    VARIANT v = makeLong(5);
    ASSERT_EQ(VariantChangeType(&v, &v, 0, VT_BSTR), S_OK);
    EXPECT_EQ(show(v), "Text '5'");
}

class Counted final : public Object<IUnknown> {
public:
    explicit Counted(bool* gone) : gone_(gone) {}
    ~Counted() override { *gone_ = true; }

private:
    bool* gone_;
};

TEST(Variant, CopiesHoldTheirOwnReferences) {
    bool gone = false;
    auto obj = create<Counted>(&gone);
    {
        VARIANT v = makeUnknown(obj.get());
        VARIANT copy = v;
        VARIANT moved = std::move(copy);
        EXPECT_EQ(copy.vt, VT_EMPTY);
        EXPECT_EQ(moved.punkVal, obj.get());
        VARIANT viaRef;
        VARIANT ref = byRef(&v);
        ASSERT_EQ(VariantCopyInd(&viaRef, &ref), S_OK);
        EXPECT_EQ(viaRef.vt, VT_UNKNOWN);
        EXPECT_EQ(obj->AddRef(), 5u); // ours, v, moved, viaRef, and this one
        obj->Release();
        VariantClear(&v);
        EXPECT_EQ(v.vt, VT_EMPTY);
    }
    EXPECT_FALSE(gone);
    obj.reset();
    EXPECT_TRUE(gone);
}

TEST(Variant, MissingArgument) {
    VARIANT m = makeMissing();
    EXPECT_EQ(m.vt, VT_ERROR);
    EXPECT_EQ(m.scode, DISP_E_PARAMNOTFOUND);
    EXPECT_TRUE(isMissing(m));
    EXPECT_TRUE(isMissing(byRef(&m)));
    EXPECT_FALSE(isMissing(makeError(E_FAIL)));
    EXPECT_FALSE(isMissing(makeEmpty()));
}

TEST(SafeArray, VectorBounds) {
    struct Row {
        const char* label;
        LONG lower;
        ULONG count;
        LONG lbound, ubound;
    } rows[] = {
        {"zero-based", 0, 3, 0, 2},
        {"one-based", 1, 3, 1, 3},
        {"1 to 0 is empty", 1, 0, 1, 0},
        {"negative lower bound", -2, 2, -2, -1},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.label);
        SAFEARRAY* a = SafeArrayCreateVector(VT_I4, r.lower, r.count);
        ASSERT_TRUE(a);
        LONG lb = 99, ub = 99;
        EXPECT_EQ(SafeArrayGetDim(a), 1u);
        EXPECT_EQ(SafeArrayGetLBound(a, 1, &lb), S_OK);
        EXPECT_EQ(SafeArrayGetUBound(a, 1, &ub), S_OK);
        EXPECT_EQ(lb, r.lbound);
        EXPECT_EQ(ub, r.ubound);
        EXPECT_EQ(elementCount(a), r.count);
        LONG v = 0, at = r.lbound - 1;
        EXPECT_EQ(SafeArrayGetElement(a, &at, &v), DISP_E_BADINDEX);
        at = r.ubound + 1;
        EXPECT_EQ(SafeArrayGetElement(a, &at, &v), DISP_E_BADINDEX);
        if (r.count) {
            LONG put = 77;
            at = r.ubound;
            EXPECT_EQ(SafeArrayPutElement(a, &at, &put), S_OK);
            EXPECT_EQ(SafeArrayGetElement(a, &at, &v), S_OK);
            EXPECT_EQ(v, 77);
        }
        EXPECT_EQ(SafeArrayGetLBound(a, 2, &lb), DISP_E_BADINDEX);
        SafeArrayDestroy(a);
    }
}

TEST(SafeArray, TwoDimensionsLeftmostIndexVariesFastest) {
    SAFEARRAYBOUND b[2] = {{2, 1}, {3, 0}}; // dimension 1: 1..2, dimension 2: 0..2
    SAFEARRAY* a = SafeArrayCreate(VT_I4, 2, b);
    ASSERT_TRUE(a);
    LONG ub1 = 0, ub2 = 0;
    SafeArrayGetUBound(a, 1, &ub1);
    SafeArrayGetUBound(a, 2, &ub2);
    EXPECT_EQ(ub1, 2);
    EXPECT_EQ(ub2, 2);
    LONG at[2] = {1, 2}; // rightmost dimension first: (2, 1)
    LONG v = 5;
    ASSERT_EQ(SafeArrayPutElement(a, at, &v), S_OK);
    void* data = nullptr;
    ASSERT_EQ(SafeArrayAccessData(a, &data), S_OK);
    EXPECT_EQ(static_cast<LONG*>(data)[(2 - 1) + 2 * 1], 5);
    EXPECT_EQ(SafeArrayDestroy(a), DISP_E_ARRAYISLOCKED);
    SafeArrayUnaccessData(a);
    EXPECT_EQ(SafeArrayDestroy(a), S_OK);
}

TEST(SafeArray, VariantOfArrayCopiesDeeply) {
    SAFEARRAY* a = makeVariantArray({makeText("one"), makeLong(2)}, 1);
    VARIANT original = makeArray(a);
    ASSERT_EQ(original.vt, VT_ARRAY | VT_VARIANT);
    VARIANT copy = original;
    LONG at = 1;
    VARIANT changed = makeText("changed");
    ASSERT_EQ(SafeArrayPutElement(copy.parray, &at, &changed), S_OK);
    VARIANT first;
    ASSERT_EQ(SafeArrayGetElement(original.parray, &at, &first), S_OK);
    EXPECT_EQ(show(first), "Text 'one'");

    SAFEARRAY* bytes = makeByteArray({1, 2, 250});
    VARIANT b = makeArray(bytes);
    EXPECT_EQ(b.vt, VT_ARRAY | VT_UI1);
    BYTE last = 0;
    at = 2;
    ASSERT_EQ(SafeArrayGetElement(b.parray, &at, &last), S_OK);
    EXPECT_EQ(last, 250);
}

TEST(SafeArray, RefusesUnsupportedTypesAndNoDimensions) {
    SAFEARRAYBOUND b{1, 0};
    EXPECT_EQ(SafeArrayCreate(VT_ERROR, 1, &b), nullptr);
    EXPECT_EQ(SafeArrayCreate(VT_I4, 0, &b), nullptr);
}

} // namespace
