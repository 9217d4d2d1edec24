#pragma once
// The version resource (VS_VERSIONINFO) read from its bytes: a tree of nodes
// (length, value length, type, UTF-16 key, value, children, each 32-bit
// aligned from the start of the block). The root holds VS_FIXEDFILEINFO;
// "StringFileInfo" holds one table per translation ("040904B0") of named
// texts; "VarFileInfo\Translation" lists the translations.
//
// The bytes are untrusted. A node that claims more than its parent holds is
// cut to its parent's end, and a value to its node's end, so a result always
// lies inside the block; a node shorter than its own header ends the list.

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/core/result.h"
#include "platform/core/wintypes.h"

namespace win {

inline constexpr DWORD VS_FFI_SIGNATURE = 0xFEEF04BD;

struct VS_FIXEDFILEINFO {
    DWORD dwSignature = 0;
    DWORD dwStrucVersion = 0;
    DWORD dwFileVersionMS = 0;
    DWORD dwFileVersionLS = 0;
    DWORD dwProductVersionMS = 0;
    DWORD dwProductVersionLS = 0;
    DWORD dwFileFlagsMask = 0;
    DWORD dwFileFlags = 0;
    DWORD dwFileOS = 0;
    DWORD dwFileType = 0;
    DWORD dwFileSubtype = 0;
    DWORD dwFileDateMS = 0;
    DWORD dwFileDateLS = 0;
};
static_assert(sizeof(VS_FIXEDFILEINFO) == 52);

// Finds a value in a version block (what GetFileVersionInfo gave):
//   "\"                             VS_FIXEDFILEINFO; `len` in bytes
//   "\VarFileInfo\Translation"      language/code-page word pairs; `len` in bytes
//   "\StringFileInfo\<key>\<name>"  UTF-16LE text; `len` in characters, the
//                                   NUL included when the file counts it
// Components compare without regard to case; empty ones are skipped.
// `buffer` points into `block` and `len` never reaches past its end; "\"
// succeeds only when a whole, signed VS_FIXEDFILEINFO is there. On failure
// FALSE with ERROR_RESOURCE_TYPE_NOT_FOUND as last error, outputs untouched.
BOOL VerQueryValue(std::span<const BYTE> block, std::string_view subBlock, const void** buffer, UINT* len);

} // namespace win

namespace winsys {

struct Translation {
    win::WORD language = 0;
    win::WORD codePage = 0;
};

// "040904B0": language and code page as eight upper-case hexadecimal digits.
std::string translationKey(Translation t);

// What VerQueryValue gives for one value: where it starts and its length.
struct VersionValue {
    const void* buffer = nullptr;
    win::UINT len = 0;
};
// The values "\StringFileInfo\<table>\<name>" of each of `names` (plain
// names: not empty, no backslash), each exactly as VerQueryValue finds it
// (none where it fails), in one walk of that table with each of its keys
// decoded once.
std::vector<std::optional<VersionValue>> queryVersionStrings(std::span<const std::uint8_t> block,
                                                             std::string_view table,
                                                             std::span<const char* const> names);

struct StringTable {
    std::string key; // as the file spells it
    std::vector<std::pair<std::string, std::string>> strings; // name -> text, in file order
};

struct VersionInfo {
    std::optional<win::VS_FIXEDFILEINFO> fixed; // present, whole and signed
    std::vector<Translation> translations;
    std::vector<StringTable> tables;

    // The text of `name` in the table `key`, both compared without regard to case.
    const std::string* find(std::string_view key, std::string_view name) const;
};

// The whole block decoded. Texts are cut at their first NUL. Fails with
// ERROR_RESOURCE_TYPE_NOT_FOUND when the block's root node is unreadable.
Result<VersionInfo> parseVersionInfo(std::span<const std::uint8_t> block);

} // namespace winsys
