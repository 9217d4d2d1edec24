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
// Writes a host file, making its folders; the name is taken as it is.
void writeHost(const std::filesystem::path& file, const std::string& bytes);

// Everything a copy must keep of each entry below `top` (and of `top`):
// kind, permission bits, modification time to the nanosecond, and the
// bytes of a file or the target text of a link. No link is followed.
// Folder times are left out with `withFolderTimes` false.
std::map<std::string, std::string> exactTreeOf(const std::filesystem::path& top, bool withFolderTimes = true);

// Makes a host file immutable for its lifetime, so that nobody, root
// included, can remove it; false when the host cannot (not root, or a file
// system without the flag).
class ImmutableFile {
public:
    explicit ImmutableFile(std::filesystem::path file);
    ~ImmutableFile();
    ImmutableFile(const ImmutableFile&) = delete;
    ImmutableFile& operator=(const ImmutableFile&) = delete;
    explicit operator bool() const { return set_; }

private:
    std::filesystem::path file_;
    bool set_ = false;
};

} // namespace testsupport
