#pragma once
// Is a wineserver serving a prefix? While one runs it holds the prefix's
// hives in memory and writes them over any change made beside it, so the
// registry refuses to change them.
//
// Wine names the server's folder after the prefix folder's device and inode
// ("server-<dev>-<inode>", both in hex), below /tmp/.wine-<uid> or below the
// folder of /tmp that the prefix's file "wineserver" names (as Debian's Wine
// 8 does); the running server works inside it and holds a lock on its file
// "lock".

#include <filesystem>
#include <optional>

namespace winsys::reg {

// The folder of the server that runs for `prefix`, or none.
std::optional<std::filesystem::path> runningWineserver(const std::filesystem::path& prefix);

// Where Wine puts the server folder of `prefix` below `base` (tests make a
// fake server there).
std::filesystem::path wineserverFolder(const std::filesystem::path& base, const std::filesystem::path& prefix);

} // namespace winsys::reg
