#pragma once
// Text and byte encoders of the common library: Base64, URL percent-encoding
// and byte <-> 32-bit integer array conversion. Pure functions on standard
// types; CGlobal converts its VARIANT/SAFEARRAY arguments (arrays returned to
// callers start at index 1) and forwards here.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace halvenlib {

// Base64 of a text: each character becomes its byte in the ANSI code page
// (Windows-1252, unmappable characters become '?'). CR LF follows every 57
// input bytes, so an input whose length is a multiple of 57 ends with CR LF.
std::string Base64Encode(std::string_view text);

// Base64 of bytes, in lines of 76 characters separated by CR LF; never a
// trailing CR LF.
std::string Base64EncodeB(const std::vector<std::uint8_t>& bytes);

// Decodes Base64 after removing CR, LF and blanks. Never fails: characters
// outside the alphabet count as 0 and an incomplete last group gives the
// bytes its characters cover.
std::vector<std::uint8_t> Base64DecodeB(std::string_view text);

// Percent-encodes a URL segment by UTF-16 code unit (each code unit above 255
// as its own UTF-8 sequence, so a surrogate pair gives two 3-byte sequences).
std::string URLEncode(std::string_view segment);

// Bytes to little-endian 32-bit integers; trailing bytes short of a whole
// integer are dropped.
std::vector<std::int32_t> ByteArrayToLongArray(const std::vector<std::uint8_t>& bytes);

// 32-bit integers to their bytes, least significant first.
std::vector<std::uint8_t> LongArrayToByteArray(const std::vector<std::int32_t>& longs);

} // namespace halvenlib
