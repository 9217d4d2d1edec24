#pragma once
// MAPI: Windows-family tests, the file-name part of a path, indirect
// resource strings ("@file,-id") and capitalising text.

#include <string>
#include <string_view>

namespace sorlix::MAPI {

// The version word's top bit is clear on the NT family, whose major version
// is its low byte.
bool IsWindowsNT();
bool IsWindowsNT4();

// "" -> ""; one trailing "\" dropped; the text after the last "\".
std::string GetFileNameFromPath(const std::string& path);

// "@file,-id": string id of the file (a bare name found along the search
// path). Any other text, a text without ",", a file or string that cannot be
// loaded, or an empty string gives the text unchanged.
std::string LoadIndirectString(const std::string& text);

// Blanks (not tabs or line breaks) removed at both ends.
std::string Trim(std::string_view text);
// The first character upper-cased; "" stays "".
std::string CapitalizeFirst(const std::string& text);
// Every piece between blanks capitalised; runs of blanks kept.
std::string CapitalizeWords(const std::string& text);

} // namespace sorlix::MAPI
