#pragma once
// Shell execution, as ShellExecute answers it under this layer.
//
// ShellExecute: "open" (or no verb) on a URL or on a host file that is not
// a Windows program runs xdg-open on it when xdg-open is on the host's PATH;
// when xdg-open ends with a failure (no program for it), the call fails as
// Windows' does, with SE_ERR_NOASSOC. An opener still running after a few
// seconds has started a program, which counts as success.
// "open" and "runas" on a Windows program of the prefix (.exe, .com, .bat,
// .cmd) cannot run here: the request is recorded (recordedShellRequests)
// and answered as Windows answers for a started program. Every request is
// recorded, whatever its answer.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/core/wintypes.h"

namespace win {

inline constexpr int SW_HIDE = 0;
inline constexpr int SW_SHOWNORMAL = 1;

// ShellExecute's answers at or below 32 are errors.
inline constexpr std::intptr_t SE_ERR_FNF = 2;
inline constexpr std::intptr_t SE_ERR_PNF = 3;
inline constexpr std::intptr_t SE_ERR_NOASSOC = 31;
// What a started program gives (any value above 32 means success).
inline constexpr std::intptr_t kShellStarted = 42;

// `verb` empty means "open". A missing file is SE_ERR_FNF (SE_ERR_PNF for
// a missing folder); a verb other than "open" and "runas", "runas" on a
// file that is not a program, and a URL or file with nothing to open it
// are SE_ERR_NOASSOC.
std::intptr_t ShellExecute(const std::string& verb, const std::string& file, const std::string& parameters,
                           const std::string& directory, int show);

} // namespace win

namespace winsys {

struct ShellRequest {
    std::string verb, file, parameters, directory;
    int show = 0;
    friend bool operator==(const ShellRequest&, const ShellRequest&) = default;
};

// The ShellExecute calls made so far in this process, oldest first.
std::vector<ShellRequest> recordedShellRequests();
void clearShellRequests();

} // namespace winsys
