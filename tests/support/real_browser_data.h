#pragma once
// The real browser data that some tests read: REAL_BROWSER_DATA, a folder
// beside the checkout (../shared/fixtures/real-browser-data, or the one the
// build's SORLIX_REAL_BROWSER_DATA names). Those tests skip when it is not
// there, saying which folder they looked for.

#include <filesystem>
#include <gtest/gtest.h>

namespace testsupport {

inline std::filesystem::path realBrowserData() { return std::filesystem::path(REAL_BROWSER_DATA).lexically_normal(); }

} // namespace testsupport

// Ends the running test as skipped when the real browser data is missing.
#define SKIP_WITHOUT_REAL_BROWSER_DATA()                                                                        \
    do {                                                                                                        \
        if (!std::filesystem::is_directory(testsupport::realBrowserData()))                                    \
            GTEST_SKIP() << "the real browser data is not there: no folder " << testsupport::realBrowserData() \
                         << " beside the checkout";                                                            \
    } while (false)
