#pragma once
// The standard variant enumerator behind for-each (a collection's NewEnum,
// dispatch id -4). It walks a snapshot of the items taken when it was
// made, in list order; object items are held by reference, not copied.

#include <vector>

#include "platform/com/com_ptr.h"
#include "platform/com/dispatch.h"

namespace winsys::com {

ComPtr<win::IEnumVARIANT> createVariantEnumerator(std::vector<VARIANT> items);

} // namespace winsys::com
