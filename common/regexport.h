#pragma once
// Registry keys rendered as version-5 export text: a block per key (CR LF,
// "[ROOT\path]", CR LF) and a line per value ("name"=data, CR LF). Writing
// the file and its first line is the caller's business.
//
// Values of any size render whole. Text values without data or without
// their terminating NUL lose no character; a 32-bit value whose data is not
// exactly 4 bytes renders as hex(4): so that it reads back unchanged.

#include <optional>
#include <string>
#include <vector>

#include "platform/core/wintypes.h"

namespace halvenlib::regexport {

// "[HKEY_LOCAL_MACHINE" and the like; nothing for a value outside the roots
// (a 64-bit pseudo-root gives its plain root).
std::optional<std::string> headerName(win::LONG key);

// The data part of a value line ("dword:00000001", "hex:01,02" ...).
std::string dataPart(win::DWORD type, const std::vector<win::BYTE>& data);
// One value line with its CR LF; "@" names the default value.
std::string valueLine(const std::string& name, win::DWORD type, const std::vector<win::BYTE>& data);

// The failure of a listing inside an open key, for the caller to raise.
struct ListingError {
    win::LSTATUS code;
};

// The block of `subKey` and of every key below it, depth first; a key that
// cannot be opened gives nothing, and so does a subkey that is a link back
// to a key above it (going through it again would never end). `key` must
// have a header name.
// Fails when a listing of an opened key fails.
std::optional<ListingError> exportTree(win::LONG key, std::string subKey, std::string* text);
// The header of `subKey` and the line of the value named `valueName`
// (without regard to case); empty when the key or the value is missing.
std::optional<ListingError> exportSingleValue(win::LONG key, std::string subKey, const std::string& valueName,
                                              std::string* text);

} // namespace halvenlib::regexport
