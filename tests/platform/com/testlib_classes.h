#pragma once
// The creation functions of the test library's classes.

#include "platform/com/types.h"

namespace comtest {

win::HRESULT createTestList(win::REFIID riid, void** ppv);
win::HRESULT createTestGlobal(win::REFIID riid, void** ppv);

} // namespace comtest
