#pragma once
// CPluginScan: the folder scan, plugin queue and plugin record that every
// plugin enumerator (add-on types 11, 12, 14, 16, 18, 20, 22 and 24) shares.
// An enumerator makes one for its run, feeds it folders and single files in
// its own order, scans the folders, builds the records and returns them:
//
//   CPluginScan scan(20);
//   scan.QueuePluginFolder(folder);        // only folders that exist
//   scan.ProcessAdobeReaderFolder(browser); // its files straight into the queue
//   scan.ProcessPluginFolders();           // "np*.dll" of every queued folder
//   ComPtr<_CNodes> result = scan.ProcessPlugins();
//
// Where the enumerators differ is one row of settings per type. A file
// reached twice ends in one record; its removal records are merged (or, for
// a type that does not merge, the first one stays), also when the two
// routes spell its path differently ("/" for "\", "." or "..").

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "common/interfaces/records.h"
#include "components/interfaces/quarncust.h"
#include "platform/com/com_ptr.h"
#include "platform/core/text.h"

namespace sorlix {

// How QueuePluginFolder takes a folder; each adds an existing folder once.
enum class PluginFolderForm {
    DropBackslash,  // one trailing "\" dropped; existence only
    AsGiven,        // "" ignored; existence only, so "F" and "F\" are two entries
    Folder,         // "" ignored; must be a folder
    TrimmedFolder,  // blanks trimmed, "" ignored; must be a folder
};

// The image a queued file must be; any other is never queued.
enum class PluginMachine { Any, I386, X64 };

struct PluginScanSettings {
    win::LONG addonType;
    // Log sources are "<className>.<operation>".
    const char* className;
    const char* queueFolderName; // "QueuePluginFolder" or "QueuePluginsFolder"
    const char* scanName;        // the folder scan
    const char* recordName;      // the record building
    PluginFolderForm folderForm;
    // Flag of the removal record made for a file queued without one (the
    // folder scans, the Adobe Reader folder).
    bool x64bitSystem32;
    // Other than Any, QueuePlugin trims the path and reads the image header;
    // it then has no error trap of its own.
    PluginMachine machine;
    // A repeat of a queued path merges its removal record into the stored one.
    bool mergesRepeats;
    // The whole scan and the whole record building are one pass each: one
    // failure ends the pass, and a failed record pass gives no result.
    bool onePass;
    // The record holds "file64bitSystem32" with the flag above.
    bool flagKey;
    // Rows of the fixed-name table tried, in order, on a file without a
    // version resource (numbers from 1).
    std::vector<int> fixedNames;
    // The enumerator switches file-system redirection off for its run.
    bool redirectionOff;
};

// The settings of a plugin type; any other type number is a programming error.
const PluginScanSettings& PluginScanSettingsOf(win::LONG addonType);

class CPluginScan {
public:
    explicit CPluginScan(win::LONG addonType);

    const PluginScanSettings& Settings() const { return settings_; }

    // Adds a folder to the folder set (see PluginFolderForm).
    void QueuePluginFolder(const std::string& folder);
    // Queues the "np*.dll" entries of every folder of the set, in set order.
    void ProcessPluginFolders();
    void ProcessPluginsFolder(const std::string& folder);
    // Queues every file of an Adobe Reader "browser" folder but
    // "nppdf32.dll", which belongs to the shared 32-bit plugins.
    void ProcessAdobeReaderFolder(const std::string& folder);
    // Adds a file with its removal record (a new one holding the file when
    // null), or merges the record into the one stored for the file.
    void QueuePlugin(const std::string& path, winsys::com::ComPtr<quarncust::_CLittleConfig> record = nullptr);
    // One record per queued file, in queue order; null when a one-pass
    // building failed.
    winsys::com::ComPtr<halvenlib::_CNodes> ProcessPlugins();

    // Files for which this answers true are not queued (left empty: none).
    std::function<bool(const std::string& path)> IsIgnored;

    const std::vector<std::string>& Folders() const { return folders_; }
    const std::vector<std::string>& Plugins() const { return plugins_; }

private:
    void queueFolder(std::string folder);
    void scanFolder(const std::string& folder);
    void queuePlugin(std::string path, winsys::com::ComPtr<quarncust::_CLittleConfig> record);
    void processPlugin(const std::string& path, halvenlib::_CNodes* result);
    std::string source(const char* operation) const;

    const PluginScanSettings& settings_;
    std::vector<std::string> folders_;
    std::vector<std::string> plugins_;
    // Keyed without regard to case: folders by their text, records by the
    // folded path of the file.
    std::set<std::string, winsys::LessNoCase> folderKeys_;
    std::map<std::string, winsys::com::ComPtr<quarncust::_CLittleConfig>, winsys::LessNoCase> records_;
};

} // namespace sorlix
