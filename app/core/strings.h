#pragma once
// The program's own resources: its numbered string table and its version.

#include <string>

#include "platform/core/wintypes.h"

namespace sorlix {

// The program's major, minor and revision numbers.
inline constexpr win::LONG kAppMajor = 1;
inline constexpr win::LONG kAppMinor = 0;
inline constexpr win::LONG kAppRevision = 0;

// String `id` of the table. An id the table does not hold is a fault of the
// caller: it throws std::out_of_range naming the id.
std::string LoadResString(win::LONG id);

} // namespace sorlix
