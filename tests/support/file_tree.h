#pragma once
// What a host folder holds, for comparing a folder before and after a step.

#include <filesystem>
#include <map>
#include <string>

namespace testsupport {

// Every entry below `top` by its path relative to `top`: folders as
// "<path>/" with no bytes, everything else with its bytes.
std::map<std::string, std::string> treeOf(const std::filesystem::path& top);

// Every entry of the prefix's drive C: outside the folder `skipped`, by host
// path: files with their bytes, links with their target, folders as
// "folder"; to show that a step changed nothing but that folder.
std::map<std::string, std::string> entriesOutside(const std::filesystem::path& driveC,
                                                  const std::filesystem::path& skipped);

// The bytes of a host file (empty when it cannot be read).
std::string readHost(const std::filesystem::path& file);

} // namespace testsupport
