#pragma once
// The folders the layer has resolved, remembered so that mapping a path
// costs a look-up instead of a walk from the drive's root.
//
// A Windows folder (drive and components, folded as names compare) maps to
// the host folder found for it and that entry's identity (device, inode and
// kind, from lstat). Each use checks what the disk holds now:
//   - the drive's dosdevices link still reads as it did, and so does every
//     link met on the way from it to the drive's folder (a drive_c that is
//     itself a link to another disk, re-pointed, leads elsewhere);
//   - the remembered host folder still is the same entry, so a folder that
//     was removed, renamed, or replaced by a link or another folder (by us or
//     by another process) is looked up again from its nearest known parent;
//   - a component spelt in another case than on disk was found by listing
//     its parent, as the only name there that folds to it, and the parent
//     is unchanged since (same entry, same time of last change): so neither
//     that spelling (which would win) nor another such name has appeared.
//     A listing is trusted so only when the folder had not changed for a
//     second before it, as file systems keep coarse times. Another process
//     that adds such a name and puts the folder's time back (tar -x,
//     rsync -t and cp -a do) is not seen here.
// A miss walks only the components not yet known. forgetResolvedPaths
// (paths.h) drops entries when the layer itself changes the tree.
//
// A read may so take a stale answer where no check sees the change. A call
// that removes, replaces or writes, or that decides whether such a call may
// go on, asks for Resolve::FromDisk and gets what a walk from the root
// would find now: the drive's way is looked up again link by link, and a
// remembered folder serves only as far as its components are spelt as on
// disk and its path is there (a walk takes such names as given, so it
// comes the same way); a component found by listing is looked up again.
// The prefix folder itself is resolved once per machine.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/files/hostfile.h"
#include "platform/files/paths.h"

namespace winsys {

// The host path of `names` (components below the drive's root, redirection
// applied) on the current machine's drive `drive` (upper case); nothing
// when the drive does not exist. Each component takes the case found on
// disk: the name as given when it is there, else the first name in byte
// order that equals it without regard to case. Components that are not on
// disk keep the case given. With `leaf`, the facts of the last component
// (of the entry itself, not followed) as the look at it found them, or
// nothing when it is not there: the caller need not look again.
std::optional<std::filesystem::path> resolveOnDisk(char drive, const std::vector<std::string>& names,
                                                   std::optional<HostStat>* leaf = nullptr,
                                                   Resolve how = Resolve::FromMemory);

} // namespace winsys
