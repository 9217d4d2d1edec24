#include "platform/com/dispatch_table.h"

#include <gtest/gtest.h>

#include "platform/com/com_error.h"
#include "platform/com/enum_variant.h"
#include "platform/com/late_bound.h"
#include "platform/com/object.h"
#include "tests/support/vtable_check.h"

using namespace win;
using namespace winsys::com;

namespace {

// A dual interface with one member of each kind the table knows.
struct _IProbe : IDispatch {
    static constexpr IID iid{0x0C0FFEE0, 0x0001, 0x0002, {0, 0, 0, 0, 0, 0, 0, 0x01}};
    static const InterfaceInfo& info();
    virtual HRESULT get_Value(LONG* v) = 0;
    virtual HRESULT put_Value(LONG v) = 0;
    virtual HRESULT Concat(const std::string& a, const std::string& b, std::string* out) = 0;
    virtual HRESULT Twice(LONG* v) = 0;
    virtual HRESULT Rename(std::string* name) = 0;
    virtual HRESULT Swap(VARIANT* a, VARIANT* b) = 0;
    virtual HRESULT get_Item(LONG index, VARIANT* out) = 0;
    virtual HRESULT NewEnum(IUnknown** e) = 0;
    virtual HRESULT Fail(LONG number) = 0;
    virtual HRESULT Describe(const VARIANT& v, std::string* out) = 0;
    virtual HRESULT get_Child(_IProbe** child) = 0;
    virtual HRESULT putref_Child(_IProbe* child) = 0;

protected:
    ~_IProbe() = default;
};

const InterfaceInfo& _IProbe::info() {
    static const InterfaceInfo i("_IProbe", {
        propGet<&_IProbe::get_Value>("Value"),
        propLet<&_IProbe::put_Value>("Value"),
        function<&_IProbe::Concat>("Concat"),
        method<&_IProbe::Twice>("Twice"),
        method<&_IProbe::Rename>("Rename"),
        method<&_IProbe::Swap>("Swap"),
        propGet<&_IProbe::get_Item>("Item", DISPID_VALUE),
        function<&_IProbe::NewEnum>("NewEnum", DISPID_NEWENUM),
        method<&_IProbe::Fail>("Fail"),
        function<&_IProbe::Describe>("Describe").optionalFrom(0),
        propGet<&_IProbe::get_Child>("Child"),
        propSet<&_IProbe::putref_Child>("Child"),
    });
    return i;
}

class Probe final : public DispatchObject<_IProbe> {
public:
    HRESULT get_Value(LONG* v) override { *v = value_; return S_OK; }
    HRESULT put_Value(LONG v) override { value_ = v; return S_OK; }
    HRESULT Concat(const std::string& a, const std::string& b, std::string* out) override {
        *out = a + b;
        return S_OK;
    }
    HRESULT Twice(LONG* v) override { *v *= 2; return S_OK; }
    HRESULT Rename(std::string* name) override { *name += " renamed"; return S_OK; }
    HRESULT Swap(VARIANT* a, VARIANT* b) override { std::swap(*a, *b); return S_OK; }
    HRESULT get_Item(LONG index, VARIANT* out) override { *out = makeLong(index * 10); return S_OK; }
    HRESULT NewEnum(IUnknown** e) override {
        *e = createVariantEnumerator({makeLong(1), makeText("two"), makeLong(3)}).detach();
        return S_OK;
    }
    HRESULT Fail(LONG number) override { return raiseError(number, "failed " + std::to_string(number), "Probe.Fail"); }
    HRESULT Describe(const VARIANT& v, std::string* out) override {
        if (isMissing(v)) *out = "missing";
        else if (FAILED(toText(v, out))) *out = "?";
        return S_OK;
    }
    HRESULT get_Child(_IProbe** child) override { *child = ComPtr<_IProbe>(child_).detach(); return S_OK; }
    HRESULT putref_Child(_IProbe* child) override { child_ = ComPtr<_IProbe>(child); return S_OK; }

private:
    LONG value_ = 0;
    ComPtr<_IProbe> child_;
};

ComPtr<IDispatch> newProbe() { return ComPtr<IDispatch>(create<Probe>().get()); }

TEST(Dispatch, NamesAreFoundWithoutRegardToCase) {
    auto p = newProbe();
    struct Row {
        const char* name;
        HRESULT hr;
    } rows[] = {{"Value", S_OK}, {"VALUE", S_OK}, {"value", S_OK}, {"cOnCaT", S_OK}, {"Item", S_OK},
                {"NoSuchMember", DISP_E_UNKNOWNNAME}, {"", DISP_E_UNKNOWNNAME}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        std::string name = r.name;
        DISPID id = 12345;
        EXPECT_EQ(p->GetIDsOfNames(GUID_NULL, &name, 1, 0, &id), r.hr);
        if (r.hr == S_OK) {
            EXPECT_NE(id, DISPID_UNKNOWN);
        } else {
            EXPECT_EQ(id, DISPID_UNKNOWN);
        }
    }
    EXPECT_EQ(dispatchIdOf(p.get(), "value"), dispatchIdOf(p.get(), "Value"));
    EXPECT_EQ(dispatchIdOf(p.get(), "item"), DISPID_VALUE);
    EXPECT_EQ(dispatchIdOf(p.get(), "NEWENUM"), DISPID_NEWENUM);
}

TEST(Dispatch, PropertiesMethodsAndDefaultMember) {
    auto p = newProbe();
    putProperty(p.get(), "value", makeLong(41));
    EXPECT_EQ(getProperty(p.get(), "Value").lVal, 41);
    // A numeric text is converted for a Long parameter.
    putProperty(p.get(), "Value", makeText("42"));
    EXPECT_EQ(callMethod(p.get(), "Value").lVal, 42);
    EXPECT_EQ(callMethod(p.get(), "Concat", {makeText("ab"), makeLong(3)}).bstrVal, "ab3");
    VARIANT item = invokeById(p.get(), DISPID_VALUE, DISPATCH_PROPERTYGET, {makeLong(4)});
    EXPECT_EQ(item.vt, VT_I4);
    EXPECT_EQ(item.lVal, 40);
    EXPECT_EQ(callMethod(p.get(), "Describe").bstrVal, "missing");
    EXPECT_EQ(callMethod(p.get(), "Describe", {makeMissing()}).bstrVal, "missing");
    EXPECT_EQ(callMethod(p.get(), "Describe", {makeBool(false)}).bstrVal, "False");
}

TEST(Dispatch, ByReferenceArgumentsAreWrittenBack) {
    auto p = newProbe();
    LONG n = 21;
    callMethod(p.get(), "Twice", {byRef(&n)});
    EXPECT_EQ(n, 42);

    // A Variant variable passed by reference to a Long parameter.
    VARIANT boxed = makeLong(5);
    callMethod(p.get(), "Twice", {byRef(&boxed)});
    EXPECT_EQ(boxed.vt, VT_I4);
    EXPECT_EQ(boxed.lVal, 10);

    // By value: the callee's change stays with the callee.
    VARIANT value = makeLong(5);
    callMethod(p.get(), "Twice", {value});
    EXPECT_EQ(value.lVal, 5);

    std::string name = "log";
    callMethod(p.get(), "Rename", {byRef(&name)});
    EXPECT_EQ(name, "log renamed");

    VARIANT a = makeText("a"), b = makeLong(2);
    callMethod(p.get(), "Swap", {byRef(&a), byRef(&b)});
    EXPECT_EQ(a.vt, VT_I4);
    EXPECT_EQ(b.bstrVal, "a");
}

TEST(Dispatch, ObjectPropertiesBySetAndByReference) {
    auto p = newProbe();
    auto child = newProbe();
    putRefProperty(p.get(), "Child", makeObject(child.get()));
    VARIANT got = getProperty(p.get(), "child");
    ASSERT_EQ(got.vt, VT_DISPATCH);
    EXPECT_EQ(ComPtr<IUnknown>(got.pdispVal).as<IUnknown>(), child.as<IUnknown>());
    // Something that is no object cannot be set.
    EXPECT_THROW(putRefProperty(p.get(), "Child", makeLong(1)), ComError);
}

TEST(Dispatch, CallErrorsTable) {
    auto p = newProbe();
    const DISPID concat = dispatchIdOf(p.get(), "Concat"), value = dispatchIdOf(p.get(), "Value");
    struct Row {
        const char* label;
        DISPID id;
        WORD flags;
        std::vector<VARIANT> args;
        HRESULT hr;
    } rows[] = {
        {"unknown dispatch id", 999, DISPATCH_METHOD, {}, DISP_E_MEMBERNOTFOUND},
        {"too many arguments", concat, DISPATCH_METHOD, {makeText("a"), makeText("b"), makeText("c")},
         DISP_E_BADPARAMCOUNT},
        {"required argument omitted", concat, DISPATCH_METHOD, {makeText("a")}, DISP_E_PARAMNOTFOUND},
        {"required argument passed as missing", concat, DISPATCH_METHOD, {makeText("a"), makeMissing()},
         DISP_E_PARAMNOTFOUND},
        {"no conversion", value, DISPATCH_PROPERTYPUT, {makeText("abc")}, DISP_E_TYPEMISMATCH},
        {"overflow", value, DISPATCH_PROPERTYPUT, {makeDouble(1e12)}, DISP_E_OVERFLOW},
        {"put without a value", value, DISPATCH_PROPERTYPUT, {}, DISP_E_PARAMNOTFOUND},
        {"get is no put", concat, DISPATCH_PROPERTYPUT, {makeText("a")}, DISP_E_MEMBERNOTFOUND},
    };
    for (Row& r : rows) {
        SCOPED_TRACE(r.label);
        VARIANT result = makeText("sentinel");
        EXCEPINFO e;
        EXPECT_EQ(invokeDispatch(p.get(), r.id, r.flags, r.args, &result, &e), r.hr);
        EXPECT_EQ(result.vt, VT_EMPTY);
    }
    // The failing argument is reported as its rgvarg index (the last argument is 0).
    VARIANT args[2] = {makeText("x"), makeNull()}; // Concat(Null, "x")
    DISPPARAMS dp{args, nullptr, 2, 0};
    UINT argErr = 99;
    EXPECT_EQ(p->Invoke(concat, GUID_NULL, 0, DISPATCH_METHOD, &dp, nullptr, nullptr, &argErr), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(argErr, 1u);
    DISPID other = 5;
    dp.rgdispidNamedArgs = &other;
    dp.cNamedArgs = 1;
    EXPECT_EQ(p->Invoke(concat, GUID_NULL, 0, DISPATCH_METHOD, &dp, nullptr, nullptr, nullptr), DISP_E_NONAMEDARGS);
}

TEST(Dispatch, MemberErrorsArriveWithNumberDescriptionAndSource) {
    auto p = newProbe();
    const DISPID fail = dispatchIdOf(p.get(), "Fail");
    EXCEPINFO e;
    EXPECT_EQ(invokeDispatch(p.get(), fail, DISPATCH_METHOD, {makeLong(457)}, nullptr, &e), DISP_E_EXCEPTION);
    EXPECT_EQ(e.scode, hr(0x800A01C9));
    EXPECT_EQ(e.bstrDescription, "failed 457");
    EXPECT_EQ(e.bstrSource, "Probe.Fail");

    // Without EXCEPINFO the member's own result comes back, the error info stays for the caller.
    EXPECT_EQ(invokeDispatch(p.get(), fail, DISPATCH_METHOD, {makeLong(9)}, nullptr, nullptr), hr(0x800A0009));
    ComPtr<IErrorInfo> info;
    ASSERT_EQ(GetErrorInfo(0, info.put()), S_OK);
    std::string d;
    info->GetDescription(&d);
    EXPECT_EQ(d, "failed 9");
    EXPECT_EQ(GetErrorInfo(0, info.put()), S_FALSE); // taken away by the first read

    try {
        callMethod(p.get(), "fail", {makeLong(5)});
        FAIL() << "no error";
    } catch (const ComError& err) {
        EXPECT_EQ(err.number(), 5);
        EXPECT_EQ(err.hresult(), hr(0x800A0005));
        EXPECT_EQ(err.description(), "failed 5");
        EXPECT_EQ(err.source(), "Probe.Fail");
    }
    try {
        callMethod(p.get(), "Fail", {makeLong(E_NOTIMPL)});
        FAIL() << "no error";
    } catch (const ComError& err) {
        EXPECT_EQ(err.number(), E_NOTIMPL); // not facility 10: the HRESULT is the number
    }
}

TEST(Dispatch, ErrorNumbersAndHresults) {
    struct Row {
        const char* label;
        LONG number;
        HRESULT hresult;
    } rows[] = {
        {"collection key exists", 457, hr(0x800A01C9)},
        {"invalid argument", 5, hr(0x800A0005)},
        {"subscript", 9, hr(0x800A0009)},
        {"largest number", 65535, hr(0x800AFFFF)},
        {"a program's own HRESULT", hr(0x80040D2F), hr(0x80040D2F)},
        {"class not registered", REGDB_E_CLASSNOTREG, REGDB_E_CLASSNOTREG},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.label);
        EXPECT_EQ(hresultFromNumber(r.number), r.hresult);
        EXPECT_EQ(numberFromHresult(r.hresult), r.number);
        EXPECT_EQ(ComError(r.hresult, "", "").number(), r.number);
    }
    EXPECT_EQ(hresultFromNumber(0), E_FAIL); // never a success
    EXPECT_EQ(ComError(REGDB_E_CLASSNOTREG, "", "").description(), "Class not registered");
}

TEST(Dispatch, ForEachWalksTheEnumerator) {
    auto p = newProbe();
    std::vector<std::string> seen;
    forEach(p.get(), [&](const VARIANT& v) {
        std::string t;
        ASSERT_EQ(toText(v, &t), S_OK);
        seen.push_back(t);
    });
    EXPECT_EQ(seen, (std::vector<std::string>{"1", "two", "3"}));
}

TEST(Enumerator, NextSkipResetClone) {
    auto e = createVariantEnumerator({makeLong(1), makeLong(2), makeLong(3)});
    VARIANT got[2];
    ULONG n = 0;
    EXPECT_EQ(e->Next(2, got, &n), S_OK);
    EXPECT_EQ(n, 2u);
    EXPECT_EQ(got[1].lVal, 2);
    ComPtr<IEnumVARIANT> clone;
    ASSERT_EQ(e->Clone(clone.put()), S_OK);
    EXPECT_EQ(e->Next(2, got, &n), S_FALSE);
    EXPECT_EQ(n, 1u);
    EXPECT_EQ(got[0].lVal, 3);
    EXPECT_EQ(clone->Next(1, got, nullptr), S_OK); // the clone kept its own place
    EXPECT_EQ(got[0].lVal, 3);
    EXPECT_EQ(e->Reset(), S_OK);
    EXPECT_EQ(e->Skip(5), S_FALSE);
    EXPECT_EQ(e->Next(1, got, &n), S_FALSE);
    EXPECT_EQ(n, 0u);
}

TEST(VtableOrder, StandardEntriesComeFirst) {
    EXPECT_EQ(vtableSlot(&IDispatch::QueryInterface), 0u);
    EXPECT_EQ(vtableSlot(&IDispatch::AddRef), 1u);
    EXPECT_EQ(vtableSlot(&IDispatch::Release), 2u);
    EXPECT_EQ(vtableSlot(&IDispatch::GetTypeInfoCount), 3u);
    EXPECT_EQ(vtableSlot(&IDispatch::GetTypeInfo), 4u);
    EXPECT_EQ(vtableSlot(&IDispatch::GetIDsOfNames), 5u);
    EXPECT_EQ(vtableSlot(&IDispatch::Invoke), 6u);
    EXPECT_EQ(vtableSlot(&IEnumVARIANT::Next), 3u);
}

TEST(VtableOrder, ProbeFollowsItsTable) {
    EXPECT_TRUE(testsupport::slotOrderMatches(
        _IProbe::info(), {"Value (get)", "Value (let)", "Concat", "Twice", "Rename", "Swap", "Item (get)", "NewEnum",
                          "Fail", "Describe", "Child (get)", "Child (set)"}));
}

// Declared in the other order than its table lists the members.
struct _IMisordered : IDispatch {
    static constexpr IID iid{0x0C0FFEE0, 0x0001, 0x0002, {0, 0, 0, 0, 0, 0, 0, 0x02}};
    virtual HRESULT Remove() = 0;
    virtual HRESULT Add() = 0;

protected:
    ~_IMisordered() = default;
};

TEST(VtableOrder, WrongOrdersAreCaught) {
    const InterfaceInfo misdeclared("_IMisordered", {method<&_IMisordered::Add>("Add"),
                                                     method<&_IMisordered::Remove>("Remove")});
    EXPECT_FALSE(testsupport::slotOrderMatches(misdeclared, {"Add", "Remove"}));
    const InterfaceInfo rightTable("_IMisordered", {method<&_IMisordered::Remove>("Remove"),
                                                    method<&_IMisordered::Add>("Add")});
    EXPECT_TRUE(testsupport::slotOrderMatches(rightTable, {"Remove", "Add"}));
    EXPECT_FALSE(testsupport::slotOrderMatches(rightTable, {"Add", "Remove"}));  // the expected list says otherwise
    EXPECT_FALSE(testsupport::slotOrderMatches(rightTable, {"Remove"}));         // a member too many
    EXPECT_FALSE(testsupport::slotOrderMatches(rightTable, {"Remove", "Add", "Clear"})); // one missing
}

} // namespace
