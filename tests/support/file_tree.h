#pragma once
// What a host folder holds, for comparing a folder before and after a step.

#include <filesystem>
#include <map>
#include <string>

namespace testsupport {

// Every entry below `top` by its path relative to `top`: folders as
// "<path>/" with no bytes, everything else with its bytes.
std::map<std::string, std::string> treeOf(const std::filesystem::path& top);

} // namespace testsupport
