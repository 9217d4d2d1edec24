#pragma once
// Bounds-checked little-endian reads over untrusted bytes, shared by the
// image and version-resource readers. Callers test `fits` before reading.

#include <cstddef>
#include <cstdint>
#include <span>

namespace winsys::pebytes {

// Whether [offset, offset + count) lies inside `b`, without overflow.
inline bool fits(std::span<const std::uint8_t> b, std::size_t offset, std::size_t count) {
    return offset <= b.size() && count <= b.size() - offset;
}

inline std::uint16_t u16(std::span<const std::uint8_t> b, std::size_t offset) {
    return static_cast<std::uint16_t>(b[offset] | (b[offset + 1] << 8));
}

inline std::uint32_t u32(std::span<const std::uint8_t> b, std::size_t offset) {
    return static_cast<std::uint32_t>(b[offset]) | (static_cast<std::uint32_t>(b[offset + 1]) << 8) |
           (static_cast<std::uint32_t>(b[offset + 2]) << 16) |
           (static_cast<std::uint32_t>(b[offset + 3]) << 24);
}

inline std::size_t align4(std::size_t n) { return (n + 3) & ~std::size_t{3}; }

} // namespace winsys::pebytes
