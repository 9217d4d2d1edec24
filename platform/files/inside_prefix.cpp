#include "platform/files/inside_prefix.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "platform/core/machine.h"
#include "platform/files/paths.h"

namespace fs = std::filesystem;

namespace winsys {

bool placeWithin(const fs::path& place, const fs::path& folder) {
    return std::mismatch(folder.begin(), folder.end(), place.begin(), place.end()).first == folder.end();
}

std::optional<fs::path> resolvedPlace(std::string_view windowsPath) {
    // A guard compares the place as it is now, never as remembered.
    auto host = toHostPath(windowsPath, Resolve::FromDisk);
    if (!host) return std::nullopt;
    std::error_code ec;
    // The existing part is resolved through every link; what does not exist
    // yet cannot be a link and is taken lexically.
    fs::path real = fs::weakly_canonical(*host, ec);
    if (ec) return std::nullopt;
    return real;
}

std::optional<fs::path> resolvedPrefix() {
    std::error_code ec;
    fs::path prefix = fs::weakly_canonical(machine().prefix(), ec);
    if (ec) return std::nullopt;
    return prefix;
}

bool mapsInsidePrefix(std::string_view windowsPath) {
    const auto place = resolvedPlace(windowsPath);
    const auto prefix = resolvedPrefix();
    return place && prefix && placeWithin(*place, *prefix);
}

} // namespace winsys
