#pragma once
// The calling thread's last Win32 error, as Windows keeps it. The layer's
// Windows-shaped calls that return BOOL, HANDLE or a count set it when they
// fail and leave it alone when they succeed.

#include "platform/core/wintypes.h"

namespace win {

DWORD GetLastError();
void SetLastError(DWORD code);

} // namespace win
