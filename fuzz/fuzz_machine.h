#pragma once
// The machine the fuzz targets that read files run on: one temporary prefix
// for the whole run, where each input is written as a file of drive C:.

#include <string>
#include <string_view>

#include "tests/support/test_prefix.h"

namespace fuzz {

inline testsupport::TestPrefix& machine() {
    static testsupport::TestPrefix prefix;
    return prefix;
}

// Writes `data` at `windowsPath` and answers the path.
inline std::string inputFile(const std::string& windowsPath, const std::uint8_t* data, std::size_t size) {
    machine().writeFile(windowsPath, std::string_view(reinterpret_cast<const char*>(data), size));
    return windowsPath;
}

} // namespace fuzz
