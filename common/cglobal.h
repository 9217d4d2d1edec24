#pragma once
// CGlobal, the library's application object (one implicit instance per
// client; it keeps no state). Its members are thin: the work lies in
// mcommon.h, encoders.h and the layer's system calls.

#include "common/interfaces/global.h"

namespace halvenlib {

// The class factory's creation function.
win::HRESULT createCGlobal(win::REFIID riid, void** ppv);

} // namespace halvenlib
