#pragma once
// The program's calls into the component libraries that every module makes:
// the application objects, formatting through CGlobal, new collections and
// records, reading them, and the log line of a caught error. A failing call
// throws ComError.

#include <exception>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "common/interfaces/fileops.h"
#include "common/interfaces/global.h"
#include "common/interfaces/records.h"
#include "common/interfaces/table.h"
#include "platform/com/class_registry.h"
#include "platform/com/com_error.h"
#include "platform/com/com_ptr.h"

namespace sorlix {

// Error 91, "Object variable or With block variable not set": a call on Nothing.
winsys::com::ComError ObjectNotSet();

// The program-wide object behind `p` (DB, FileChecker, AddonTypeVisor); a
// missing one raises error 91.
template <class T>
T& ProgramObject(const std::unique_ptr<T>& p) {
    if (!p) throw ObjectNotSet();
    return *p;
}

// The process's one instance of an application object, asked for interface I.
template <class I>
winsys::com::ComPtr<I> ApplicationObject(const win::CLSID& clsid) {
    winsys::com::ComPtr<I> p;
    winsys::com::call([&] { return winsys::com::getApplicationObject(clsid, I::iid, p.putVoid()); });
    return p;
}
winsys::com::ComPtr<halvenlib::_CGlobal> Global();
winsys::com::ComPtr<halvenlib::_FileOps> FileOps();

// A new GUID text from CGlobal.
std::string NewGuid();

// CGlobal.FormatString: "%1", "%2" ... replaced by the values in order.
std::string FormatString(std::string text, const std::vector<win::VARIANT>& values);
std::string FormatString(std::string text, std::initializer_list<std::string> values);

winsys::com::ComPtr<halvenlib::_CCollection> NewCollection();
winsys::com::ComPtr<halvenlib::_CParams> NewParams();

// A variant's text; a value with none fails as a type mismatch does.
std::string VariantText(const win::VARIANT& v);

bool HasItem(halvenlib::_CCollection* c, const std::string& key);
// The item under `key` (ItemText: or at position `index`); a failure when there is none.
win::VARIANT CollectionItem(halvenlib::_CCollection* c, const std::string& key);
std::string ItemText(halvenlib::_CCollection* c, const std::string& key);
std::string ItemText(halvenlib::_CCollection* c, win::LONG index);

bool HasParam(halvenlib::_CParams* p, const std::string& name);
// The record's value under `name` as stored; error 5 when it has none.
win::VARIANT ParamValue(halvenlib::_CParams* p, const std::string& name);
std::string ParamText(halvenlib::_CParams* p, const std::string& name);
// Adds `name` with `value`; a name the record holds already fails.
void AddParam(halvenlib::_CParams* p, const std::string& name, win::VARIANT value);

// A table's number of rows, and one cell (rows and columns from 1) as a number or text.
win::LONG RowCount(halvenlib::_CGumArray* t);
win::LONG CellLong(halvenlib::_CGumArray* t, win::LONG row, win::LONG column);
std::string CellText(halvenlib::_CGumArray* t, win::LONG row, win::LONG column);

// What a log line says of a caught error: a ComError's number and its
// description (or the standard text of its HRESULT), else E_FAIL and what().
struct ErrorText {
    win::LONG number;
    std::string text;
};
ErrorText DescribeError(const std::exception& e);

// One line in the program's log, when there is one.
void LogLine(win::LONG number, const std::string& text, win::LONG severity, const std::string& source);
// Writes `e` to the program's log (when there is one) as an error of `source`.
void LogError(const std::exception& e, const std::string& source);

} // namespace sorlix
