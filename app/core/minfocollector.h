#pragma once
// MInfoCollector: fills the catalogue (the program-wide DB). For one add-on
// type it runs that type's enumerator once, turns every add-on record into
// the details list shown for it, files both and sorts the type's listing.
// None of these raises to its caller: failures are logged.

#include <functional>

#include "common/interfaces/records.h"
#include "platform/com/com_ptr.h"
#include "platform/core/wintypes.h"

namespace sorlix::MInfoCollector {

// Collects one type into the current catalogue.
void CollectAddonInfo(win::LONG AddonType);
// A new catalogue, then types 1 to 24, under the hourglass pointer.
void CollectAllAddonInfo();
// Drops the type's listing, then collects it again.
void RecollectAddonInfo(win::LONG AddonType);
// RecollectAddonInfo for each type of the set, in the set's order.
void RecollectAppInfo(win::LONG AddonSet);

// The details list of one add-on record of the type: (label, value) rows in
// display order. Throws ComError when the record lacks a key that a row
// reads unconditionally.
winsys::com::ComPtr<halvenlib::_CParams> BuildDetails(win::LONG AddonType, halvenlib::_CParams* AddonInfo);

// The entry of a type's enumerator: a new enumerator asked once, with the
// type's flag (64-bit view or program); null means no result.
using EnumeratorEntry = std::function<winsys::com::ComPtr<halvenlib::_CNodes>(bool flag)>;

// TESTING SEAM ONLY: puts `entry` into the type's row of the enumerator
// table and answers the entry it replaced, so that a test can put it back.
EnumeratorEntry ReplaceEnumeratorEntryForTesting(win::LONG AddonType, EnumeratorEntry entry);

} // namespace sorlix::MInfoCollector
