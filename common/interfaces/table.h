#pragma once
// CGumArray: a growable table of variant cells with a fixed number of
// columns, filled row by row and sortable on one column. Members are in
// vtable slot order; callers bind by slot.
//
// Errors: AddRow with more elements than columns fails with
// kErrRowTooWide (0x80040000, the base of object-defined errors); a row or
// column below 1 in Item, or a sort column outside 1 to ColumnsCount, fails
// with the facility-10 error 9.

#include <string>

#include "platform/com/dispatch_table.h"
#include "platform/com/unknown.h"

namespace halvenlib {

using win::HRESULT;
using win::LONG;
using win::VARIANT;
using win::VARIANT_BOOL;

inline constexpr win::CLSID CLSID_CGumArray{0xA1BECA44, 0xA2B4, 0x4892, {0xB3, 0xF3, 0x1E, 0xC3, 0x57, 0x65, 0x8C, 0x94}};

inline constexpr HRESULT kErrRowTooWide = static_cast<HRESULT>(0x80040000u);

struct _CGumArray : win::IDispatch {
    static constexpr win::IID iid{0x2E994376, 0xAB38, 0x40A0, {0x94, 0x03, 0x01, 0xF6, 0xFB, 0x2E, 0x08, 0x00}};
    static const winsys::com::InterfaceInfo& info();

    // Exchange sort of whole rows on one column's cells; equal rows may change order.
    virtual HRESULT Sort(LONG Column, VARIANT_BOOL SmallestToLargest) = 0;
    // Sets the column count and empties the table.
    virtual HRESULT Init(LONG ColumnsCount) = 0;
    virtual HRESULT get_RowsCount(LONG* rows) = 0;
    virtual HRESULT get_ColumnsCount(LONG* columns) = 0;
    // Empty, without error, beyond the last row or column.
    virtual HRESULT get_Item(LONG Row, LONG Col, VARIANT* cell) = 0;
    // Element k of the array (from its lower bound) goes to column k.
    virtual HRESULT AddRow(win::SAFEARRAY* p) = 0;
    // No rows; the column count stays.
    virtual HRESULT Clear() = 0;
    // "Rows: r, Columns: c" and one "n (cell, cell, ...)" line per row, each ending in CR LF.
    virtual HRESULT AsDisplayString(std::string* text) = 0;

protected:
    ~_CGumArray() = default;
};

inline const winsys::com::InterfaceInfo& _CGumArray::info() {
    using namespace winsys::com;
    static const InterfaceInfo i("_CGumArray", {
        method<&_CGumArray::Sort>("Sort"),
        method<&_CGumArray::Init>("Init"),
        propGet<&_CGumArray::get_RowsCount>("RowsCount"),
        propGet<&_CGumArray::get_ColumnsCount>("ColumnsCount"),
        propGet<&_CGumArray::get_Item>("Item", win::DISPID_VALUE),
        method<&_CGumArray::AddRow>("AddRow"),
        method<&_CGumArray::Clear>("Clear"),
        function<&_CGumArray::AsDisplayString>("AsDisplayString"),
    });
    return i;
}

} // namespace halvenlib
