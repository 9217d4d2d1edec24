#pragma once
// Helpers shared by the store's source files (store_views.cpp, store_ops.cpp).
// Internal to the store.

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "platform/core/result.h"
#include "platform/registry/store.h"

namespace winsys::reg::detail {

inline Error notFound() { return Error{win::ERROR_FILE_NOT_FOUND, "the key or value does not exist"}; }
inline Error accessDenied() { return Error{win::ERROR_ACCESS_DENIED, "access denied"}; }
inline Error noMoreItems() { return Error{win::ERROR_NO_MORE_ITEMS, "no more items"}; }
inline Error keyDeleted() { return Error{win::ERROR_KEY_DELETED, "the key was deleted"}; }

using Parts = std::vector<std::string_view>;

inline constexpr std::string_view kWow64Node = "Wow6432Node";

// Splits a subkey path; a trailing backslash is allowed, a leading one not.
inline Result<Parts> splitPath(std::string_view path) {
    if (!path.empty() && path.front() == '\\')
        return Error{win::ERROR_BAD_PATHNAME, "a key path may not start with a backslash"};
    Parts parts;
    parts.reserve(static_cast<std::size_t>(std::count(path.begin(), path.end(), '\\')) + 1);
    std::size_t start = 0;
    for (std::size_t i = 0; i <= path.size(); ++i) {
        if (i < path.size() && path[i] != '\\') continue;
        if (i > start) parts.push_back(path.substr(start, i - start));
        start = i + 1;
    }
    return parts;
}

// "Software\Classes" followed by a path below HKCR.
inline Parts classesParts(const Parts& rest) {
    Parts p{"Software", "Classes"};
    p.insert(p.end(), rest.begin(), rest.end());
    return p;
}

// The node when its key still exists, else none.
inline Node live(const Node& n) { return n && !n.key->deleted() ? n : Node{}; }

} // namespace winsys::reg::detail
