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
//
// Mapping is two steps: parseWindowsPath is lexical (no disk, no machine)
// and resolveHostPath looks at the disk. We keep no current folder, so a
// drive-relative path ("C:a") counts from the drive's root and a path
// without a drive is refused. There is no MAX_PATH limit: a path of any
// length maps, with or without the long-path prefix; only the host's own
// limits (255 bytes a name, 4096 a path) stop it, as ERROR_FILENAME_EXCED_RANGE.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/core/result.h"
#include "platform/files/hostfile.h"

namespace winsys {

// An absolute Windows path taken apart.
struct WindowsPath {
    char drive = 'C';               // upper case
    std::vector<std::string> parts; // below the root, "." and ".." folded away
    bool trailingSeparator = false; // written with a separator after the last part
    bool longPrefix = false;        // came with "\\?\" (trailing dots and blanks kept)
};

// Takes a path apart as Windows does: "\" and "/" separate, repeated
// separators collapse, "\\?\" and "\??\" are dropped, "." and ".." fold and
// ".." stops at the root, and (without the long prefix) trailing dots and
// blanks of the last component go. Fails with
//   ERROR_PATH_NOT_FOUND  empty, relative ("a\b", "\a") or a drive that is no letter
//   ERROR_BAD_NETPATH     UNC ("\\server\share", "\\?\UNC\...")
//   ERROR_NOT_SUPPORTED   device paths ("\\.\C:", "\\?\Volume{...}")
//   ERROR_INVALID_NAME    a component with < > : " | ? * or a control character
//                         (the last may hold ? and * when `wildcardsInLast`).
Result<WindowsPath> parseWindowsPath(std::string_view windowsPath, bool wildcardsInLast = false);

// True when `text` may stand in a file name: no separator and none of the
// characters Windows refuses (< > : " | ? * and control characters).
bool isAllowedInFileName(std::string_view text);

// "C:\a\b" ("C:\" for the root; a trailing "\" when the path had one).
std::string formatWindowsPath(const WindowsPath& path);

// Whether WOW64 sends this path to syswow64: it lies in C:\windows\system32
// (or is that folder) and not in the folders Windows exempts (catroot,
// catroot2, drivers\etc, logfiles, spool). Lexical; ignores the thread state.
bool redirectedUnderWow64(const WindowsPath& path);
// The same, and the process is under WOW64 and the calling thread has
// redirection on.
bool redirectionApplies(const WindowsPath& path);

// How a resolution may use what is remembered of folders resolved before.
enum class Resolve {
    FromMemory, // reads: the remembered folders, checked as said below
    FromDisk,   // what removes, replaces or writes, and the guards deciding
                // whether it may: what a walk from the root finds now
};

// The host path behind `path`. With `redirect`, C:\windows\system32 reads as
// C:\windows\syswow64. A missing drive is ERROR_PATH_NOT_FOUND.
//
// Folders once resolved are remembered per machine (folder_cache.h), so a
// call costs a look-up and a check (the drive's link read, the folder's
// lstat) rather than a walk from the drive's root. The check finds changes
// made behind the layer's back, by another process or by code writing the
// host tree directly: a remembered folder that is gone or is no longer the
// same entry (renamed, replaced by a link or by another folder) is resolved
// again from its nearest parent that still holds. Resolve::FromDisk takes
// nothing on trust (folder_cache.h says how).
// With `leaf`, the entry's own facts as the resolution found them (nothing
// when it is not there), so that the caller need not look at it again.
Result<std::filesystem::path> resolveHostPath(const WindowsPath& path, bool redirect,
                                              std::optional<HostStat>* leaf = nullptr,
                                              Resolve how = Resolve::FromMemory);

// Drops what is remembered of the host folder `hostPath` (as resolveHostPath
// or toHostPath gave it) and of everything below it. The layer's own calls
// that create, remove, rename or copy entries call it; code that changes the
// host tree of a machine itself (through std::filesystem, openat and the
// like) calls it after removing, renaming or replacing a folder or a link,
// so that the memory stays true at once rather than at its next check.
void forgetResolvedPaths(const std::filesystem::path& hostPath);

// Maps an absolute Windows path to the host path behind it. Components that
// do not exist yet keep the case given; the rest take the case found on disk.
Result<std::filesystem::path> toHostPath(std::string_view windowsPath, Resolve how = Resolve::FromMemory);

// The Windows path of a host file, through drive Z: ("Z:\home\me\lib.so"),
// or through the drive whose folder holds it most closely when there is one
// ("C:\users\me\x" for a file in drive_c), so that a path found on the host
// reads as the system's own paths do. Keeps the host's case.
std::string toWindowsPath(const std::filesystem::path& hostPath);

} // namespace winsys

namespace win {

// Per-thread WOW64 file-system redirection, as Windows offers it. `old`
// receives the previous state for the matching revert (nullptr means
// redirection was on, so Revert(nullptr) switches it on). On 32-bit Windows
// both fail with ERROR_INVALID_FUNCTION.
BOOL Wow64DisableWow64FsRedirection(void** old);
BOOL Wow64RevertWow64FsRedirection(void* old);
// True when redirection is on for the calling thread (a WOW64 process only).
bool isFsRedirectionActive();

} // namespace win
