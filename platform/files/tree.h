#pragma once
// Whole trees of files, worked on through open folder handles: copy,
// removal and flush of an add-on's files, for the backup store and FileOps.
//
// What a tree holds is data, never a way through:
//   - a symbolic link (to a file, a folder or nothing) is copied as a link
//     with its target text unchanged and removed as a link; nothing below
//     the place an operation starts at is ever reached through one;
//   - only regular files, folders and links are copied; a pipe, socket or
//     device is refused by name, so no copy waits on a pipe or reads a
//     device without end;
//   - a copy keeps permission bits and access and modification times of
//     files and folders (a folder's are set once its entries are in), the
//     extended attributes of the user name space (Wine keeps a file's DOS
//     attributes there) of files and folders, and the holes of a sparse
//     file (only its data is written);
//   - a copy can record what it found of each entry, and a removal given
//     that record removes only entries that are still as they were copied.
// Each entry is looked at once (one listing of each folder, one stat of
// each entry) and reached from its folder's handle, so a walk costs the
// tree's size whatever its depth, and paths longer than the host's limit
// work. A folder handle stays open for each level being walked.

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/core/wintypes.h"
#include "platform/files/hostfile.h"

namespace winsys {

// Why a tree operation stopped: the Win32 error number, the Windows path of
// the entry it stopped at, whether that entry is a folder, and for a
// refusal of the layer's own (not a failed system call) its plain reason.
struct TreeError {
    win::DWORD code = 0;
    std::string path;
    bool folder = false;
    std::string refusal;
};
using TreeResult = std::optional<TreeError>; // nothing: done

// One line for people: the refusal, or "'path': <the system's text>".
std::string describeTreeError(const TreeError& e);

// An entry of an open folder, as a walk starts from it.
struct TreeEntry {
    int folder = -1;          // open folder holding the entry
    std::string name;         // its host name there
    std::string windowsPath;  // its Windows path, for messages
};

// The host name in the open folder that equals `name` without regard to
// case: `name` itself when it exists as given, else the first such name in
// byte order; nothing when there is none.
std::optional<std::string> findInFolder(int folder, std::string_view name);

// Opens a folder given by Windows path, every link on the way followed,
// as the disk holds it now (no remembered folder is used). Used for places
// that the guards have checked.
std::optional<TreeError> openFolder(std::string_view windowsFolder, UniqueFd* out);

// An entry that a Windows path names: the folder holding it, opened with
// every link on the way followed (as openFolder), and its host name there,
// found without regard to case. When nothing is there, `exists` is false and
// `name` is the last component as written.
struct FoundEntry {
    UniqueFd folder;
    std::string name;
    bool exists = false;
};
std::optional<TreeError> openEntry(std::string_view windowsPath, FoundEntry* out);

// Opens a folder of the prefix for writing into it: each component below the
// drive's root is found without regard to case and opened from its parent's
// handle without following a link, and with `create` made when missing
// (0755). A link or a file on the way, or a drive whose root lies outside
// the prefix folder, is refused by name. WOW64 redirection applies as the
// calling thread has it.
std::optional<TreeError> openRealFolder(std::string_view windowsFolder, bool create, UniqueFd* out);

// Opens the folder `windowsFolder` that lies below the folder `top`: `top`
// is opened with every link on the way followed (the places above it are
// not the caller's), each component below it is found without regard to
// case and opened from its parent's handle without following a link, and
// with `create` made when missing (0755). A link or a non-folder below `top`
// is refused by name; so is a folder that does not lie below `top`.
std::optional<TreeError> openRealFolderBelow(std::string_view top, std::string_view windowsFolder, bool create,
                                             UniqueFd* out);

// What a copy found of each entry it copied, by the entry's path below the
// copy's start ("" for the start, then "\name\name" of host names): its
// identity, and for files and links also size and modification time.
using CopyRecord = std::unordered_map<std::string, FileStamp>;

enum class CopyMode {
    // Into a new place: nothing may be there yet. Names are checked as a
    // backup needs them: two names of one folder that differ only in case,
    // or a name no Windows path can hold, are refused by name.
    Fresh,
    // Over what is there, so that a copy cut short can be run again:
    // folders are merged (found without regard to case), identical files
    // and links are kept, others replaced whole. An existing link is never
    // written through, and a folder never replaces a file or link (refused).
    // Replacements are staged in `stagingFolder` when it is on the same file
    // system (so no temporary file is left in the place), else beside them.
    Merge,
};

// Whether `name` is one a Merge copy gives a replacement while it stages it.
bool isStagedName(std::string_view name);

struct CopyOptions {
    CopyMode mode = CopyMode::Fresh;
    int stagingFolder = -1; // Merge: an open folder for staged files, or -1
    CopyRecord* record = nullptr; // Fresh: filled with what each entry was when copied
};

// Copies `from` (file, folder or link) to the entry `to`.
TreeResult copyTree(const TreeEntry& from, const TreeEntry& to, const CopyOptions& options);

// Removes the entry and all below it; a link is removed, never its target.
// Without `evenReadOnly` a file without its owner's write bit stops the
// removal with ERROR_ACCESS_DENIED, as a read-only file does on Windows.
// Stops at the first entry that cannot be removed; what went stays gone.
// A missing entry is ERROR_FILE_NOT_FOUND.
TreeResult removeTree(const TreeEntry& entry, bool evenReadOnly);
// An entry that a removal by record left in place.
struct KeptEntry {
    std::string windowsPath;
    bool copied = false; // the record has it (changed since), else it is new
};
// The same, but an entry that is not in `asCopied` as it is now (another
// file, another size or modification time, one made since) stays, with
// what is below it and the folders above it, and is added to `kept`; that
// is no failure.
TreeResult removeTree(const TreeEntry& entry, bool evenReadOnly, const CopyRecord& asCopied,
                      std::vector<KeptEntry>* kept);

// Puts everything written to the file system holding `anyFile` on disk.
TreeResult flushFileSystem(int anyFile, std::string_view windowsPath);
// How many flushes succeeded in this process, for callers that must show
// that one came before a destructive step.
unsigned long flushCount();

// The host path an open descriptor names now.
std::optional<std::string> hostPathOf(int fd);

} // namespace winsys
