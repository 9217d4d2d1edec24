#include "platform/files/inside_prefix.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "platform/core/machine.h"
#include "platform/files/paths.h"

namespace fs = std::filesystem;

namespace winsys {

namespace {

// `p` is `root` or lies below it; both absolute and free of links and dots.
bool within(const fs::path& p, const fs::path& root) {
    return std::mismatch(root.begin(), root.end(), p.begin(), p.end()).first == root.end();
}

} // namespace

bool mapsInsidePrefix(std::string_view windowsPath) {
    auto host = toHostPath(windowsPath);
    if (!host) return false;
    std::error_code ec;
    // The existing part is resolved through every link; what does not exist
    // yet cannot be a link and is taken lexically.
    const fs::path real = fs::weakly_canonical(*host, ec);
    if (ec) return false;
    const fs::path prefix = fs::weakly_canonical(machine().prefix(), ec);
    if (ec) return false;
    return within(real, prefix);
}

} // namespace winsys
