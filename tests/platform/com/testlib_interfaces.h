#pragma once
// The interfaces of the test COM library (libcomtestlib.so), shared by the
// library and its clients in the tests. CTestList is a keyed list that
// raises events and saves itself to a property bag; CTestGlobal is an
// application object.

#include "platform/com/dispatch_table.h"
#include "platform/com/unknown.h"

namespace comtest {

using win::HRESULT;
using win::LONG;
using win::VARIANT;

inline constexpr win::GUID kLibId{0x5A0E3C10, 0x7B1D, 0x4C2E, {0x9F, 0x10, 0, 0, 0, 0, 0, 0x01}};
inline constexpr win::CLSID CLSID_CTestList{0x5A0E3C10, 0x7B1D, 0x4C2E, {0x9F, 0x10, 0, 0, 0, 0, 0, 0x10}};
inline constexpr win::CLSID CLSID_CTestGlobal{0x5A0E3C10, 0x7B1D, 0x4C2E, {0x9F, 0x10, 0, 0, 0, 0, 0, 0x20}};
inline constexpr win::IID DIID___CTestList{0x5A0E3C10, 0x7B1D, 0x4C2E, {0x9F, 0x10, 0, 0, 0, 0, 0, 0x12}};
inline constexpr const char* kListProgId = "ComTestLib.CTestList";     // registered with version 1
inline constexpr const char* kGlobalProgId = "ComTestLib.CTestGlobal"; // without a version

// Event dispatch ids of __CTestList.
inline constexpr win::DISPID DISPID_Changed = 1; // Changed(Count As Long), after every Add
inline constexpr win::DISPID DISPID_Later = 2;   // Later(Data As Variant), 100 ms after StartLater

struct _CTestList : win::IDispatch {
    static constexpr win::IID iid{0x5A0E3C10, 0x7B1D, 0x4C2E, {0x9F, 0x10, 0, 0, 0, 0, 0, 0x11}};
    static const winsys::com::InterfaceInfo& info();

    virtual HRESULT get_Count(LONG* count) = 0;
    // Error 457 for a key already present.
    virtual HRESULT Add(VARIANT* item, VARIANT* key) = 0;
    // A text index is a key (error 5 when missing), a number a position from 1 (error 9 outside).
    virtual HRESULT get_Item(VARIANT* index, VARIANT* item) = 0;
    virtual HRESULT NewEnum(win::IUnknown** enumerator) = 0;
    virtual HRESULT get_Name(std::string* name) = 0;
    virtual HRESULT put_Name(const std::string& name) = 0;
    // Puts a new list named "<old name> replaced" into `list`.
    virtual HRESULT Replace(_CTestList** list) = 0;
    // Adds `by` to `value`, which the caller passes by reference.
    virtual HRESULT Bump(LONG* value, LONG by) = 0;
    virtual HRESULT StartLater(VARIANT* data) = 0;
    virtual HRESULT get_Tag(win::IDispatch** tag) = 0;
    virtual HRESULT putref_Tag(win::IDispatch* tag) = 0;
    virtual HRESULT Reserved() = 0; // a slot late binding does not reach

protected:
    ~_CTestList() = default;
};

inline const winsys::com::InterfaceInfo& _CTestList::info() {
    using namespace winsys::com;
    static const InterfaceInfo i("_CTestList", {
        propGet<&_CTestList::get_Count>("Count"),
        method<&_CTestList::Add>("Add").optionalFrom(1),
        propGet<&_CTestList::get_Item>("Item", win::DISPID_VALUE),
        function<&_CTestList::NewEnum>("NewEnum", win::DISPID_NEWENUM),
        propGet<&_CTestList::get_Name>("Name"),
        propLet<&_CTestList::put_Name>("Name"),
        method<&_CTestList::Replace>("Replace"),
        method<&_CTestList::Bump>("Bump"),
        method<&_CTestList::StartLater>("StartLater"),
        propGet<&_CTestList::get_Tag>("Tag"),
        propSet<&_CTestList::putref_Tag>("Tag"),
        hidden<&_CTestList::Reserved>("Reserved"),
    });
    return i;
}

struct _CTestGlobal : win::IDispatch {
    static constexpr win::IID iid{0x5A0E3C10, 0x7B1D, 0x4C2E, {0x9F, 0x10, 0, 0, 0, 0, 0, 0x21}};
    static const winsys::com::InterfaceInfo& info();

    // How often this instance was touched, this call included.
    virtual HRESULT Touch(LONG* count) = 0;
    // The Windows path under which the library found itself.
    virtual HRESULT get_ModulePath(std::string* path) = 0;
    virtual HRESULT NewList(const std::string& name, _CTestList** list) = 0;

protected:
    ~_CTestGlobal() = default;
};

inline const winsys::com::InterfaceInfo& _CTestGlobal::info() {
    using namespace winsys::com;
    static const InterfaceInfo i("_CTestGlobal", {
        function<&_CTestGlobal::Touch>("Touch"),
        propGet<&_CTestGlobal::get_ModulePath>("ModulePath"),
        function<&_CTestGlobal::NewList>("NewList"),
    });
    return i;
}

} // namespace comtest
