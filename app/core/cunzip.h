#pragma once
// cUnzip: one zip package, listed and extracted through the unzip library
// (platform/unzip/unzip.h) by mUnzip. The caller sets the package and the
// folder, lists the entries, deselects what it does not want and extracts
// the rest flat into the folder:
//
//   cUnzip z;
//   z.ZipFile(path); z.UnzipFolder(work); z.UseFolderNames(false);
//   z.Directory();
//   for (LONG i = 1; i <= z.FileCount(); ++i) z.FileSelected(i, lowerCase(z.Filename(i)) == "install.rdf");
//   if (z.Unzip()) ...  // the wanted file is in the work folder
//
// Unzip is True only when every entry it chose was written whole; an entry
// with an unsafe name, a link, a damaged or oversized entry makes it False
// and leaves no file of that entry. Of several selected entries with the
// same bare name only one is extracted: the one at the top of the package,
// else the first listed. With no entry selected nothing is extracted.

#include <functional>
#include <string>
#include <vector>

#include "platform/com/types.h"
#include "platform/core/wintypes.h"
#include "platform/unzip/unzip.h"

namespace sorlix {

class cUnzip {
public:
    // Handed to the library when an entry is encrypted; blanks are trimmed.
    std::string Password;

    // Raised while a library call runs, when set.
    std::function<void(const std::string& sMsg, bool& bCancel)> Cancel;              // before each entry
    std::function<void(const std::string& sFile, win::LONG& eResponse)> OverwritePrompt; // 100 on entry
    std::function<void(win::LONG lCount, const std::string& sMsg)> Progress;          // library messages

    bool ExtractOnlyNewer() const { return options_.ExtractOnlyNewer != 0; }
    void ExtractOnlyNewer(bool bState) { options_.ExtractOnlyNewer = bState ? 1 : 0; }
    bool SpaceToUnderScore() const { return options_.SpaceToUnderscore != 0; }
    void SpaceToUnderScore(bool bState) { options_.SpaceToUnderscore = bState ? 1 : 0; }
    bool PromptToOverwrite() const { return options_.PromptToOverwrite != 0; }
    void PromptToOverwrite(bool bState) { options_.PromptToOverwrite = bState ? 1 : 0; }
    bool TestZip() const { return options_.TestOnly != 0; }
    void TestZip(bool bState) { options_.TestOnly = bState ? 1 : 0; }
    bool UseFolderNames() const { return options_.FolderNames != 0; }
    void UseFolderNames(bool bState) { options_.FolderNames = bState ? 1 : 0; }
    bool OverwriteExisting() const { return options_.OverwriteExisting != 0; }
    void OverwriteExisting(bool bState) { options_.OverwriteExisting = bState ? 1 : 0; }
    bool ConvertCRToCRLF() const { return options_.CrToCrLf != 0; }
    void ConvertCRToCRLF(bool bState) { options_.CrToCrLf = bState ? 1 : 0; }
    bool CaseSensitiveFileNames() const { return options_.CaseSensitiveNames != 0; }
    void CaseSensitiveFileNames(bool bState) { options_.CaseSensitiveNames = bState ? 1 : 0; }
    win::LONG MessageLevel() const { return options_.MessageLevel; }
    void MessageLevel(win::LONG eLevel) { options_.MessageLevel = eLevel; }

    const std::string& ZipFile() const { return zipFile_; }
    // Also empties the entry list.
    void ZipFile(const std::string& sFile);
    const std::string& UnzipFolder() const { return unzipFolder_; }
    void UnzipFolder(const std::string& sFolder) { unzipFolder_ = sFolder; }

    // Entries count from 1; another index throws ComError 9.
    win::LONG FileCount() const { return static_cast<win::LONG>(entries_.size()); }
    std::string Filename(win::LONG lIndex) const { return entry(lIndex, "Filename").name; }
    std::string FileDirectory(win::LONG lIndex) const { return entry(lIndex, "FileDirectory").folder; }
    // The compressed size.
    win::LONG FileSize(win::LONG lIndex) const { return entry(lIndex, "FileSize").size; }
    win::LONG FileCompressionRatio(win::LONG lIndex) const { return entry(lIndex, "FileCompressionRatio").factor; }
    win::ULONG FileCRC(win::LONG lIndex) const { return entry(lIndex, "FileCRC").crc; }
    // FileSize * FileCompressionRatio / 100, truncated.
    win::LONG FilePackedSize(win::LONG lIndex) const;
    win::DATE FileDate(win::LONG lIndex) const { return entry(lIndex, "FileDate").date; }
    std::string FileCompressionMethod(win::LONG lIndex) const { return entry(lIndex, "FileCompressionMethod").method; }
    bool FileEncrypted(win::LONG lIndex) const { return entry(lIndex, "FileEncrypted").encrypted; }
    bool FileSelected(win::LONG lIndex) const { return entry(lIndex, "FileSelected").selected; }
    void FileSelected(win::LONG lIndex, bool bState) { entryToChange(lIndex).selected = bState; }

    // Appends the package's file entries to the list (a second call without
    // setting ZipFile lists them twice). False when the package cannot be read.
    bool Directory();
    bool Unzip();

    // The major, minor and patch numbers of the library's interface and its
    // pre-release text; the library publishes no date, so dDate is 0.
    void GetVersion(win::LONG& lMajor, win::LONG& lMinor, win::LONG& lRevision, win::DATE& dDate,
                    std::string& sExtraInfo) const;

private:
    friend struct UnzipCallbackBridge;

    struct Entry {
        std::string name, folder;
        win::LONG size = 0, factor = 0;
        std::string method;
        win::DATE date{0};
        win::ULONG crc = 0;
        bool encrypted = false;
        bool selected = true;
        win::LONG number = 0; // the library's number for the entry
    };

    const Entry& entry(win::LONG lIndex, const char* member) const;
    Entry& entryToChange(win::LONG lIndex);
    // The entries Unzip hands over: the selected ones, one per bare name.
    std::vector<win::LONG> chosenEntries() const;

    win::UzpOptions options_;
    std::string zipFile_, unzipFolder_;
    std::vector<Entry> entries_;
};

} // namespace sorlix
