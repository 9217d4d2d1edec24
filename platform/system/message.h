#pragma once
// FormatMessage over the system's message table: the English texts Windows
// gives for the Win32 error numbers the layer speaks and for the common COM
// results, each ending in "\r\n" as Windows writes them. An HRESULT of
// facility 7 (HRESULT_FROM_WIN32) gives its Win32 number's text.
//
// Only the system table is here: FORMAT_MESSAGE_FROM_SYSTEM must be given,
// and FROM_STRING, FROM_HMODULE, an argument array or a line width are
// ERROR_INVALID_PARAMETER. A text with inserts ("%1") needs
// FORMAT_MESSAGE_IGNORE_INSERTS, which keeps them as written; without it
// such a text is ERROR_INVALID_PARAMETER (there are no arguments to fill).
// Language 0, a neutral or default one, or any English one gives the text;
// another language is ERROR_RESOURCE_LANG_NOT_FOUND. An unknown number is
// ERROR_MR_MID_NOT_FOUND.

#include <string>

#include "platform/core/wintypes.h"

namespace win {

inline constexpr DWORD FORMAT_MESSAGE_ALLOCATE_BUFFER = 0x0100;
inline constexpr DWORD FORMAT_MESSAGE_IGNORE_INSERTS = 0x0200;
inline constexpr DWORD FORMAT_MESSAGE_FROM_STRING = 0x0400;
inline constexpr DWORD FORMAT_MESSAGE_FROM_HMODULE = 0x0800;
inline constexpr DWORD FORMAT_MESSAGE_FROM_SYSTEM = 0x1000;
inline constexpr DWORD FORMAT_MESSAGE_ARGUMENT_ARRAY = 0x2000;
inline constexpr DWORD FORMAT_MESSAGE_MAX_WIDTH_MASK = 0x00FF;

// The text's length in UTF-16 units (the buffer is always big enough;
// ALLOCATE_BUFFER changes nothing); 0 on failure, with the last error set.
DWORD FormatMessage(DWORD flags, DWORD messageId, DWORD languageId, std::string* text);

} // namespace win
