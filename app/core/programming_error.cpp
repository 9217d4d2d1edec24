#include "app/core/programming_error.h"

#include <cstdio>
#include <cstdlib>

namespace sorlix {

void programmingError(std::string_view why) {
    std::fprintf(stderr, "Programming error: %.*s\n", static_cast<int>(why.size()), why.data());
    std::fflush(stderr);
    std::abort();
}

} // namespace sorlix
