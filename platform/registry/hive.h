#pragma once
// Wine's hive text format, the files system.reg, user.reg and userdef.reg.
// This module alone reads and writes it. How it differs from regedit's .reg
// export text:
//   - the header is "WINE REGISTRY Version 2", a ";; All keys relative to"
//     comment naming the hive's place and an "#arch=" line;
//   - key lines name paths relative to the hive root with their backslashes
//     escaped ("[Software\\Wine] 1700000000"), followed by the time in
//     seconds; "#time=", "#class=" and "#link" lines may follow;
//   - text is ASCII: characters above 127 are \x escapes, control characters
//     C escapes; key names also escape '[' and ']';
//   - REG_EXPAND_SZ and REG_MULTI_SZ data that are whole NUL-terminated
//     strings are written as str(2):"..." and str(7):"...", not as hex;
//     hex(N) takes the type in hex for any number;
//   - there are no deleting forms ("[-Key]", "=-"), and lines end in LF.
// A bad line is skipped with a warning "file:line: reason 'line'"; only a
// bad header fails the whole text.

#include <string>
#include <string_view>
#include <vector>

#include "platform/core/result.h"
#include "platform/registry/store.h"

namespace winsys::reg {

struct ParsedHive {
    HiveTree tree;
    std::vector<std::string> warnings;
};

// Parses a hive file's bytes. Fails (ERROR_REGISTRY_CORRUPT) only when the
// header is not Wine's.
Result<ParsedHive> parseHive(std::string_view text, std::string_view fileName);

// The whole file text: keys depth first, subkeys in their sorted order, a
// section for each key that has values, a class, a link mark or no subkeys.
std::string formatHive(const HiveTree& tree);

} // namespace winsys::reg
