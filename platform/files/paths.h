#pragma once
// Windows paths to host paths. The system's code speaks Windows paths only
// ("C:\users\me\AppData\Local\x"); the layer maps them at the call:
//   - the drive letter through the prefix's dosdevices links,
//   - each component found without regard to case, as Windows does,
//   - the long-path prefix "\\?\" accepted,
//   - "." and ".." folded as Windows folds them, never above the drive's root,
//   - under WOW64, <windows>\system32 maps to <windows>\syswow64 while
//     file-system redirection is on for the calling thread.
// The program's own files are reached through drive Z: (the host's /).

#include <filesystem>
#include <string>
#include <string_view>

#include "platform/core/result.h"

namespace winsys {

// Maps an absolute Windows path to the host path behind it. Components that
// do not exist yet keep the case given; the rest take the case found on disk.
Result<std::filesystem::path> toHostPath(std::string_view windowsPath);

// The Windows path of a host file, through drive Z: ("Z:\home\me\lib.so").
std::string toWindowsPath(const std::filesystem::path& hostPath);

} // namespace winsys

namespace win {

// Per-thread WOW64 file-system redirection, as Windows offers it. `old`
// receives the previous state for the matching revert.
BOOL Wow64DisableWow64FsRedirection(void** old);
BOOL Wow64RevertWow64FsRedirection(void* old);
// True when redirection is on for the calling thread (a WOW64 process only).
bool isFsRedirectionActive();

} // namespace win
