#pragma once
// A fault of the program itself (a value no user input can produce) stops
// the program at once, naming what went wrong, instead of running on with
// a wrong table entry.

#include <string_view>

namespace sorlix {

[[noreturn]] void programmingError(std::string_view why);

} // namespace sorlix
