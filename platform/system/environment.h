#pragma once
// The process environment, as Wine builds it for a new process: defaults
// for what Wine's setup writes, then the variables of
//   HKLM\System\CurrentControlSet\Control\Session Manager\Environment
//   HKCU\Environment           (its PATH is appended to the system's)
//   HKCU\Volatile Environment
// each key's REG_SZ values first, then its REG_EXPAND_SZ values expanded
// against what is there so far; last what WOW64 gives a 32-bit process
// (ProgramFiles is the x86 folder, PROCESSOR_ARCHITECTURE is x86).
// Nothing comes from the host's environment. The block is built on first
// use for each machine and then lives in memory only; names compare
// without regard to case and keep the case last set.

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/core/wintypes.h"

namespace win {

// The value's length in UTF-16 units; 0 with ERROR_ENVVAR_NOT_FOUND when
// the variable is not set (0 with ERROR_SUCCESS for an empty value).
DWORD GetEnvironmentVariable(const std::string& name, std::string* value);
// Sets the variable, or removes it when `value` is null. An empty name or
// one holding "=" past its first character is ERROR_INVALID_PARAMETER.
BOOL SetEnvironmentVariable(const std::string& name, const std::string* value);
// Replaces %NAME% references as winsys::expandReferences does, against the
// process environment. Returns the result's length in UTF-16 units plus one
// (its NUL), as Windows counts it; there is no buffer limit.
DWORD ExpandEnvironmentStrings(const std::string& source, std::string* expanded);

} // namespace win

namespace winsys {

// Replaces %NAME% references whose name `lookup` knows (without regard to
// case); an unknown reference and a lone % stay as written. After an
// unknown name its closing % may open the next reference, as Windows reads
// it: "%X%Y%" with only Y known gives "%X" followed by Y's value.
using EnvLookup = std::function<std::optional<std::string>(std::string_view name)>;
std::string expandReferences(std::string_view text, const EnvLookup& lookup);

} // namespace winsys
