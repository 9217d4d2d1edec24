#pragma once
// Class ids of the test library's stand-ins for the customisation object.
// Each is registered under its own id; a test points the ProgID
// "Quarncust.CCustom2" at the one it wants.

#include "platform/com/types.h"

namespace fakecustom {

// Puts a new log into its argument: one writing to the old log's file
// name followed by ".swapped".
inline constexpr win::CLSID CLSID_SwapLog{0xDCE738B3, 0x9E19, 0x4332, {0xBD, 0x32, 0xDD, 0x96, 0xCE, 0x91, 0x47, 0x50}};
// Puts Nothing into its argument.
inline constexpr win::CLSID CLSID_EmptyLog{0x34C70695, 0xD627, 0x43A5, {0xB7, 0xA2, 0x57, 0x1A, 0x58, 0x54, 0xBD, 0xFB}};
// Puts an object that is no log into its argument.
inline constexpr win::CLSID CLSID_NotALog{0x4E2537D0, 0x4FD7, 0x47F1, {0xA3, 0xDD, 0xA5, 0x11, 0x42, 0xF9, 0x1E, 0xF7}};

} // namespace fakecustom
