#pragma once
// MInfoCollector: fills the catalogue (the program-wide DB). For one add-on
// type it runs that type's enumerator once, turns every add-on record into
// the details list shown for it, files both and sorts the type's listing.
// None of these raises to its caller: failures are logged.

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

} // namespace sorlix::MInfoCollector
