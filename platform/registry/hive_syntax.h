#pragma once
// The parts of Wine's hive syntax that the reader (hive_read.cpp) and the
// writer (hive.cpp) share: one table from data tag to type, read with it and
// written with its inverse. Internal to the hive module.

#include <cstddef>
#include <string_view>

#include "platform/core/wintypes.h"

namespace winsys::reg::syntax {

enum class Form { String, Dword, Hex };

struct DataTag {
    std::string_view tag;
    win::DWORD type;
    Form form;
};

// The data forms, tag to type. Any type not written by a row here (or whose
// data do not fit the row's form) is "hex(N):" with N in hex.
inline constexpr DataTag kDataTags[] = {
    {"\"", win::REG_SZ, Form::String},
    {"str(2):\"", win::REG_EXPAND_SZ, Form::String},
    {"str(7):\"", win::REG_MULTI_SZ, Form::String},
    {"dword:", win::REG_DWORD, Form::Dword},
    {"hex:", win::REG_BINARY, Form::Hex},
};
inline constexpr std::string_view kGenericHexTag = "hex(";

inline constexpr std::string_view kHeader = "WINE REGISTRY Version 2";
inline constexpr std::string_view kRelativeTo = ";; All keys relative to ";

inline bool isHex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
inline int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return c - 'A' + 10;
}

} // namespace winsys::reg::syntax
