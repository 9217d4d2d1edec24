#pragma once
// Screen: the program's one mouse pointer as a number (0 the default, 11
// the hourglass), which long operations save, change and put back. The user
// interface installs a hook that shows each pointer set; without a hook the
// number is only kept.

#include <functional>

#include "platform/core/wintypes.h"

namespace sorlix::Screen {

inline constexpr win::LONG vbDefault = 0;
inline constexpr win::LONG vbHourglass = 11;

win::LONG MousePointer();
void SetMousePointer(win::LONG pointer);
// Called with every pointer set from now on; an empty hook removes it.
void SetMousePointerHook(std::function<void(win::LONG pointer)> hook);

} // namespace sorlix::Screen
