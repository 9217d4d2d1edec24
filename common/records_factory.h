#pragma once
// New records and collections for use inside the library, without going
// through the class factory. Each holds its first reference.

#include "common/interfaces/records.h"
#include "platform/com/com_ptr.h"

namespace halvenlib {

winsys::com::ComPtr<_CCollection> newCollection();
winsys::com::ComPtr<_CParams> newParams();
winsys::com::ComPtr<_CParam> newParam();
winsys::com::ComPtr<_CNodes> newNodes();
winsys::com::ComPtr<_CNode> newNode();

} // namespace halvenlib
