#pragma once
// GUIDs and their text form: "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}",
// upper-case hexadecimal, as the system writes it everywhere.

#include <array>
#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace win {

struct GUID {
    std::uint32_t Data1 = 0;
    std::uint16_t Data2 = 0;
    std::uint16_t Data3 = 0;
    std::array<std::uint8_t, 8> Data4{};
    friend auto operator<=>(const GUID&, const GUID&) = default;
};
using CLSID = GUID;
using IID = GUID;
inline constexpr GUID GUID_NULL{};

} // namespace win

namespace winsys {

// The braced upper-case text of a GUID (38 characters).
std::string guidToString(const win::GUID& g);
// Parses the braced text, hexadecimal digits in either case; nothing on error.
std::optional<win::GUID> guidFromString(std::string_view text);
// A new random GUID (version 4), from the system's random source.
win::GUID newGuid();

} // namespace winsys
