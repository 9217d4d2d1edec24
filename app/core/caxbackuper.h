#pragma once
// CAxBackuper: the backup store of one add-on type and the removal of what
// a removal record lists. A backup is an index key under the product key of
// the current user (names, counts, item ids, where each item goes back)
// holding the registry copies, and a folder of file copies under the data
// folder. A backup lasts until it is restored whole.

#include <string>
#include <vector>

#include "components/interfaces/quarncust.h"
#include "platform/core/wintypes.h"

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
    // logged); false when any step failed.
    bool RemoveByLittleConfig(quarncust::_CLittleConfig* LittleConfig);

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
    // False, with the reason, when a file or folder of the record leads
    // outside the prefix folder (each looked at in its own view).
    bool filesInsidePrefix(quarncust::_CLittleConfig* LittleConfig, std::string& FalseCause);
    // Removes one file or folder of a removal record; true when it is gone.
    bool removeFileOrFolder(const std::string& path, std::string& cause);

    std::string filesFolder_; // {data folder}\Backup\{word}
    std::string indexKey_;    // {product key}\Backup\{word}, below HKEY_CURRENT_USER
    std::string backupWord_;
    bool initialised_ = false;
    bool redirectionIsOff_ = false; // switched off by this object and not yet back on
};

} // namespace sorlix
