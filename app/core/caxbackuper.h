#pragma once
// CAxBackuper: the backup store of one add-on type and the removal of what
// a removal record lists. A backup is an index key under the product key of
// the current user (names, counts, item ids, where each item goes back)
// holding the registry copies, and a folder of file copies under the data
// folder. A backup lasts until it is restored whole.

#include <filesystem>
#include <string>
#include <vector>

#include "components/interfaces/quarncust.h"
#include "platform/core/wintypes.h"
#include "platform/files/tree.h"

namespace sorlix {

// The product key below HKEY_CURRENT_USER that holds the backup index.
inline constexpr const char* kProductRegistryKey = "Software\\Vendrel Software\\Vendrel Sorlix\\Current Version\\";

class CAxBackuper {
public:
    struct BackupRow {
        std::string id, name, description;
    };

    bool Init(const std::string& AppDataFolder, const std::string& AppRegistryHKCUHive,
              const std::string& BackupObjectName, std::string& FalseCause);
    bool Backup(const std::string& Name, const std::string& Description, quarncust::_CLittleConfig* LittleConfig,
                std::string& FalseCause);
    // Rows for every index subkey; the first ResultCount are filled.
    bool ListBackups(win::LONG& ResultCount, std::vector<BackupRow>& ResultArray, std::string& FalseCause);
    bool Restore(const std::string& BackupID, std::string& FalseCause);
    // Deletes everything the record lists, going on past failures (each
    // logged); false when any step failed. Of a file or folder that this
    // object's last Backup copied, only what is still as it was copied goes:
    // an entry changed or made since stays and counts as a failure.
    bool RemoveByLittleConfig(quarncust::_CLittleConfig* LittleConfig);
    // A step the last RemoveByLittleConfig could not do: its log text (what
    // stayed, and why), and whether what stayed was made after this
    // object's last Backup, which then holds no copy of it.
    struct RemovalFailure {
        std::string text;
        bool madeSinceBackup = false;
    };
    const std::vector<RemovalFailure>& RemovalFailures() const { return removalFailures_; }

    // Removes what the store made and no listed backup needs: the GUID
    // folders of copies whose process died before their index was written,
    // and the staged files of a cut-short restore; nothing else is touched.
    // Runs under the writers' lock, so another process's backup in progress
    // is never taken for a leftover. Of this type after Init;
    // RemoveAllLeftovers does every type of the store (start-up). False,
    // with the reason, when the store cannot be looked at or a leftover stays.
    bool RemoveLeftovers(std::string& FalseCause);
    static bool RemoveAllLeftovers(const std::string& AppDataFolder, const std::string& AppRegistryHKCUHive,
                                   std::string& FalseCause);

private:
    // The text before the last backslash, one trailing backslash dropped
    // first; empty when none remains ("C:\x" -> "C:", "C:\" -> "").
    static std::string GetParentPath(const std::string& path);

    bool writeBackup(const std::string& backupId, const std::string& Name, const std::string& Description,
                     quarncust::_CLittleConfig* LittleConfig, std::string& FalseCause);
    bool restoreItems(const std::string& backupKey, const std::string& BackupID, std::string& FalseCause);
    // Takes a backup out of the store: its folder of copies and its index key.
    void dropBackup(const std::string& backupId, bool pumpBeforeRetry);
    void redirectionOff();
    void redirectionOn();
    // False, with the reason, when a file or folder of the record cannot be
    // backed up: invalid, outside the prefix folder, the program's own data
    // (each looked at in its own view).
    bool checkFileItems(quarncust::_CLittleConfig* LittleConfig, std::string& FalseCause);
    // Copies one file or folder of the record into the store's item folder.
    bool copyItemToStore(const std::string& path, const std::string& itemFolder, std::string& FalseCause);
    // Puts the entries of a store item folder back into `restoreTo`.
    bool restoreItem(const std::string& backupId, const std::string& itemId, const std::string& restoreTo,
                     std::string& FalseCause);
    // Removes one file or folder of a removal record; true when it is gone
    // but for the entries in `changed` (changed or made since this object
    // copied the item).
    bool removeFileOrFolder(const std::string& path, std::string& cause, std::vector<winsys::KeptEntry>& changed);
    // The folders whose contents no record may name: the data folder given
    // to Init and the program's own.
    std::vector<std::string> ownDataFolders() const;

    std::string filesFolder_; // {data folder}\Backup\{word}
    std::string indexKey_;    // {product key}\Backup\{word}, below HKEY_CURRENT_USER
    std::string backupWord_;
    std::string dataFolder_;  // as given to Init
    std::vector<RemovalFailure> removalFailures_;
    // What the last Backup copied of each file or folder: where it is (the
    // resolved host place) and what each entry was when copied.
    struct CopiedItem {
        std::filesystem::path place;
        winsys::CopyRecord record;
    };
    std::vector<CopiedItem> copied_;
    bool initialised_ = false;
    bool redirectionIsOff_ = false; // switched off by this object and not yet back on
};

} // namespace sorlix
