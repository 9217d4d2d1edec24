#pragma once
// CUniqueNamer: display names unique within one namer ("Foo", "Foo (2)", ...).

#include "components/interfaces/quarncust.h"

namespace quarncust {

// The class factory's creation function.
win::HRESULT createCUniqueNamer(win::REFIID riid, void** ppv);

} // namespace quarncust
