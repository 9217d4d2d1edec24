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
// - Restore deletes a backup only when every item it counts came back; it
//   then takes "Name" away first, so a restore cut short while the store is
//   emptied leaves at most an unlisted leftover, never a listed backup
//   whose copies are gone.
// - Backup ids and item ids are checked to be GUID texts before they become
//   paths or keys, so no path or key is ever the whole store of a type.

#include <exception>
#include <vector>

#include "app/core/mapi.h"
#include "app/core/comcalls.h"
#include "app/core/globals.h"
#include "app/core/mmain.h"
#include "app/core/resume_next.h"
#include "common/interfaces/fileops.h"
#include "platform/com/com_error.h"
#include "platform/com/message_queue.h"
#include "platform/com/variant.h"
#include "platform/files/files.h"
#include "platform/files/find.h"
#include "platform/files/inside_prefix.h"
#include "platform/files/paths.h"
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

std::vector<std::string> directoryContents(const std::string& folder) {
    ComPtr<_Collection> c;
    call([&] { return FileOps()->DirectoryContents(folder, c.put()); });
    LONG n = 0;
    call([&] { return c->Count(&n); });
    std::vector<std::string> out;
    for (LONG i = 1; i <= n; ++i) {
        win::VARIANT index = winsys::com::makeLong(i), item;
        call([&] { return c->Item(&index, &item); });
        std::string s;
        check(winsys::com::toText(item, &s));
        out.push_back(std::move(s));
    }
    return out;
}

// Gives read-only files below `path` (and `path` itself) their write right
// back: a read-only file can be neither deleted nor replaced, and a removal
// or the emptying of the store would stop at it. Copies keep the state, so
// a restore brings the read-only file back as it was.
void clearReadOnly(const std::string& path) {
    const std::string full = path.compare(0, 4, kLongPrefix) == 0 ? path : kLongPrefix + path;
    const std::string bare = endsWithBackslash(full) ? full.substr(0, full.size() - 1) : full;
    const win::DWORD attributes = win::GetFileAttributes(bare);
    if (attributes == win::INVALID_FILE_ATTRIBUTES) return;
    if (attributes & win::FILE_ATTRIBUTE_READONLY)
        win::SetFileAttributes(bare, attributes & ~win::FILE_ATTRIBUTE_READONLY);
    if (!(attributes & win::FILE_ATTRIBUTE_DIRECTORY) || (attributes & win::FILE_ATTRIBUTE_REPARSE_POINT)) return;
    win::WIN32_FIND_DATA data;
    win::UniqueFindHandle h(win::FindFirstFile(bare + "\\*.*", &data));
    if (!h) return;
    std::vector<std::string> names;
    do {
        if (data.cFileName != "." && data.cFileName != "..") names.push_back(data.cFileName);
    } while (win::FindNextFile(h.get(), &data));
    h.reset();
    for (const std::string& n : names) clearReadOnly(bare + "\\" + n);
}

// Removal records come from registry values that an installer controls:
// nothing they name that leads outside the prefix folder (Z:, a drive or a
// link that points elsewhere) is ever deleted or written. The path is
// expanded as FileOps expands it before the operation.
bool leadsOutsidePrefix(const std::string& path) {
    std::string expanded;
    if (win::ExpandEnvironmentStrings(path, &expanded) == 0) expanded = path;
    return !winsys::mapsInsidePrefix(expanded);
}
constexpr const char* kOutsidePrefix = "It leads outside the Windows prefix.";

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

bool CAxBackuper::filesInsidePrefix(_CLittleConfig* LittleConfig, std::string& FalseCause) {
    LONG files = 0;
    call([&] { return LittleConfig->get_FileOrFoldersCount(&files); });
    for (LONG k = 1; k <= files; ++k) {
        std::string path;
        VARIANT_BOOL flag = win::VARIANT_FALSE;
        call([&] { return LittleConfig->get_FileOrFolder(k, &path); });
        call([&] { return LittleConfig->get_FileOrFolderx64bitSystem32(k, &flag); });
        // Empty, relative or on a drive that does not exist: no file or folder at all.
        std::string expanded;
        if (win::ExpandEnvironmentStrings(path, &expanded) == 0) expanded = path;
        const auto parsed = winsys::parseWindowsPath(expanded);
        if ((!parsed && parsed.error().code == win::ERROR_PATH_NOT_FOUND) ||
            (parsed && !winsys::toHostPath(std::string(1, parsed->drive) + ":\\"))) {
            FalseCause = FormatString("Invalid FileOrFolder: '%1'", {path});
            return false;
        }
        if (isTrue(flag)) redirectionOff();
        const bool outside = leadsOutsidePrefix(path);
        if (isTrue(flag)) redirectionOn();
        if (outside) {
            FalseCause = FormatString("Cannot back up '%1'. %2", {path, kOutsidePrefix});
            return false;
        }
    }
    return true;
}

bool CAxBackuper::removeFileOrFolder(const std::string& path, std::string& cause) {
    if (leadsOutsidePrefix(path)) {
        cause = kOutsidePrefix;
        return false;
    }
    VARIANT_BOOL exists = win::VARIANT_FALSE, removed = win::VARIANT_TRUE;
    call([&] { return FileOps()->isFileExist(path, &exists); });
    if (!isTrue(exists)) return true;
    VARIANT_BOOL folder = win::VARIANT_FALSE;
    call([&] { return FileOps()->IsFolder(path, &folder); });
    clearReadOnly(path);
    if (isTrue(folder))
        call([&] { return FileOps()->RemoveFolder2(path, win::VARIANT_TRUE, &cause, &removed); });
    else
        call([&] { return FileOps()->RemoveFile(path, &cause, &removed); });
    return isTrue(removed);
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
        filesFolder_ = withBackslash(MAPI::Trim(AppDataFolder)) + "Backup\\" + BackupObjectName;
        call([&] { return FileOps()->EnsureFolderExist(filesFolder_); });
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
    try {
        if (!filesInsidePrefix(LittleConfig, FalseCause)) return false;
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
        dropBackup(backupId, false);
        return false;
    } catch (const std::exception& e) {
        logFailure(e, "Backup");
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
        const std::string target = filesFolder_ + "\\" + backupId + "\\" + itemId + "\\";
        std::string cause;
        VARIANT_BOOL copied = win::VARIANT_FALSE;
        if (isTrue(flag)) redirectionOff();
        call([&] { return FileOps()->EnsureFolderExist(target); });
        call([&] { return FileOps()->CopyFileOrFolder(path, target, &cause, &copied); });
        if (isTrue(flag)) redirectionOn();
        if (!isTrue(copied)) {
            FalseCause = cause;
            return false;
        }
        if (!writeText(entry("FileOrFolder%1Id", k), itemId) ||
            !writeText(entry("FileOrFolder%1RestoreTo", k), parent) ||
            !writeNumber(entry("FileOrFolder%1x64bitSystem32", k), isTrue(flag) ? -1 : 0))
            return false;
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

// "Name" goes first, so that a process killed on the way leaves nothing listed.
void CAxBackuper::dropBackup(const std::string& backupId, bool pumpBeforeRetry) {
    ResumeNext err;
    const std::string backupKey = indexKey_ + "\\" + backupId;
    if (redirectionIsOff_) err.step([&] { redirectionOn(); });
    err.step([&] {
        LONG key = kCurrentUser;
        std::string sub = backupKey, name = "Name";
        VARIANT_BOOL ok = win::VARIANT_FALSE;
        call([&] { return registry()->DeleteValue(&key, &sub, &name, &ok); });
    });
    const std::string folder = filesFolder_ + "\\" + backupId;
    err.step([&] { clearReadOnly(folder); });
    err.step([&] {
        std::string cause;
        VARIANT_BOOL ok = win::VARIANT_FALSE;
        call([&] { return FileOps()->RemoveFolder2(folder, win::VARIANT_TRUE, &cause, &ok); });
    });
    bool deleted = false;
    err.step([&] {
        std::string cause;
        VARIANT_BOOL ok = win::VARIANT_FALSE;
        call([&] { return registry()->DeleteKeyEx(kCurrentUser, backupKey, &cause, &ok); });
        deleted = isTrue(ok);
    });
    if (!deleted && pumpBeforeRetry) {
        winsys::pumpOneMessage();
        err.step([&] {
            std::string cause;
            VARIANT_BOOL ok = win::VARIANT_FALSE;
            call([&] { return registry()->DeleteKeyEx(kCurrentUser, backupKey, &cause, &ok); });
        });
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
        const std::string source = filesFolder_ + "\\" + BackupID + "\\" + itemId + "\\";
        const std::vector<std::string> names = directoryContents(source);
        if (names.empty()) return missingCopy(itemId);
        // The restore folder too must be made in the 64-bit view.
        if (flag != 0) redirectionOff();
        for (const std::string& target : names)
            if (leadsOutsidePrefix(restoreTo) || leadsOutsidePrefix(restoreTo + target)) {
                FalseCause = FormatString("Cannot restore '%1'. %2", {restoreTo + target, kOutsidePrefix});
                return false; // the caller switches redirection back on
            }
        call([&] { return FileOps()->EnsureFolderExist(restoreTo); });
        for (const std::string& n : names) {
            std::string cause;
            VARIANT_BOOL copied = win::VARIANT_FALSE;
            // A read-only file put back by an earlier, cut-short try would
            // block every later one.
            clearReadOnly(restoreTo + n);
            call([&] { return FileOps()->CopyFileOrFolder(source + n, restoreTo, &cause, &copied); });
            if (!isTrue(copied)) {
                FalseCause = cause;
                return false; // the caller switches redirection back on
            }
        }
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
    auto failed = [&](const std::string& text) {
        LogLine(0, text, halvenlib::sevInternalError, kSource);
        allRemoved = false;
    };
    try {
        RegistryBatch batch(true);
        LONG files = 0;
        call([&] { return LittleConfig->get_FileOrFoldersCount(&files); });
        for (LONG k = 1; k <= files; ++k) {
            std::string path, cause;
            VARIANT_BOOL flag = win::VARIANT_FALSE;
            call([&] { return LittleConfig->get_FileOrFolder(k, &path); });
            call([&] { return LittleConfig->get_FileOrFolderx64bitSystem32(k, &flag); });
            if (isTrue(flag)) redirectionOff();
            const bool removed = removeFileOrFolder(path, cause);
            if (isTrue(flag)) redirectionOn();
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
