#pragma once
// The file calls of the layer, shaped after Windows' own: Windows paths in
// (UTF-8), BOOL or a count out, and on failure a Win32 error number in the
// thread's last error (win::GetLastError). Paths map as paths.h says.
//
// How host files look from here (Wine's view):
//   - READONLY is a file without its owner's write bit. Such a file cannot
//     be deleted, written or copied over (ERROR_ACCESS_DENIED), whoever the
//     process runs as: the calls check the attribute themselves.
//   - DIRECTORY for folders, ARCHIVE for files, HIDDEN for names that start
//     with a dot, REPARSE_POINT for symbolic links. A link shows its
//     target's kind, size and times and is never read-only itself.
//   - Creation time is the birth time where the host file system keeps one,
//     else the earlier of the change and modify times.
//   - New folders get 0755, new files 0644: never writable by others.
// Files are replaced whole: writes and copies go to a temporary file in the
// same folder that is renamed over the old one, so no stale tail and no half
// file is ever seen.

#include <cstdint>
#include <limits>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/core/result.h"
#include "platform/core/wintypes.h"

namespace win {

struct WIN32_FILE_ATTRIBUTE_DATA {
    DWORD dwFileAttributes = 0;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh = 0;
    DWORD nFileSizeLow = 0;
};

// INVALID_FILE_ATTRIBUTES when the path does not exist (2, 3) or is bad.
DWORD GetFileAttributes(const std::string& path);
BOOL GetFileAttributesEx(const std::string& path, WIN32_FILE_ATTRIBUTE_DATA* data);
// Only READONLY has an effect (it takes or gives the write bits); the other
// attributes are accepted and, as under Wine, not kept.
BOOL SetFileAttributes(const std::string& path, DWORD attributes);

// 183 when it exists, 3 when its parent is missing. No access list is
// applied: the folder gets the owner's usual rights.
BOOL CreateDirectory(const std::string& path);
// 145 when not empty, 267 for a file; a link to a folder is removed itself.
BOOL RemoveDirectory(const std::string& path);
// 5 for a folder or a read-only file; a link is removed, not its target.
BOOL DeleteFile(const std::string& path);
// Copies the contents, the last-write time and the read-only state.
// 80 when the target exists and `failIfExists`; 5 when the target is a
// read-only file or a folder or the source is a folder; 32 when both name
// the same file.
BOOL CopyFile(const std::string& existingFile, const std::string& newFile, BOOL failIfExists);
// Renames a file or folder; 183 when the target exists (a change of case
// only is allowed). Between host file systems a file is copied and removed.
BOOL MoveFile(const std::string& existingFile, const std::string& newFile);

// Makes "<folder>\<up to 3 prefix characters><hex number>.tmp". With
// `unique` 0 it picks a number whose name is free (in any case), creates the
// file empty and returns the number; all numbers taken is ERROR_FILE_EXISTS.
// Otherwise the name uses the low 16 bits of `unique`, nothing is created
// and `unique` is returned. A missing folder is ERROR_DIRECTORY. 0 on failure.
UINT GetTempFileName(const std::string& folder, const std::string& prefix, UINT unique, std::string* tempFile);

// The path folded as parseWindowsPath folds it ("C:\a\..\b" -> "C:\b"),
// without the long-path prefix and without looking at the disk. Returns its
// length in UTF-16 units, 0 on failure.
DWORD GetFullPathName(const std::string& path, std::string* fullPath);

} // namespace win

namespace winsys {

// The whole file, or its first `maxBytes` bytes. Only a regular file is
// read: a folder, a pipe or a device is ERROR_ACCESS_DENIED, and opening one
// never waits for a writer.
Result<std::vector<std::uint8_t>> readFile(std::string_view windowsPath,
                                           std::size_t maxBytes = std::numeric_limits<std::size_t>::max());

// A regular file mapped for reading: the host loads only the pages that are
// looked at, so a reader that needs a few parts of a large file costs those
// parts. Refuses what readFile refuses.
class MappedFile {
public:
    MappedFile() = default;
    MappedFile(MappedFile&& o) noexcept;
    MappedFile& operator=(MappedFile&& o) noexcept;
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;
    ~MappedFile();

    std::span<const std::uint8_t> bytes() const { return {data_, size_}; }

private:
    friend Result<MappedFile> mapFile(std::string_view windowsPath);
    const std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
};
Result<MappedFile> mapFile(std::string_view windowsPath);
// Creates or replaces the file with exactly these bytes (through a link: its
// target). Keeps a replaced file's mode and owner; read-only files refuse.
Result<void> writeFile(std::string_view windowsPath, const void* data, std::size_t size);
inline Result<void> writeFile(std::string_view windowsPath, std::string_view bytes) {
    return writeFile(windowsPath, bytes.data(), bytes.size());
}
inline Result<void> writeFile(std::string_view windowsPath, const std::vector<std::uint8_t>& bytes) {
    return writeFile(windowsPath, bytes.data(), bytes.size());
}
// Adds the bytes at the end of the file, creating it when missing (logs).
// One write call, so lines of concurrent writers do not interleave.
Result<void> appendFile(std::string_view windowsPath, std::string_view bytes);

} // namespace winsys
