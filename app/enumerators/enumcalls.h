#pragma once
// Calls that the browser enumerators of extension folders and plugin files
// share: new results, records and removal records, folder listings and
// existence tests through FileOps, shell and product install folders, keyed
// lists of texts, registry texts, and the error trap that logs one line and
// lets the caller go on.

#include <exception>
#include <string>
#include <vector>

#include "app/core/comcalls.h"
#include "common/interfaces/records.h"
#include "components/interfaces/quarncust.h"
#include "platform/com/com_ptr.h"

namespace sorlix::Enum {

winsys::com::ComPtr<halvenlib::_CNodes> NewNodes();
// A new node of `result` and its parameters: the record to fill.
winsys::com::ComPtr<halvenlib::_CParams> NewRecord(halvenlib::_CNodes* result);
winsys::com::ComPtr<quarncust::_CLittleConfig> NewLittleConfig();
// A new removal record holding `path` with the flag `x64bitSystem32`.
winsys::com::ComPtr<quarncust::_CLittleConfig> FileOrFolderConfig(const std::string& path, bool x64bitSystem32);

void AddText(halvenlib::_CParams* record, const std::string& name, const std::string& value);
void AddObject(halvenlib::_CParams* record, const std::string& name, win::IDispatch* object);

// FileOps.isFileExist: true for a file and for a folder.
bool FileExists(const std::string& path);
// FileOps.IsFolder: for a path that exists.
bool IsFolder(const std::string& path);
// The folder column of the program's AppVisor.InstallFoldersAndVersions for
// an enAppProduct, in table order; error 91 when there is no table.
std::vector<std::string> InstallFolders(win::LONG product);
// FileOps.DirectoryContents: the entry names; none for a missing folder.
std::vector<std::string> DirectoryContents(const std::string& folder);
// The same listing with what it says of each entry, so that no entry is
// asked for again: a folder (or a link to one) or not.
struct FolderEntry {
    std::string name;
    bool folder = false;
    bool link = false; // a symbolic link, whatever it points at
};
std::vector<FolderEntry> FolderEntries(const std::string& folder);
// FileOps.isFileExist and then, for what is there, FileOps.IsFolder, in one
// look-up of the file system: what the existence test finds tells its kind
// too (a link counts as what it points at). A path ending in "\" is asked
// both, as IsFolder then asks a question of its own.
enum class PathKind { Missing, File, Folder };
PathKind KindOf(const std::string& path);

// Largest file read from a folder a stranger may have written: manifests,
// messages, property lists, install manifests, widget configurations, the
// plugin ignore list. The same bound holds for a packed file.
inline constexpr std::size_t kMaxInputFileBytes = 8u * 1024 * 1024;
// The bytes of such a file; never more than the bound is read. A missing
// file is error 53, one that cannot be read (a folder, a device) the file
// layer's error, and a larger file an error naming it; all texts name it.
std::string ReadInputFile(const std::string& path);

// The texts of a keyed list, in order; `text` added keyed by itself unless present.
std::vector<std::string> Texts(halvenlib::_CCollection* list);
void AddKeyedText(halvenlib::_CCollection* list, const std::string& text);

// The registry text, "" when it cannot be read.
std::string QueryString(win::LONG root, std::string subkey, std::string valueName);
// The value names of a key; false when the key cannot be listed.
bool ValueNames(win::LONG root, const std::string& subkey, std::vector<std::string>& names);

// Runs `f`; a failure is logged (number, text, `severity`, `source`) and
// ends only `f`. True when `f` failed.
template <class F>
bool Trapped(const std::string& source, win::LONG severity, F&& f) {
    try {
        f();
        return false;
    } catch (const std::exception& e) {
        const ErrorText error = DescribeError(e);
        LogLine(error.number, error.text, severity, source);
    }
    return true;
}

} // namespace sorlix::Enum
