#pragma once
// Records and collections of the common library: a keyed list
// (CCollection), a named-value record (CParams of CParam) and a record tree
// (CNodes of CNode). Members are in vtable slot order; callers bind by slot.
//
// Errors reach the caller as facility-10 results: 457 for a key already
// present, 5 for a missing key (or Before and After both given), 9 for a
// position outside 1 to Count. Optional VARIANT* arguments may be null or
// hold the "missing" value.

#include <string>

#include "platform/com/dispatch_table.h"
#include "platform/com/unknown.h"

namespace halvenlib {

using win::HRESULT;
using win::LONG;
using win::VARIANT;
using win::VARIANT_BOOL;

inline constexpr win::CLSID CLSID_CCollection{0xDEABBA28, 0x58FB, 0x470B, {0x91, 0x89, 0x38, 0xEA, 0xF9, 0x59, 0x7D, 0x9B}};
inline constexpr win::CLSID CLSID_CNode{0x7A6C00CF, 0x76A4, 0x4515, {0xB5, 0xC1, 0x8D, 0x0E, 0x55, 0xB1, 0x6E, 0x7E}};
inline constexpr win::CLSID CLSID_CNodes{0xB38FDFDB, 0xD494, 0x4CB7, {0x99, 0x0A, 0x56, 0xE1, 0x6C, 0x6C, 0x50, 0xB4}};
inline constexpr win::CLSID CLSID_CParams{0x9626EF42, 0xA8D7, 0x4072, {0x8E, 0x33, 0xEF, 0xBD, 0x94, 0xE8, 0x2D, 0xE9}};
inline constexpr win::CLSID CLSID_CParam{0x00AA43DF, 0x1781, 0x4E74, {0x80, 0x3B, 0xFE, 0xED, 0x8A, 0x41, 0x0A, 0xBE}};

struct _CCollection;
struct _CParam;
struct _CParams;
struct _CNode;
struct _CNodes;

struct _CCollection : win::IDispatch {
    static constexpr win::IID iid{0x29D07B72, 0x55D7, 0x4566, {0x82, 0x32, 0x91, 0xC8, 0x81, 0x7D, 0x89, 0x71}};
    static const winsys::com::InterfaceInfo& info();

    virtual HRESULT get_Count(LONG* count) = 0;
    // Appends, or inserts before/after the item that Before/After names (a
    // key when text, else a position from 1).
    virtual HRESULT Add(VARIANT* item, VARIANT* key, VARIANT* before, VARIANT* after) = 0;
    virtual HRESULT Remove(VARIANT* index) = 0;
    // Text is always a key ("5" is the key 5); a number is a position from 1.
    virtual HRESULT get_Item(VARIANT* index, VARIANT* item) = 0;
    virtual HRESULT Clear() = 0;
    virtual HRESULT NewEnum(win::IUnknown** enumerator) = 0;
    // Never fails for a missing key.
    virtual HRESULT IsInCollection(const std::string& key, VARIANT_BOOL* present) = 0;

protected:
    ~_CCollection() = default;
};

struct _CParam : win::IDispatch {
    static constexpr win::IID iid{0xA52BFA05, 0xF19F, 0x401E, {0x82, 0x7D, 0x94, 0x18, 0x56, 0x95, 0x34, 0xA9}};
    static const winsys::com::InterfaceInfo& info();

    virtual HRESULT get_Name(std::string* name) = 0;
    virtual HRESULT put_Name(const std::string& name) = 0;
    virtual HRESULT get_Values(_CCollection** values) = 0;
    virtual HRESULT Reserved() = 0; // undescribed slot; answers E_NOTIMPL
    // Replaces the list (Nothing gives a new empty one, so Values is never missing).
    virtual HRESULT putref_Values(_CCollection* values) = 0;
    // The first of Values; error 9 when there is none.
    virtual HRESULT get_Value(VARIANT* value) = 0;

protected:
    ~_CParam() = default;
};

struct _CParams : win::IDispatch {
    static constexpr win::IID iid{0x21C3A3C8, 0x2AB8, 0x4EFF, {0xA6, 0x3B, 0xC1, 0x66, 0xA8, 0x9B, 0x2E, 0x76}};
    static const winsys::com::InterfaceInfo& info();

    virtual HRESULT get_Count(LONG* count) = 0;
    // A new parameter under its name; a given Value (even empty) becomes its first value.
    virtual HRESULT Add(VARIANT* name, VARIANT* value, _CParam** param) = 0;
    virtual HRESULT Remove(VARIANT* index) = 0;
    virtual HRESULT get_Item(VARIANT* index, _CParam** param) = 0;
    virtual HRESULT Clear() = 0;
    virtual HRESULT NewEnum(win::IUnknown** enumerator) = 0;
    virtual HRESULT IsInCollection(const std::string& name, VARIANT_BOOL* present) = 0;

protected:
    ~_CParams() = default;
};

struct _CNode : win::IDispatch {
    static constexpr win::IID iid{0x0D719087, 0x6449, 0x47E7, {0x91, 0xEA, 0x3A, 0x4B, 0x65, 0xD8, 0x33, 0xCD}};
    static const winsys::com::InterfaceInfo& info();

    virtual HRESULT get_Id(std::string* id) = 0;
    // Changes the text only; a CNodes keeps the node under its old Id.
    virtual HRESULT put_Id(const std::string& id) = 0;
    virtual HRESULT get_SubNodes(_CNodes** nodes) = 0;
    virtual HRESULT get_params(_CParams** params) = 0;
    virtual HRESULT get_Values(_CCollection** values) = 0;

protected:
    ~_CNode() = default;
};

struct _CNodes : win::IDispatch {
    static constexpr win::IID iid{0xE9CAAF30, 0x7D80, 0x4805, {0x8C, 0x19, 0xD8, 0xFF, 0x63, 0x66, 0xDB, 0x77}};
    static const winsys::com::InterfaceInfo& info();

    virtual HRESULT get_Count(LONG* count) = 0;
    // A new node with a new Id, appended under that Id.
    virtual HRESULT Add(_CNode** node) = 0;
    virtual HRESULT Remove(VARIANT* index) = 0;
    virtual HRESULT get_Item(VARIANT* index, _CNode** node) = 0;
    virtual HRESULT Clear() = 0;
    virtual HRESULT NewEnum(win::IUnknown** enumerator) = 0;

protected:
    ~_CNodes() = default;
};

inline const winsys::com::InterfaceInfo& _CCollection::info() {
    using namespace winsys::com;
    static const InterfaceInfo i("_CCollection", {
        propGet<&_CCollection::get_Count>("Count"),
        method<&_CCollection::Add>("Add").optionalFrom(1),
        method<&_CCollection::Remove>("Remove"),
        propGet<&_CCollection::get_Item>("Item", win::DISPID_VALUE),
        method<&_CCollection::Clear>("Clear"),
        function<&_CCollection::NewEnum>("NewEnum", win::DISPID_NEWENUM),
        function<&_CCollection::IsInCollection>("IsInCollection"),
    });
    return i;
}

inline const winsys::com::InterfaceInfo& _CParam::info() {
    using namespace winsys::com;
    static const InterfaceInfo i("_CParam", {
        propGet<&_CParam::get_Name>("Name"),
        propLet<&_CParam::put_Name>("Name"),
        propGet<&_CParam::get_Values>("Values"),
        hidden<&_CParam::Reserved>("Reserved"),
        propSet<&_CParam::putref_Values>("Values"),
        propGet<&_CParam::get_Value>("Value"),
    });
    return i;
}

inline const winsys::com::InterfaceInfo& _CParams::info() {
    using namespace winsys::com;
    static const InterfaceInfo i("_CParams", {
        propGet<&_CParams::get_Count>("Count"),
        function<&_CParams::Add>("Add").optionalFrom(1),
        method<&_CParams::Remove>("Remove"),
        propGet<&_CParams::get_Item>("Item", win::DISPID_VALUE),
        method<&_CParams::Clear>("Clear"),
        function<&_CParams::NewEnum>("NewEnum", win::DISPID_NEWENUM),
        function<&_CParams::IsInCollection>("IsInCollection"),
    });
    return i;
}

inline const winsys::com::InterfaceInfo& _CNode::info() {
    using namespace winsys::com;
    static const InterfaceInfo i("_CNode", {
        propGet<&_CNode::get_Id>("Id"),
        propLet<&_CNode::put_Id>("Id"),
        propGet<&_CNode::get_SubNodes>("SubNodes"),
        propGet<&_CNode::get_params>("params"),
        propGet<&_CNode::get_Values>("Values"),
    });
    return i;
}

inline const winsys::com::InterfaceInfo& _CNodes::info() {
    using namespace winsys::com;
    static const InterfaceInfo i("_CNodes", {
        propGet<&_CNodes::get_Count>("Count"),
        function<&_CNodes::Add>("Add"),
        method<&_CNodes::Remove>("Remove"),
        propGet<&_CNodes::get_Item>("Item", win::DISPID_VALUE),
        method<&_CNodes::Clear>("Clear"),
        function<&_CNodes::NewEnum>("NewEnum", win::DISPID_NEWENUM),
    });
    return i;
}

} // namespace halvenlib
