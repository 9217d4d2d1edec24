#pragma once
// The library's shared helpers: system texts, environment expansion, GUID
// text, placeholder filling, buffer cuts, file presence, one-message pumping
// and special folders. CGlobal's members and the registry and file classes
// use them directly.
//
// IsVista and IsWow64 are read once, by LibraryStartup when the library is
// loaded; IsVistaNow and IsWow64Now ask the system again.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/com/variant.h"
#include "platform/core/result.h"
#include "platform/core/wintypes.h"
#include "platform/system/version.h"

namespace halvenlib {

// True on the NT family (the version value's top bit clear).
bool IsUnicodeOs();

// Computes the cached flags from the current machine (IsVista, then IsWow64).
void LibraryStartup();

// The flags LibraryStartup computed (false before it ran).
bool IsVista();
bool IsWow64();
// The same questions asked afresh.
bool IsVistaNow();
bool IsWow64Now();

// The system's text for an error code, line breaks folded to blanks and
// double blanks to one ("The system cannot find the file specified. ").
// An unknown code gives "".
std::string FormatSystemMessage(win::DWORD code);

// FormatSystemMessage for a non-zero code; for 0 a fixed text that depends
// on the cached IsVista.
std::string DescribeApiError(win::DWORD code);

// Replaces "%k" by values[k-1], from the highest k down to 1, so "%10" is
// filled before "%1" can take its first two characters.
std::string ReplacePlaceholders(std::string text, const std::vector<std::string>& values);

// Every occurrence of `from` (not empty) replaced, left to right, without
// rescanning what was put in.
std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to);

// The text before its first NUL, or all of it.
std::string TrimAtNull(std::string_view text);

// UTF-16LE characters up to the first zero one; "" when there is no zero
// character or it is the first.
std::string StringFromBuffer(std::span<const std::uint8_t> bytes);

// %NAME% references expanded against the process environment. On failure
// the error's code is the system's and its message DescribeApiError of it.
winsys::Result<std::string> ExpandEnvVars(std::string_view text);

// True when a file or folder is found at the Windows path (one trailing
// backslash ignored).
bool FileExists(std::string_view path);

// A new GUID as "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"; "" when none can
// be made.
std::string NewGuidString();

// Removes and dispatches at most one pending message of the thread.
void PumpMessages();

// The folder of a CSIDL (current place, not created); "" on failure.
std::string GetSpecialFolderPath(int csidl);

// True when `v` (by reference or not) is an array whose upper bound is below
// its lower one, or not an array with a dimension at all.
bool IsArrayEmptyV(const win::VARIANT& v);

// "Platform: Windows NT. Version: 6.1.7601. Service Pack 1": the version
// record as CGlobal.WindowsVersion reports it (build cut to 16 bits).
std::string WindowsVersionText(const win::OSVERSIONINFOEX& info);

// "Intel Pentium Family 6 Model 158 Stepping 10" and the like, from the
// processor type, level and revision; "(unknown)" for other types.
std::string ProcessorText(const win::SYSTEM_INFO& info);

} // namespace halvenlib
