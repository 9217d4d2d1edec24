#pragma once
// Whether a Windows path leads into the prefix folder. Drive Z: is the
// host's "/", and any drive's dosdevices link may point anywhere, so a
// Windows path can name host files that are no part of the machine. What
// the system deletes or writes on a user's behalf must stay inside.

#include <filesystem>
#include <optional>
#include <string_view>

namespace winsys {

// True when the host place behind `windowsPath` lies in the current
// machine's prefix folder (or is that folder). Every link on the way is
// followed (the drive's own link, links among the components and the last
// component itself), components are found without regard to case, and WOW64
// redirection applies as the calling thread has it; components that do not
// exist yet are taken as written. False for a path that maps nowhere (bad
// syntax, a missing drive, a network or device path).
bool mapsInsidePrefix(std::string_view windowsPath);

// The host place behind `windowsPath` as the guards compare places: drive
// mapping, "." and "..", case and every link resolved as the disk holds them
// now (nothing remembered is used), what does not exist yet taken as
// written. Nothing for a path that maps nowhere.
std::optional<std::filesystem::path> resolvedPlace(std::string_view windowsPath);

// The prefix folder itself, resolved.
std::optional<std::filesystem::path> resolvedPrefix();

// `place` is `folder` or lies below it; both resolved as above.
bool placeWithin(const std::filesystem::path& place, const std::filesystem::path& folder);

} // namespace winsys
