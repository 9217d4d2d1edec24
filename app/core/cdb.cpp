#include "app/core/cdb.h"

#include <exception>
#include <utility>

#include "app/core/comcalls.h"
#include "components/interfaces/quarncust.h"
#include "platform/com/class_registry.h"
#include "platform/com/com_error.h"
#include "platform/com/safearray.h"
#include "platform/com/variant.h"

namespace sorlix {

namespace {

using halvenlib::_CCollection;
using halvenlib::_CGumArray;
using halvenlib::_CParams;
using quarncust::_CUniqueNamer;
using winsys::com::call;
using winsys::com::check;
using winsys::com::ComPtr;

// "13_" for type 13.
std::string typeKey(LONG addonType) { return std::to_string(addonType) + "_"; }

void file(_CCollection* c, win::VARIANT item, const std::string& key) {
    win::VARIANT k = winsys::com::makeText(key);
    call([&] { return c->Add(&item, &k, nullptr, nullptr); });
}

// The object filed under `key`, asked for interface I; E_NOINTERFACE when
// the item is not such an object.
template <class I>
ComPtr<I> objectItem(_CCollection* c, const std::string& key) {
    const win::VARIANT v = CollectionItem(c, key);
    const win::VARIANT& d = winsys::com::deref(v);
    ComPtr<I> r;
    if (d.vt == win::VT_DISPATCH && d.pdispVal) r = ComPtr<win::IDispatch>(d.pdispVal).as<I>();
    else if (d.vt == win::VT_UNKNOWN && d.punkVal) r = ComPtr<win::IUnknown>(d.punkVal).as<I>();
    if (!r) check(win::E_NOINTERFACE);
    return r;
}

} // namespace

CDB::CDB(ComPtr<halvenlib::_axLog> log)
    : log_(std::move(log)),
      TypeById(NewCollection()),
      InfoById(NewCollection()),
      DetailsById(NewCollection()),
      ListByType(NewCollection()),
      NamerByType(NewCollection()) {}

void CDB::Add(LONG addonType, _CParams* addonInfo, _CParams* details) {
    using namespace winsys::com;
    try {
        const std::string id = NewGuid();
        file(TypeById.get(), makeLong(addonType), id);
        file(InfoById.get(), makeObject(addonInfo), id);
        file(DetailsById.get(), makeObject(details), id);

        const std::string key = typeKey(addonType);
        ComPtr<_CGumArray> listing;
        ComPtr<_CUniqueNamer> namer;
        if (HasItem(ListByType.get(), key)) {
            listing = objectItem<_CGumArray>(ListByType.get(), key);
            namer = objectItem<_CUniqueNamer>(NamerByType.get(), key);
        } else {
            check(createInstance(halvenlib::CLSID_CGumArray, &listing));
            call([&] { return listing->Init(2); });
            file(ListByType.get(), makeObject(listing.get()), key);
            check(createInstance(quarncust::CLSID_CUniqueNamer, &namer));
            file(NamerByType.get(), makeObject(namer.get()), key);
        }

        _CParams* record = addonInfo;
        std::string name;
        call([&] { return namer->GenerateDisplayName(&record, &name); });

        const VARIANT row = makeArray(makeVariantArray({makeText(name), makeText(id)}, 1));
        call([&] { return listing->AddRow(row.parray); });
    } catch (const ComError& e) {
        if (log_) log_->LogIt(e.number(), e.description(), halvenlib::sevError, "CDB.Add");
    } catch (const std::exception& e) {
        if (log_) log_->LogIt(numberFromHresult(win::E_FAIL), e.what(), halvenlib::sevError, "CDB.Add");
    }
}

void CDB::RemoveTypeInfo(LONG addonType) {
    const std::string key = typeKey(addonType);
    if (!HasItem(ListByType.get(), key)) return;
    win::VARIANT k = winsys::com::makeText(key);
    call([&] { return ListByType->Remove(&k); });
    call([&] { return NamerByType->Remove(&k); });
}

LONG CDB::AddonType(const std::string& id) const {
    LONG t = 0;
    check(winsys::com::toLong(CollectionItem(TypeById.get(), id), &t));
    return t;
}

ComPtr<_CParams> CDB::AddonInfo(const std::string& id) const { return objectItem<_CParams>(InfoById.get(), id); }

// Details and TypeObjects answer nothing rather than fail: a missing entry
// is an expected state for their readers.
ComPtr<_CParams> CDB::Details(const std::string& id) const {
    try {
        return objectItem<_CParams>(DetailsById.get(), id);
    } catch (const std::exception&) {
        winsys::com::clearErrorInfo();
        return nullptr;
    }
}

ComPtr<_CGumArray> CDB::TypeObjects(LONG addonType) const {
    try {
        return objectItem<_CGumArray>(ListByType.get(), typeKey(addonType));
    } catch (const std::exception&) {
        winsys::com::clearErrorInfo();
        return nullptr;
    }
}

void CDB::Sort(LONG addonType) {
    const std::string key = typeKey(addonType);
    if (!HasItem(ListByType.get(), key)) return;
    const ComPtr<_CGumArray> listing = objectItem<_CGumArray>(ListByType.get(), key);
    call([&] { return listing->Sort(1, win::VARIANT_TRUE); });
}

} // namespace sorlix
