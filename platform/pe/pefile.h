#pragma once
// The PE readers on files named by Windows paths (read through
// platform/files, so WOW64 redirection applies), and the Windows-shaped calls
// the system makes on them. Only regular files are read. The queries map the
// file and touch only the headers, the resource directory and the one
// resource they want; readImageFile reads a file whole, up to kMaxImageFile.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/core/result.h"
#include "platform/core/wintypes.h"
#include "platform/pe/pe.h"
#include "platform/pe/version.h"

namespace winsys {

inline constexpr std::size_t kMaxImageFile = std::size_t{256} << 20;

// The file's bytes, as winsys::readFile gives them (ERROR_FILE_NOT_FOUND,
// ERROR_PATH_NOT_FOUND, ERROR_ACCESS_DENIED for a folder, ...), and
// ERROR_NOT_ENOUGH_MEMORY past kMaxImageFile.
Result<std::vector<std::uint8_t>> readImageFile(std::string_view windowsPath);

// The file header facts.
Result<PeHeaders> readPeHeaders(std::string_view windowsPath);

// The bytes of the version resource (RT_VERSION, id 1), copied out of the
// file; an empty one is ERROR_RESOURCE_DATA_NOT_FOUND.
Result<std::vector<std::uint8_t>> readVersionResource(std::string_view windowsPath);

Result<VersionInfo> readVersionInfo(std::string_view windowsPath);

// String `id` of the file's string tables (see PeImage::loadString).
Result<std::string> loadStringFromFile(std::string_view windowsPath, win::UINT id);

} // namespace winsys

namespace win {

// Size in bytes of the file's version resource; 0 with the last error set
// (ERROR_FILE_NOT_FOUND, ERROR_BAD_EXE_FORMAT, ERROR_RESOURCE_DATA_NOT_FOUND,
// ERROR_RESOURCE_TYPE_NOT_FOUND, ...) when there is none. `handle` gets 0.
// The block read is kept for a GetFileVersionInfo of the same name that
// follows on the same thread, which takes it instead of reading again.
DWORD GetFileVersionInfoSize(std::string_view fileName, DWORD* handle);

// The version resource into `data`: its first `len` bytes when `len` is less
// than its size. FALSE with the last error set as above, or with
// ERROR_INSUFFICIENT_BUFFER for a `len` of 0.
BOOL GetFileVersionInfo(std::string_view fileName, DWORD handle, DWORD len, std::vector<BYTE>* data);

// String `id` of a module file into `buffer`, at most bufferMax - 1 UTF-16
// units (a surrogate pair is never split). Returns the units copied; 0 with
// the last error set when the file or the string cannot be had (an empty
// string counts as missing), ERROR_INVALID_PARAMETER for a bufferMax below 1.
int LoadString(std::string_view moduleFile, UINT id, std::string* buffer, int bufferMax);

} // namespace win
