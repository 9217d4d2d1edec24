#include "app/core/caxbackuper.h"

// The store keeps a backup usable at every moment a process can die:
// - Backup writes each item's index entries after its copy, and the
//   backup's "Name" last of all; its registry changes reach the disk in one
//   batch (each hive written once) when it succeeds, and not at all when it
//   fails or the process dies first. So a listed backup has its complete
//   index and all its copies; one without "Name" is never listed and
//   Restore refuses it. A failed backup also loses its copies of files.
// - A removal and the registry part of a restore are batches too, written
//   when they end, whether every step succeeded or not (as each step's own
//   writes would have been).
// - Restore deletes a backup only when every item it counts came back and
//   is on disk; it then deletes the index key first, so a restore cut short
//   while the store is emptied leaves at most unindexed copies, never a
//   listed backup whose copies are gone. Such copies, and those of a backup
//   killed before its index was written, are taken away under the writers'
//   lock by the next backup, restore or start-up.
// - Files are copied as they are: links as links, modes and times kept, and
//   nothing is read or written through a link. A restore merges into what
//   is there (identical entries kept, others replaced), so one cut short at
//   any point can be run again.
// - Backup ids and item ids are checked to be GUID texts before they become
//   paths or keys, so no path or key is ever the whole store of a type.

#include <algorithm>
#include <exception>
#include <filesystem>
#include <vector>
#include <fcntl.h>
#include <sys/stat.h>

#include "app/core/mapi.h"
#include "app/core/comcalls.h"
#include "app/core/globals.h"
#include "app/core/mmain.h"
#include "app/core/ownfolders.h"
#include "app/core/resume_next.h"
#include "common/interfaces/fileops.h"
#include "platform/com/com_error.h"
#include "platform/com/message_queue.h"
#include "platform/com/variant.h"
#include "platform/core/machine.h"
#include "platform/files/inside_prefix.h"
#include "platform/files/paths.h"
#include "platform/files/tree.h"
#include "platform/registry/registry.h"
#include "platform/system/environment.h"

namespace sorlix {

namespace {

using halvenlib::_CCollection;
using halvenlib::_Collection;
using quarncust::_CLittleConfig;
using winsys::com::call;
using winsys::com::check;
using winsys::com::ComPtr;
using win::LONG;
using win::VARIANT_BOOL;

constexpr LONG kCurrentUser = halvenlib::HKEY_CURRENT_USER;
constexpr const char* kLongPrefix = "\\\\?\\";

halvenlib::_CRegistry* registry() { return required(Registry); }

// The registry changes of one step of the engine, kept in memory and written
// together (once per changed hive) at commit. When no batch can be opened
// (a wineserver serves the prefix) each change is written, or refused, on
// its own. A batch left open is committed when `keep` says so (a removal's
// steps stay done), else dropped.
class RegistryBatch {
public:
    explicit RegistryBatch(bool keep) : open_(static_cast<bool>(winsys::beginRegistryBatch())), keep_(keep) {}
    RegistryBatch(const RegistryBatch&) = delete;
    RegistryBatch& operator=(const RegistryBatch&) = delete;
    ~RegistryBatch() {
        if (!open_) return;
        if (keep_) (void)winsys::commitRegistryBatch();
        else winsys::abandonRegistryBatch();
    }
    bool isOpen() const { return open_; }
    // Writes the changes; false with the system's text in `cause` when that fails.
    bool commit(std::string& cause) {
        if (!open_) return true;
        open_ = false;
        auto written = winsys::commitRegistryBatch();
        if (written) return true;
        cause = written.error().message;
        return false;
    }

private:
    bool open_;
    bool keep_;
};

bool isTrue(VARIANT_BOOL b) { return b != win::VARIANT_FALSE; }

bool endsWithBackslash(const std::string& s) { return !s.empty() && s.back() == '\\'; }
std::string withBackslash(const std::string& s) { return endsWithBackslash(s) ? s : s + "\\"; }

// "{" 8-4-4-4-12 upper-case hex digits "}", as the GUID generator writes them.
bool isGuidText(const std::string& s) {
    if (s.size() != 38 || s.front() != '{' || s.back() != '}') return false;
    for (std::size_t i = 1; i < 37; ++i) {
        const char c = s[i];
        if (i == 9 || i == 14 || i == 19 || i == 24) {
            if (c != '-') return false;
        } else if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) {
            return false;
        }
    }
    return true;
}

std::string keyName(LONG key) {
    std::string name;
    call([&] { return registry()->GetKeyName(key, &name); });
    return name;
}

bool queryString(const std::string& subKey, std::string valueName, std::string& value) {
    LONG key = kCurrentUser;
    std::string sub = subKey;
    VARIANT_BOOL ok = win::VARIANT_FALSE;
    call([&] { return registry()->QuerySTRING(&key, &sub, &valueName, &value, &ok); });
    return isTrue(ok);
}

bool queryDword(const std::string& subKey, std::string valueName, LONG& value) {
    LONG key = kCurrentUser;
    std::string sub = subKey;
    VARIANT_BOOL ok = win::VARIANT_FALSE;
    call([&] { return registry()->QueryDWORD(&key, &sub, &valueName, &value, &ok); });
    return isTrue(ok);
}

bool setString(const std::string& subKey, std::string valueName, std::string value) {
    LONG key = kCurrentUser;
    std::string sub = subKey;
    VARIANT_BOOL ok = win::VARIANT_FALSE;
    call([&] { return registry()->SetSTRING(&key, &sub, &valueName, &value, &ok); });
    return isTrue(ok);
}

bool setDword(const std::string& subKey, std::string valueName, LONG value) {
    LONG key = kCurrentUser;
    std::string sub = subKey;
    VARIANT_BOOL ok = win::VARIANT_FALSE;
    call([&] { return registry()->SetDWORD(&key, &sub, &valueName, &value, &ok); });
    return isTrue(ok);
}

std::vector<std::string> texts(_CCollection* c) {
    LONG n = 0;
    call([&] { return c->get_Count(&n); });
    std::vector<std::string> out;
    for (LONG i = 1; i <= n; ++i) {
        win::VARIANT index = winsys::com::makeLong(i), item;
        call([&] { return c->get_Item(&index, &item); });
        std::string s;
        check(winsys::com::toText(item, &s));
        out.push_back(std::move(s));
    }
    return out;
}

std::vector<std::string> subkeyNames(const std::string& subKey) {
    LONG key = kCurrentUser;
    std::string sub = subKey;
    ComPtr<_CCollection> names;
    call([&] { return registry()->EnumKey(&key, &sub, names.put()); });
    return texts(names.get());
}

constexpr const char* kOutsidePrefix = "It leads outside the Windows prefix.";
// A restore puts the backed-up version back over it, so the user is told.
constexpr const char* kChangedSinceBackup =
    "It changed after its backup was made, so it was kept as it is now; Restore would put back the backed-up "
    "version.";
constexpr const char* kNewSinceBackup = "It was made after the backup, so it was kept.";

namespace fs = std::filesystem;

// A file or folder that a removal record names, found on the disk: the
// open folder that holds it and its name there.
struct FileItem {
    winsys::FoundEntry entry;
    std::string windowsPath; // as the record gives it, references expanded
    std::string entryPath;   // the same without a trailing backslash
    bool isFolder = false;
};

enum class Located { Found, Absent, Invalid, Refused };

// Finds `path` and applies the guards, which compare resolved host places:
// the item (its folder resolved through every link, itself not followed:
// a link is the item) must lie in the prefix folder, and neither lie in the
// program's data folder (backups, logs, temporary files) nor hold it.
// `cause` gets the reason for Invalid, Refused and a folder that cannot be
// opened (Refused too).
Located locateItem(const std::string& path, const std::vector<std::string>& ownData, FileItem& item,
                   std::string& cause) {
    std::string expanded;
    if (win::ExpandEnvironmentStrings(path, &expanded) == 0) expanded = path;
    item.windowsPath = expanded;
    item.entryPath = endsWithBackslash(expanded) ? expanded.substr(0, expanded.size() - 1) : expanded;
    // Empty, relative, of no form Windows names a file by, or on a drive that
    // does not exist: no file or folder at all.
    auto parsed = winsys::parseWindowsPath(expanded);
    if (!parsed || !winsys::machine().driveRoot(parsed->drive)) return Located::Invalid;
    const auto prefix = winsys::resolvedPrefix();
    auto outside = [&] {
        cause = kOutsidePrefix;
        return Located::Refused;
    };
    if (!prefix) return outside();
    if (parsed->parts.empty()) {
        // A drive's root: never an item, and outside when its drive is.
        const auto place = winsys::resolvedPlace(expanded);
        return place && winsys::placeWithin(*place, *prefix) ? Located::Invalid : outside();
    }
    if (auto failed = winsys::openEntry(expanded, &item.entry)) {
        if (failed->code != win::ERROR_FILE_NOT_FOUND && failed->code != win::ERROR_PATH_NOT_FOUND) {
            cause = winsys::describeTreeError(*failed);
            return Located::Refused;
        }
        // Nothing there; still refused when the place would be outside.
        const auto place = winsys::resolvedPlace(expanded);
        return place && winsys::placeWithin(*place, *prefix) ? Located::Absent : outside();
    }
    const auto folderHost = winsys::hostPathOf(item.entry.folder.get());
    if (!folderHost) return outside();
    const fs::path place = fs::path(*folderHost) / item.entry.name;
    if (!winsys::placeWithin(place, *prefix)) return outside();
    for (const std::string& data : ownData) {
        const auto d = winsys::resolvedPlace(data);
        if (!d) continue;
        if (winsys::placeWithin(place, *d)) {
            cause = "It lies in the program's own data folder.";
            return Located::Refused;
        }
        if (winsys::placeWithin(*d, place)) {
            cause = "It holds the program's own data folder.";
            return Located::Refused;
        }
    }
    if (!item.entry.exists) return Located::Absent;
    struct stat st;
    if (::fstatat(item.entry.folder.get(), item.entry.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0)
        item.isFolder = S_ISDIR(st.st_mode);
    if (parsed->trailingSeparator && !item.isFolder) {
        cause = FormatString("Not a folder: '%1'", {expanded});
        return Located::Invalid;
    }
    return Located::Found;
}

// Removes `name` of the open store folder `folder` (the Windows path
// `path`) with all below it, read-only files too; the reason when it stays.
std::optional<std::string> removeStoreEntry(int folder, const std::string& path, const std::string& name) {
    const auto failed = winsys::removeTree({folder, name, path + "\\" + name}, true);
    if (!failed || failed->code == win::ERROR_FILE_NOT_FOUND) return std::nullopt;
    return winsys::describeTreeError(*failed);
}

// The same for a store folder given by its Windows path.
std::optional<std::string> removeStoreEntry(const std::string& folder, const std::string& name) {
    winsys::UniqueFd fd;
    if (auto failed = OpenOwnFolder(folder, false, &fd)) return winsys::describeTreeError(*failed);
    return removeStoreEntry(fd.get(), folder, name);
}

// The entries of an open store folder that are real folders named by a
// GUID text: the only entries the store makes there. Nothing, with the
// reason in `cause`, when the folder cannot be read.
std::optional<std::vector<std::string>> guidFolders(int folder, const std::string& path, std::string& cause) {
    std::vector<winsys::FolderEntry> entries;
    if (!winsys::listFolder(folder, &entries)) {
        cause = winsys::describeTreeError({winsys::errorFromErrno(errno), path, true, {}});
        return std::nullopt;
    }
    std::vector<std::string> out;
    for (const winsys::FolderEntry& e : entries) {
        if (!isGuidText(e.name)) continue;
        struct stat st;
        if (::fstatat(folder, e.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode))
            out.push_back(e.name);
    }
    return out;
}

// One log line for a run-time error, as every public operation's trap writes
// it; the text is the cause the operation reports.
std::string logFailure(const std::exception& e, const char* operation) {
    LogError(e, std::string("CAxBackuper.") + operation);
    return DescribeError(e).text;
}

// Item k's value name: "FileOrFolder%1Id" with k = 2 gives "FileOrFolder2Id".
std::string entry(const char* pattern, LONG k) { return FormatString(pattern, {std::to_string(k)}); }

} // namespace

std::string CAxBackuper::GetParentPath(const std::string& path) {
    std::string p = path;
    if (endsWithBackslash(p)) p.pop_back();
    const std::size_t slash = p.rfind('\\');
    return slash == std::string::npos ? std::string() : p.substr(0, slash);
}

void CAxBackuper::redirectionOff() {
    call([&] { return FileOps()->Wow64DisableWow64FileSystemRedirection(); });
    redirectionIsOff_ = true;
}

void CAxBackuper::redirectionOn() {
    call([&] { return FileOps()->Wow64RevertWow64FileSystemRedirection(); });
    redirectionIsOff_ = false;
}

std::vector<std::string> CAxBackuper::ownDataFolders() const {
    std::vector<std::string> out;
    if (!dataFolder_.empty()) out.push_back(dataFolder_);
    if (!DataFolder.empty()) out.push_back(DataFolder);
    return out;
}

bool CAxBackuper::checkFileItems(_CLittleConfig* LittleConfig, std::string& FalseCause) {
    LONG files = 0;
    call([&] { return LittleConfig->get_FileOrFoldersCount(&files); });
    for (LONG k = 1; k <= files; ++k) {
        std::string path;
        VARIANT_BOOL flag = win::VARIANT_FALSE;
        call([&] { return LittleConfig->get_FileOrFolder(k, &path); });
        call([&] { return LittleConfig->get_FileOrFolderx64bitSystem32(k, &flag); });
        if (isTrue(flag)) redirectionOff();
        FileItem item;
        std::string cause;
        const Located where = locateItem(path, ownDataFolders(), item, cause);
        if (isTrue(flag)) redirectionOn();
        if (where == Located::Invalid) {
            FalseCause = cause.empty() ? FormatString("Invalid FileOrFolder: '%1'", {path}) : cause;
            return false;
        }
        if (where == Located::Refused) {
            FalseCause = FormatString("Cannot back up '%1'. %2", {path, cause});
            return false;
        }
    }
    return true;
}

bool CAxBackuper::copyItemToStore(const std::string& path, const std::string& itemFolder, std::string& FalseCause) {
    FileItem item;
    std::string cause;
    switch (locateItem(path, ownDataFolders(), item, cause)) {
    case Located::Found: break;
    case Located::Absent:
        FalseCause = FormatString("Cannot back up '%1'. It does not exist.", {item.windowsPath});
        return false;
    case Located::Invalid:
        FalseCause = cause.empty() ? FormatString("Invalid FileOrFolder: '%1'", {path}) : cause;
        return false;
    case Located::Refused:
        FalseCause = FormatString("Cannot back up '%1'. %2", {path, cause});
        return false;
    }
    winsys::UniqueFd store;
    if (auto failed = OpenOwnFolder(itemFolder, true, &store)) {
        FalseCause = FormatString("Cannot create folder '%1'. %2", {itemFolder, winsys::describeTreeError(*failed)});
        return false;
    }
    const winsys::TreeEntry from{item.entry.folder.get(), item.entry.name, item.entryPath};
    const winsys::TreeEntry to{store.get(), item.entry.name, itemFolder + "\\" + item.entry.name};
    CopiedItem copied;
    if (auto failed = winsys::copyTree(from, to, {winsys::CopyMode::Fresh, -1, &copied.record})) {
        FalseCause = FormatString("Cannot back up '%1'. %2", {path, winsys::describeTreeError(*failed)});
        return false;
    }
    // What was copied is what a removal may take away.
    if (const auto folder = winsys::hostPathOf(item.entry.folder.get())) {
        copied.place = fs::path(*folder) / item.entry.name;
        copied_.push_back(std::move(copied));
    }
    return true;
}

bool CAxBackuper::restoreItem(const std::string& backupId, const std::string& itemId, const std::string& restoreTo,
                              std::string& FalseCause) {
    const std::string backupFolder = filesFolder_ + "\\" + backupId;
    const std::string source = backupFolder + "\\" + itemId;
    winsys::UniqueFd staging, to;
    if (auto failed = OpenOwnFolder(backupFolder, false, &staging)) {
        if (failed->refusal.empty())
            FalseCause = FormatString("The copy of item '%1' is missing from backup '%2'", {itemId, backupId});
        else
            FalseCause = FormatString("Cannot restore from '%1'. %2", {backupFolder, failed->refusal});
        return false;
    }
    std::vector<winsys::FolderEntry> entries;
    winsys::UniqueFd from(::openat(staging.get(), itemId.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!from || !winsys::listFolder(from.get(), &entries) || entries.empty()) {
        FalseCause = FormatString("The copy of item '%1' is missing from backup '%2'", {itemId, backupId});
        return false;
    }
    std::vector<std::string> names;
    for (winsys::FolderEntry& e : entries) names.push_back(std::move(e.name));
    for (const std::string& name : names) {
        const std::string target = restoreTo + name;
        FileItem place;
        std::string cause;
        // The place is checked by what it resolves to now; the folders are
        // then opened one by one, never through a link.
        if (locateItem(target, ownDataFolders(), place, cause) == Located::Refused) {
            FalseCause = FormatString("Cannot restore '%1'. %2", {target, cause});
            return false;
        }
    }
    if (auto failed = winsys::openRealFolder(restoreTo, true, &to)) {
        FalseCause = FormatString("Cannot restore into '%1'. %2", {restoreTo, winsys::describeTreeError(*failed)});
        return false;
    }
    for (const std::string& name : names) {
        const std::string target = restoreTo + name;
        // Found without regard to case, as Windows would find what is there.
        const std::string there = winsys::findInFolder(to.get(), name).value_or(name);
        const winsys::TreeEntry src{from.get(), name, source + "\\" + name};
        const winsys::TreeEntry dst{to.get(), there, target};
        if (auto failed = winsys::copyTree(src, dst, {winsys::CopyMode::Merge, staging.get()})) {
            FalseCause = FormatString("Cannot restore '%1'. %2", {target, winsys::describeTreeError(*failed)});
            return false;
        }
    }
    // What came back is on disk before the backup may go.
    if (auto failed = winsys::flushFileSystem(to.get(), restoreTo)) {
        FalseCause = FormatString("Cannot restore '%1'. %2", {restoreTo, winsys::describeTreeError(*failed)});
        return false;
    }
    return true;
}

bool CAxBackuper::removeFileOrFolder(const std::string& path, std::string& cause,
                                     std::vector<winsys::KeptEntry>& changed) {
    FileItem item;
    switch (locateItem(path, ownDataFolders(), item, cause)) {
    case Located::Absent: return true; // already gone
    case Located::Found: break;
    case Located::Invalid:
        if (cause.empty()) cause = "The path is not valid.";
        return false;
    case Located::Refused: return false;
    }
    // Read-only files go too: their backup keeps their state. What this
    // object backed up goes only as far as it is still what was copied.
    const winsys::TreeEntry entry{item.entry.folder.get(), item.entry.name, item.entryPath};
    const CopiedItem* copied = nullptr;
    if (const auto folder = winsys::hostPathOf(item.entry.folder.get())) {
        const fs::path place = fs::path(*folder) / item.entry.name;
        for (const CopiedItem& c : copied_)
            if (c.place == place) copied = &c;
    }
    const winsys::TreeResult failed =
        copied ? winsys::removeTree(entry, true, copied->record, &changed) : winsys::removeTree(entry, true);
    if (failed) {
        cause = winsys::describeTreeError(*failed);
        return false;
    }
    return true;
}

bool CAxBackuper::Init(const std::string& AppDataFolder, const std::string& AppRegistryHKCUHive,
                       const std::string& BackupObjectName, std::string& FalseCause) {
    try {
        initialised_ = false;
        backupWord_ = MAPI::Trim(BackupObjectName);
        if (backupWord_.empty()) {
            FalseCause = "BackupObjectName is empty";
            return false;
        }
        dataFolder_ = MAPI::Trim(AppDataFolder);
        filesFolder_ = withBackslash(dataFolder_) + "Backup\\" + BackupObjectName;
        // The store's folders are the program's own: never reached through a link.
        winsys::UniqueFd store;
        if (auto failed = OpenOwnFolder(filesFolder_, true, &store)) {
            FalseCause = FormatString("Cannot use the backup folder '%1'. %2",
                                      {filesFolder_, winsys::describeTreeError(*failed)});
            return false;
        }
        indexKey_ = withBackslash(MAPI::Trim(AppRegistryHKCUHive)) + "Backup\\" + BackupObjectName;
        initialised_ = true;
        return true;
    } catch (const std::exception& e) {
        FalseCause = logFailure(e, "Init");
        return false;
    }
}

bool CAxBackuper::Backup(const std::string& Name, const std::string& Description, _CLittleConfig* LittleConfig,
                         std::string& FalseCause) {
    FalseCause.clear();
    if (!initialised_) {
        FalseCause = "Not initialized";
        return false;
    }
    std::string backupId;
    copied_.clear();
    try {
        if (!checkFileItems(LittleConfig, FalseCause)) return false;
        std::string ignored; // a leftover that stays is only space
        RemoveLeftovers(ignored);
        backupId = NewGuid();
        if (!isGuidText(backupId)) {
            FalseCause = "Cannot make a backup id";
            return false;
        }
        {
            RegistryBatch batch(false);
            if (writeBackup(backupId, Name, Description, LittleConfig, FalseCause) && batch.commit(FalseCause))
                return true;
        }
        // A backup that failed half-way is not one: nothing of it may be listed.
        copied_.clear();
        dropBackup(backupId, false);
        return false;
    } catch (const std::exception& e) {
        logFailure(e, "Backup");
        copied_.clear();
        ResumeNext err;
        if (isGuidText(backupId)) err.step([&] { dropBackup(backupId, false); });
        FalseCause.clear();
        return false;
    }
}

bool CAxBackuper::writeBackup(const std::string& backupId, const std::string& Name, const std::string& Description,
                              _CLittleConfig* LittleConfig, std::string& FalseCause) {
    const std::string backupKey = indexKey_ + "\\" + backupId;
    bool written = true;
    auto writeText = [&](const std::string& name, const std::string& value) {
        if (written && !setString(backupKey, name, value)) {
            written = false;
            FalseCause = FormatString("Cannot write '%1' of backup '%2'", {name, backupId});
        }
        return written;
    };
    auto writeNumber = [&](const std::string& name, LONG value) {
        if (written && !setDword(backupKey, name, value)) {
            written = false;
            FalseCause = FormatString("Cannot write '%1' of backup '%2'", {name, backupId});
        }
        return written;
    };
    auto newItemId = [&](std::string& id) {
        id = NewGuid();
        if (!isGuidText(id)) FalseCause = "Cannot make an item id";
        return isGuidText(id);
    };

    if (!writeText("Description", Description)) return false;

    LONG files = 0;
    call([&] { return LittleConfig->get_FileOrFoldersCount(&files); });
    if (!writeNumber("FileOrFolders", files)) return false;
    for (LONG k = 1; k <= files; ++k) {
        std::string itemId, path;
        if (!newItemId(itemId)) return false;
        VARIANT_BOOL flag = win::VARIANT_FALSE;
        call([&] { return LittleConfig->get_FileOrFolder(k, &path); });
        call([&] { return LittleConfig->get_FileOrFolderx64bitSystem32(k, &flag); });
        const std::string parent = GetParentPath(path);
        if (parent.empty()) {
            FalseCause = FormatString("Invalid FileOrFolder: '%1'", {path});
            return false;
        }
        const std::string target = filesFolder_ + "\\" + backupId + "\\" + itemId;
        if (isTrue(flag)) redirectionOff();
        const bool copied = copyItemToStore(path, target, FalseCause);
        if (isTrue(flag)) redirectionOn();
        if (!copied) return false;
        if (!writeText(entry("FileOrFolder%1Id", k), itemId) ||
            !writeText(entry("FileOrFolder%1RestoreTo", k), parent) ||
            !writeNumber(entry("FileOrFolder%1x64bitSystem32", k), isTrue(flag) ? -1 : 0))
            return false;
    }

    // The copies are on disk before anything of the originals may go.
    if (files > 0) {
        winsys::UniqueFd store;
        const std::string folder = filesFolder_ + "\\" + backupId;
        auto failed = OpenOwnFolder(folder, false, &store);
        if (!failed) failed = winsys::flushFileSystem(store.get(), folder);
        if (failed) {
            FalseCause = FormatString("Cannot write the backup's copies. %1", {winsys::describeTreeError(*failed)});
            return false;
        }
    }

    LONG subkeys = 0;
    call([&] { return LittleConfig->get_RegistrySubkeysCount(&subkeys); });
    if (!writeNumber("RegSubkeys", subkeys)) return false;
    for (LONG k = 1; k <= subkeys; ++k) {
        std::string itemId, subkey;
        if (!newItemId(itemId)) return false;
        LONG root = 0;
        call([&] { return LittleConfig->get_RegistrySubkeyKey(k, &root); });
        call([&] { return LittleConfig->get_RegistrySubkeySubkey(k, &subkey); });
        const std::string parent = GetParentPath(subkey);
        if (parent.empty()) {
            FalseCause = FormatString("Invalid Subkey: '%1\\%2'", {keyName(root), subkey});
            return false;
        }
        std::string cause;
        VARIANT_BOOL copied = win::VARIANT_FALSE;
        call([&] {
            return registry()->CopySubKey(root, subkey, kCurrentUser, backupKey + "\\" + itemId, &cause, &copied);
        });
        if (!isTrue(copied)) {
            FalseCause = cause;
            return false;
        }
        if (!writeText(entry("RegSubkey%1Id", k), itemId) || !writeNumber(entry("RegSubkey%1Key", k), root) ||
            !writeText(entry("RegSubkey%1Subkey", k), parent))
            return false;
    }

    LONG values = 0;
    call([&] { return LittleConfig->get_RegistryValuesCount(&values); });
    if (!writeNumber("RegValues", values)) return false;
    for (LONG k = 1; k <= values; ++k) {
        std::string itemId, subkey, valueName;
        if (!newItemId(itemId)) return false;
        LONG root = 0;
        call([&] { return LittleConfig->get_RegistryValueKey(k, &root); });
        call([&] { return LittleConfig->get_RegistryValueSubkey(k, &subkey); });
        call([&] { return LittleConfig->get_RegistryValueValueName(k, &valueName); });
        std::string cause;
        VARIANT_BOOL copied = win::VARIANT_FALSE;
        call([&] {
            return registry()->CopySingleValue(root, subkey, valueName, kCurrentUser, backupKey + "\\" + itemId,
                                               &cause, &copied);
        });
        if (!isTrue(copied)) {
            FalseCause = cause;
            return false;
        }
        if (!writeText(entry("RegValue%1Id", k), itemId) || !writeNumber(entry("RegValue%1Key", k), root) ||
            !writeText(entry("RegValue%1Subkey", k), subkey))
            return false;
    }

    // Last: "Name" is what makes the backup listed, so it comes only once
    // everything else is in the store.
    return writeText("Name", MAPI::Trim(Name));
}

// The index key goes first, in one write, so that a process killed on the
// way leaves nothing listed; copies no index names are then leftovers that
// RemoveLeftovers takes away. Copies stay as long as their key does.
void CAxBackuper::dropBackup(const std::string& backupId, bool pumpBeforeRetry) {
    ResumeNext err;
    const std::string backupKey = indexKey_ + "\\" + backupId;
    if (redirectionIsOff_) err.step([&] { redirectionOn(); });
    auto deleteKey = [&] {
        err.step([&] {
            std::string cause;
            VARIANT_BOOL ok = win::VARIANT_FALSE;
            call([&] { return registry()->DeleteKeyEx(kCurrentUser, backupKey, &cause, &ok); });
        });
    };
    auto keyGone = [&] {
        VARIANT_BOOL exists = win::VARIANT_TRUE;
        err.step([&] { call([&] { return registry()->IsKeyExist(kCurrentUser, backupKey, &exists); }); });
        return !isTrue(exists);
    };
    deleteKey();
    if (!keyGone() && pumpBeforeRetry) {
        winsys::pumpOneMessage();
        deleteKey();
    }
    if (keyGone()) err.step([&] { removeStoreEntry(filesFolder_, backupId); });
}

bool CAxBackuper::RemoveLeftovers(std::string& FalseCause) {
    FalseCause.clear();
    if (!initialised_) {
        FalseCause = "Not initialized";
        return false;
    }
    try {
        RegistryBatch batch(false); // only for the writers' lock: nothing is written
        // Without the lock another process may be mid-backup: nothing is a leftover then.
        if (!batch.isOpen()) return true;
        winsys::UniqueFd store;
        if (auto failed = OpenOwnFolder(filesFolder_, false, &store)) {
            FalseCause = FormatString("Cannot use the backup folder '%1'. %2",
                                      {filesFolder_, winsys::describeTreeError(*failed)});
            return false;
        }
        const auto backups = guidFolders(store.get(), filesFolder_, FalseCause);
        if (!backups) return false;
        const std::vector<std::string> ids = subkeyNames(indexKey_);
        std::vector<std::string> stayed;
        auto remove = [&](int folder, const std::string& path, const std::string& name) {
            if (auto why = removeStoreEntry(folder, path, name)) stayed.push_back(*why);
        };
        // Only what the store makes is ever taken: folders named by a GUID
        // text that no index names, and the files a restore stages inside a
        // listed backup's folder. Anything else there stays.
        for (const std::string& id : *backups) {
            if (std::find(ids.begin(), ids.end(), id) == ids.end()) {
                remove(store.get(), filesFolder_, id);
                continue;
            }
            const std::string path = filesFolder_ + "\\" + id;
            winsys::UniqueFd backup(::openat(store.get(), id.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            std::vector<winsys::FolderEntry> inside;
            if (!backup || !winsys::listFolder(backup.get(), &inside)) {
                stayed.push_back(winsys::describeTreeError({winsys::errorFromErrno(errno), path, true, {}}));
                continue;
            }
            for (const winsys::FolderEntry& e : inside) {
                struct stat st;
                if (winsys::isStagedName(e.name) && ::fstatat(backup.get(), e.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
                    (S_ISREG(st.st_mode) || S_ISLNK(st.st_mode)))
                    remove(backup.get(), path, e.name);
            }
        }
        if (stayed.empty()) return true;
        FalseCause = FormatString("Cannot remove what is left of a backup. %1", {stayed.front()});
        return false;
    } catch (const std::exception& e) {
        FalseCause = logFailure(e, "RemoveLeftovers");
        return false;
    }
}

bool CAxBackuper::RemoveAllLeftovers(const std::string& AppDataFolder, const std::string& AppRegistryHKCUHive,
                                     std::string& FalseCause) {
    FalseCause.clear();
    try {
        const std::string store = withBackslash(MAPI::Trim(AppDataFolder)) + "Backup";
        winsys::UniqueFd fd;
        if (auto failed = OpenOwnFolder(store, false, &fd)) {
            if (failed->refusal.empty() && failed->code == win::ERROR_PATH_NOT_FOUND) return true; // no store yet
            FalseCause = FormatString("Cannot use the backup folder '%1'. %2", {store, winsys::describeTreeError(*failed)});
            return false;
        }
        std::vector<winsys::FolderEntry> words;
        if (!winsys::listFolder(fd.get(), &words)) {
            FalseCause = winsys::describeTreeError({winsys::errorFromErrno(errno), store, true, {}});
            return false;
        }
        std::vector<std::string> failures;
        for (const winsys::FolderEntry& word : words) {
            // A type's folder; a link in its place is refused by Init, naming it.
            struct stat st;
            if (::fstatat(fd.get(), word.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 ||
                !(S_ISDIR(st.st_mode) || S_ISLNK(st.st_mode)))
                continue;
            CAxBackuper backuper;
            std::string cause;
            if (!backuper.Init(AppDataFolder, AppRegistryHKCUHive, word.name, cause) ||
                !backuper.RemoveLeftovers(cause))
                failures.push_back(cause);
        }
        if (failures.empty()) return true;
        for (const std::string& f : failures) FalseCause += (FalseCause.empty() ? "" : " ") + f;
        return false;
    } catch (const std::exception& e) {
        FalseCause = logFailure(e, "RemoveAllLeftovers");
        return false;
    }
}

bool CAxBackuper::ListBackups(LONG& ResultCount, std::vector<BackupRow>& ResultArray, std::string& FalseCause) {
    ResultCount = 0;
    FalseCause.clear();
    if (!initialised_) {
        FalseCause = "Not initialized";
        return false;
    }
    try {
        const std::vector<std::string> ids = subkeyNames(indexKey_);
        if (ids.empty()) return true;
        ResultArray.assign(ids.size(), BackupRow{});
        for (const std::string& id : ids) {
            const std::string key = indexKey_ + "\\" + id;
            std::string name, description;
            if (!queryString(key, "Name", name)) continue;
            queryString(key, "Description", description);
            ResultArray[static_cast<std::size_t>(ResultCount)] = {id, name, description};
            ++ResultCount;
        }
        return true;
    } catch (const std::exception& e) {
        logFailure(e, "ListBackups");
        FalseCause.clear();
        return false;
    }
}

bool CAxBackuper::Restore(const std::string& BackupID, std::string& FalseCause) {
    FalseCause.clear();
    if (!initialised_) {
        FalseCause = "Not initialized";
        return false;
    }
    try {
        if (!isGuidText(BackupID)) {
            FalseCause = FormatString("Invalid backup id: '%1'", {BackupID});
            return false;
        }
        std::string ignored; // a leftover that stays is only space
        RemoveLeftovers(ignored);
        const std::string backupKey = indexKey_ + "\\" + BackupID;
        VARIANT_BOOL exists = win::VARIANT_FALSE;
        call([&] { return registry()->IsKeyExist(kCurrentUser, backupKey, &exists); });
        if (!isTrue(exists)) {
            FalseCause = FormatString("Backup '%1' not found", {BackupID});
            return false;
        }
        std::string name;
        if (!queryString(backupKey, "Name", name)) {
            FalseCause = FormatString("Backup '%1' is not complete", {BackupID});
            return false;
        }
        bool restored = false;
        {
            RegistryBatch batch(true);
            restored = restoreItems(backupKey, BackupID, FalseCause);
            if (!batch.commit(FalseCause)) restored = false;
        }
        if (redirectionIsOff_) redirectionOn();
        if (!restored) return false;
        winsys::pumpOneMessage();
        dropBackup(BackupID, true);
        return true;
    } catch (const std::exception& e) {
        logFailure(e, "Restore");
        ResumeNext err;
        if (redirectionIsOff_) err.step([&] { redirectionOn(); });
        return false;
    }
}

bool CAxBackuper::restoreItems(const std::string& backupKey, const std::string& BackupID, std::string& FalseCause) {
    // Every entry the counts promise must be there: a backup with a hole is
    // kept for another try rather than deleted as restored.
    auto unreadable = [&](const std::string& valueName) {
        FalseCause = FormatString("Cannot read '%1' of backup '%2'", {valueName, BackupID});
        return false;
    };
    auto readText = [&](const std::string& valueName, std::string& value) {
        return queryString(backupKey, valueName, value) || unreadable(valueName);
    };
    auto readNumber = [&](const std::string& valueName, LONG& value) {
        return queryDword(backupKey, valueName, value) || unreadable(valueName);
    };
    auto readItemId = [&](const std::string& valueName, std::string& id) {
        if (!readText(valueName, id)) return false;
        if (isGuidText(id)) return true;
        FalseCause = FormatString("Invalid item id '%1' in backup '%2'", {id, BackupID});
        return false;
    };
    auto missingCopy = [&](const std::string& itemId) {
        FalseCause = FormatString("The copy of item '%1' is missing from backup '%2'", {itemId, BackupID});
        return false;
    };

    LONG files = 0;
    if (!readNumber("FileOrFolders", files)) return false;
    for (LONG k = 1; k <= files; ++k) {
        std::string itemId, restoreTo;
        LONG flag = 0;
        if (!readItemId(entry("FileOrFolder%1Id", k), itemId) ||
            !readText(entry("FileOrFolder%1RestoreTo", k), restoreTo) ||
            !readNumber(entry("FileOrFolder%1x64bitSystem32", k), flag))
            return false;
        restoreTo = withBackslash(restoreTo);
        // The restore folder too must be made in the 64-bit view.
        if (flag != 0) redirectionOff();
        if (!restoreItem(BackupID, itemId, restoreTo, FalseCause)) return false; // the caller switches redirection back on
        if (flag != 0) redirectionOn();
    }

    LONG subkeys = 0;
    if (!readNumber("RegSubkeys", subkeys)) return false;
    for (LONG k = 1; k <= subkeys; ++k) {
        std::string itemId, parent;
        LONG root = 0;
        if (!readItemId(entry("RegSubkey%1Id", k), itemId) || !readNumber(entry("RegSubkey%1Key", k), root) ||
            !readText(entry("RegSubkey%1Subkey", k), parent))
            return false;
        const std::string itemKey = backupKey + "\\" + itemId;
        const std::vector<std::string> names = subkeyNames(itemKey);
        if (names.empty()) return missingCopy(itemId);
        for (const std::string& n : names) {
            std::string cause;
            VARIANT_BOOL copied = win::VARIANT_FALSE;
            call([&] {
                return registry()->CopySubKey(kCurrentUser, itemKey + "\\" + n, root, parent, &cause, &copied);
            });
            if (!isTrue(copied)) {
                FalseCause = cause;
                return false;
            }
        }
    }

    LONG values = 0;
    if (!readNumber("RegValues", values)) return false;
    for (LONG k = 1; k <= values; ++k) {
        std::string itemId, subkey;
        LONG root = 0;
        if (!readItemId(entry("RegValue%1Id", k), itemId) || !readNumber(entry("RegValue%1Key", k), root) ||
            !readText(entry("RegValue%1Subkey", k), subkey))
            return false;
        const std::string itemKey = backupKey + "\\" + itemId;
        ComPtr<_CCollection> listed;
        std::string cause;
        VARIANT_BOOL ok = win::VARIANT_FALSE;
        call([&] { return registry()->EnumValuesEx(kCurrentUser, itemKey, listed.put(), &cause, &ok); });
        if (!isTrue(ok)) {
            FalseCause = cause;
            return false;
        }
        const std::vector<std::string> names = texts(listed.get());
        if (names.empty()) return missingCopy(itemId);
        for (const std::string& n : names) {
            VARIANT_BOOL copied = win::VARIANT_FALSE;
            call([&] { return registry()->CopySingleValue(kCurrentUser, itemKey, n, root, subkey, &cause, &copied); });
            if (!isTrue(copied)) {
                FalseCause = cause;
                return false;
            }
        }
    }
    return true;
}

bool CAxBackuper::RemoveByLittleConfig(_CLittleConfig* LittleConfig) {
    constexpr const char* kSource = "CAxBackuper.RemoveByLittleConfig";
    bool allRemoved = true;
    removalFailures_.clear();
    auto failed = [&](const std::string& text, bool madeSinceBackup = false) {
        LogLine(0, text, halvenlib::sevInternalError, kSource);
        removalFailures_.push_back({text, madeSinceBackup});
        allRemoved = false;
    };
    try {
        RegistryBatch batch(true);
        LONG files = 0;
        call([&] { return LittleConfig->get_FileOrFoldersCount(&files); });
        for (LONG k = 1; k <= files; ++k) {
            std::string path, cause;
            std::vector<winsys::KeptEntry> changed;
            VARIANT_BOOL flag = win::VARIANT_FALSE;
            call([&] { return LittleConfig->get_FileOrFolder(k, &path); });
            call([&] { return LittleConfig->get_FileOrFolderx64bitSystem32(k, &flag); });
            if (isTrue(flag)) redirectionOff();
            const bool removed = removeFileOrFolder(path, cause, changed);
            if (isTrue(flag)) redirectionOn();
            for (const winsys::KeptEntry& c : changed)
                failed(FormatString("Cannot delete '%1'. %2",
                                    {c.windowsPath, c.copied ? kChangedSinceBackup : kNewSinceBackup}),
                       !c.copied);
            if (!removed) failed(FormatString("Cannot delete '%1'. %2", {path, cause}));
        }

        LONG subkeys = 0;
        call([&] { return LittleConfig->get_RegistrySubkeysCount(&subkeys); });
        for (LONG k = 1; k <= subkeys; ++k) {
            LONG root = 0;
            std::string subkey, cause;
            VARIANT_BOOL deleted = win::VARIANT_FALSE;
            call([&] { return LittleConfig->get_RegistrySubkeyKey(k, &root); });
            call([&] { return LittleConfig->get_RegistrySubkeySubkey(k, &subkey); });
            call([&] { return registry()->DeleteKeyEx(root, subkey, &cause, &deleted); });
            if (!isTrue(deleted)) failed(FormatString("Cannot delete '%1\\%2'. %3", {keyName(root), subkey, cause}));
        }

        LONG values = 0;
        call([&] { return LittleConfig->get_RegistryValuesCount(&values); });
        for (LONG k = 1; k <= values; ++k) {
            LONG root = 0;
            std::string subkey, valueName;
            VARIANT_BOOL deleted = win::VARIANT_FALSE;
            call([&] { return LittleConfig->get_RegistryValueKey(k, &root); });
            call([&] { return LittleConfig->get_RegistryValueSubkey(k, &subkey); });
            call([&] { return LittleConfig->get_RegistryValueValueName(k, &valueName); });
            LONG key = root;
            std::string sub = subkey, name = valueName;
            call([&] { return registry()->DeleteValue(&key, &sub, &name, &deleted); });
            if (!isTrue(deleted)) failed(FormatString("Cannot delete '%1\\%2' %3", {keyName(root), subkey, valueName}));
        }
        if (std::string cause; !batch.commit(cause)) failed(FormatString("Cannot write the registry. %1", {cause}));
        return allRemoved;
    } catch (const std::exception& e) {
        logFailure(e, "RemoveByLittleConfig");
        ResumeNext err;
        if (redirectionIsOff_) err.step([&] { redirectionOn(); });
        return false;
    }
}

} // namespace sorlix
