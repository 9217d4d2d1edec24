#pragma once
// Registry values as regtool's command line speaks them, in the manner of
// reg.exe: type names, the data text of "add /d", the data column of "query".

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/core/result.h"
#include "platform/core/wintypes.h"

namespace regtool {

// "REG_SZ" ...; a type without a name shows as its number, "0x20".
std::string typeName(win::DWORD type);
// The types "add /t" accepts, without regard to case.
std::optional<win::DWORD> typeFromName(std::string_view name);

// Data as "query" shows it: text, "a\0b" for multi strings, 0x.. numbers,
// upper-case hex digits for bytes.
std::string displayData(win::DWORD type, const std::vector<win::BYTE>& data);

// The bytes that "add /t TYPE /d TEXT" stores; multi strings are split at
// `separator`. The error names the text and the type.
winsys::Result<std::vector<win::BYTE>> dataFromText(win::DWORD type, std::string_view text,
                                                     std::string_view separator);

} // namespace regtool
