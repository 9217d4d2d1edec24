#pragma once
// CDB: the in-memory catalogue of one collection. Every filed add-on gets a
// new add-on id (GUID text) under which its type, record and details list
// are kept; every add-on type keeps its listing of (display name, add-on
// id) rows and the unique namer that made those names. Dropping a type's
// listing (before it is collected again) keeps the older ids readable.
// The catalogue holds references to the records it is given; it copies
// nothing.

#include <string>

#include "common/interfaces/log.h"
#include "common/interfaces/records.h"
#include "common/interfaces/table.h"
#include "platform/com/com_ptr.h"

namespace sorlix {

using win::LONG;

class CDB {
public:
    // Creates the five empty collections; throws ComError when the common
    // library cannot make them. Failures of Add are written to `log`.
    explicit CDB(winsys::com::ComPtr<halvenlib::_axLog> log);

    // Files the add-on under a new id, names it uniquely within its type
    // (the record gets "displayName") and appends it to the type's listing.
    // Never throws: a failure is logged and what was filed before it stays.
    void Add(LONG addonType, halvenlib::_CParams* addonInfo, halvenlib::_CParams* details);
    // Drops the type's listing and namer; its add-on ids stay readable.
    void RemoveTypeInfo(LONG addonType);
    // Both throw ComError for an id that is not filed.
    LONG AddonType(const std::string& id) const;
    winsys::com::ComPtr<halvenlib::_CParams> AddonInfo(const std::string& id) const;
    // Null for an id that is not filed.
    winsys::com::ComPtr<halvenlib::_CParams> Details(const std::string& id) const;
    // The two-column listing of display name and add-on id; null for a type
    // without a listing.
    winsys::com::ComPtr<halvenlib::_CGumArray> TypeObjects(LONG addonType) const;
    // Puts the type's listing in display-name order; nothing without a listing.
    void Sort(LONG addonType);

private:
    winsys::com::ComPtr<halvenlib::_axLog> log_;
    winsys::com::ComPtr<halvenlib::_CCollection> TypeById;
    winsys::com::ComPtr<halvenlib::_CCollection> InfoById;
    winsys::com::ComPtr<halvenlib::_CCollection> DetailsById;
    winsys::com::ComPtr<halvenlib::_CCollection> ListByType;
    winsys::com::ComPtr<halvenlib::_CCollection> NamerByType;
};

} // namespace sorlix
