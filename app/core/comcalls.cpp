#include "app/core/comcalls.h"

#include <utility>

#include "app/core/globals.h"
#include "platform/com/safearray.h"
#include "platform/com/variant.h"

namespace sorlix {

using halvenlib::_CCollection;
using halvenlib::_CParams;
using winsys::com::call;
using winsys::com::check;
using winsys::com::ComPtr;

winsys::com::ComError ObjectNotSet() {
    return winsys::com::ComError(static_cast<win::HRESULT>(0x800A005Bu),
                                 "Object variable or With block variable not set", "");
}

ComPtr<halvenlib::_CGlobal> Global() { return ApplicationObject<halvenlib::_CGlobal>(halvenlib::CLSID_CGlobal); }
ComPtr<halvenlib::_FileOps> FileOps() { return ApplicationObject<halvenlib::_FileOps>(halvenlib::CLSID_FileOps); }

std::string NewGuid() {
    std::string id;
    call([&] { return Global()->newGuid(&id); });
    return id;
}

std::string FormatString(std::string text, const std::vector<win::VARIANT>& values) {
    // The object first: the array is made only once nothing can throw before it is destroyed.
    const ComPtr<halvenlib::_CGlobal> global = Global();
    win::SAFEARRAY* params = winsys::com::makeVariantArray(values);
    std::string result;
    const win::HRESULT hr = global->FormatString(&text, params, &result);
    win::SafeArrayDestroy(params);
    check(hr);
    return result;
}

std::string FormatString(std::string text, std::initializer_list<std::string> values) {
    std::vector<win::VARIANT> items;
    for (const std::string& v : values) items.push_back(winsys::com::makeText(v));
    return FormatString(std::move(text), items);
}

ComPtr<_CCollection> NewCollection() {
    ComPtr<_CCollection> c;
    check(winsys::com::createInstance(halvenlib::CLSID_CCollection, &c));
    return c;
}

ComPtr<_CParams> NewParams() {
    ComPtr<_CParams> p;
    check(winsys::com::createInstance(halvenlib::CLSID_CParams, &p));
    return p;
}

std::string VariantText(const win::VARIANT& v) {
    std::string s;
    check(winsys::com::toText(v, &s));
    return s;
}

bool HasItem(_CCollection* c, const std::string& key) {
    win::VARIANT_BOOL present = win::VARIANT_FALSE;
    call([&] { return c->IsInCollection(key, &present); });
    return present != win::VARIANT_FALSE;
}

namespace {

win::VARIANT itemAt(_CCollection* c, win::VARIANT index) {
    win::VARIANT v;
    call([&] { return c->get_Item(&index, &v); });
    return v;
}

} // namespace

win::VARIANT CollectionItem(_CCollection* c, const std::string& key) {
    return itemAt(c, winsys::com::makeText(key));
}
std::string ItemText(_CCollection* c, const std::string& key) { return VariantText(CollectionItem(c, key)); }
std::string ItemText(_CCollection* c, win::LONG index) { return VariantText(itemAt(c, winsys::com::makeLong(index))); }

bool HasParam(_CParams* p, const std::string& name) {
    win::VARIANT_BOOL present = win::VARIANT_FALSE;
    call([&] { return p->IsInCollection(name, &present); });
    return present != win::VARIANT_FALSE;
}

win::VARIANT ParamValue(_CParams* p, const std::string& name) {
    win::VARIANT key = winsys::com::makeText(name);
    ComPtr<halvenlib::_CParam> param;
    call([&] { return p->get_Item(&key, param.put()); });
    win::VARIANT v;
    call([&] { return param->get_Value(&v); });
    return v;
}

std::string ParamText(_CParams* p, const std::string& name) { return VariantText(ParamValue(p, name)); }

void AddParam(_CParams* p, const std::string& name, win::VARIANT value) {
    win::VARIANT n = winsys::com::makeText(name);
    ComPtr<halvenlib::_CParam> added;
    call([&] { return p->Add(&n, &value, added.put()); });
}

win::LONG RowCount(halvenlib::_CGumArray* t) {
    win::LONG rows = 0;
    call([&] { return t->get_RowsCount(&rows); });
    return rows;
}

namespace {

win::VARIANT cell(halvenlib::_CGumArray* t, win::LONG row, win::LONG column) {
    win::VARIANT v;
    call([&] { return t->get_Item(row, column, &v); });
    return v;
}

} // namespace

win::LONG CellLong(halvenlib::_CGumArray* t, win::LONG row, win::LONG column) {
    win::LONG n = 0;
    check(winsys::com::toLong(cell(t, row, column), &n));
    return n;
}

std::string CellText(halvenlib::_CGumArray* t, win::LONG row, win::LONG column) {
    return VariantText(cell(t, row, column));
}

ErrorText DescribeError(const std::exception& e) {
    if (const auto* c = dynamic_cast<const winsys::com::ComError*>(&e))
        return {c->number(), c->description().empty() ? winsys::com::describeHresult(c->hresult()) : c->description()};
    return {static_cast<win::LONG>(win::E_FAIL), e.what()};
}

void LogLine(win::LONG number, const std::string& text, win::LONG severity, const std::string& source) {
    if (Log) Log->LogIt(number, text, severity, source);
}

void LogError(const std::exception& e, const std::string& source) {
    const ErrorText error = DescribeError(e);
    LogLine(error.number, error.text, halvenlib::sevError, source);
}

} // namespace sorlix
