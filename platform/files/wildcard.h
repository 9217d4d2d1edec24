#pragma once
// Windows file-name masks, as a directory search reads them: '*' stands for
// any run of characters, '?' for one character, letters compare without
// regard to case. As in Windows, "*.*" matches every name (with or without
// a dot), '?' also matches nothing at a dot or at the end ("a?.txt" matches
// "a.txt"), ".*" and ".?" at the end match a name without extension
// ("readme.*" matches "readme"), and a '*' before a dot stops at the name's
// last dot ("*.txt" does not match "a.txt.bak"). There are no short 8.3
// names here, so "*.htm" does not match "x.html".

#include <string_view>

namespace winsys {

bool matchesWildcard(std::string_view mask, std::string_view name);

} // namespace winsys
