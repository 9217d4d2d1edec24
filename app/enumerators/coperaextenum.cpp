#include "app/enumerators/coperaextenum.h"

// The work folder holds one package's "config.xml" at a time. A file left
// there by an earlier package (one that failed, or one the emptying could
// not delete) would be read as the next package's own when that one has
// none, so it is removed before each package is unpacked, read-only or not;
// when it cannot be, that package is skipped. The work folder is removed
// again at the end of every run, failed or not.

#include <exception>
#include <string>
#include <utility>

#include "app/core/comcalls.h"
#include "app/core/cunzip.h"
#include "app/core/mmain.h"
#include "app/core/mmainhelpers.h"
#include "app/enumerators/enumcalls.h"
#include "common/interfaces/fileops.h"
#include "common/interfaces/global.h"
#include "common/interfaces/log.h"
#include "platform/com/com_error.h"
#include "platform/com/variant.h"
#include "platform/core/text.h"
#include "platform/files/files.h"

namespace sorlix {

namespace {

using halvenlib::_CParams;
using winsys::com::call;
using winsys::com::ComError;
using winsys::com::ComPtr;

constexpr const char* kRunSource = "COperaExtEnum.EnumOperaExtensions";
constexpr const char* kConfigName = "config.xml";

// RemoveFolder2 with sub-folders; `cause` takes the reason when it fails.
void removeTree(const std::string& folder, std::string& cause) {
    win::VARIANT_BOOL ok = win::VARIANT_FALSE;
    call([&] { return FileOps()->RemoveFolder2(folder, win::VARIANT_TRUE, &cause, &ok); });
}

// Takes away whatever lies at `path` in the work folder: a file (made
// writable first) or a folder. Throws when something stays.
void removeLeftOver(const std::string& path, const std::string& source) {
    const Enum::PathKind kind = Enum::KindOf(path);
    if (kind == Enum::PathKind::Missing) return;
    std::string cause;
    if (kind == Enum::PathKind::Folder) {
        removeTree(path, cause);
    } else {
        const win::DWORD attributes = win::GetFileAttributes(path);
        if (attributes != win::INVALID_FILE_ATTRIBUTES && (attributes & win::FILE_ATTRIBUTE_READONLY))
            win::SetFileAttributes(path, attributes & ~win::FILE_ATTRIBUTE_READONLY);
        win::VARIANT_BOOL ok = win::VARIANT_FALSE;
        call([&] { return FileOps()->RemoveFile(path, &cause, &ok); });
    }
    if (Enum::FileExists(path))
        throw ComError(win::E_FAIL, "The left-over '" + path + "' cannot be removed. " + cause, source);
}

// The first of the record's texts that is not empty, else `fallback`.
std::string searchName(_CParams* record, const std::string& fallback) {
    for (const char* key : {"originalName", "description", "manufacturer"})
        if (HasParam(record, key))
            if (std::string name = ParamText(record, key); !name.empty()) return name;
    return fallback;
}

// Removes the work folder with all it holds when it goes out of scope.
class WorkFolderRemoval {
public:
    explicit WorkFolderRemoval(const std::string& folder) : folder_(folder) {}
    ~WorkFolderRemoval() {
        try {
            std::string ignored;
            removeTree(folder_, ignored);
        } catch (const std::exception& e) {
            LogError(e, kRunSource);
        }
    }
    WorkFolderRemoval(const WorkFolderRemoval&) = delete;
    WorkFolderRemoval& operator=(const WorkFolderRemoval&) = delete;

private:
    std::string folder_;
};

} // namespace

ComPtr<halvenlib::_CNodes> COperaExtEnum::EnumOperaExtensions(bool Opera64bit) {
    try {
        opera64bit_ = Opera64bit;
        leftOverPossible_ = true;
        const std::string local = MMain::ShellFolder(halvenlib::CSIDL_LOCAL_APPDATA);
        const MMain::Wow64RedirectionOff redirection(kRunSource, Opera64bit);
        workFolder_ = MMain::JoinPath(TempFolder, "OperaExtEnumerator");
        std::string ignored;
        removeTree(workFolder_, ignored);
        const WorkFolderRemoval removal(workFolder_);
        call([&] { return FileOps()->EnsureFolderExist(workFolder_); });
        // Unpacking into a folder that is not there would fail for every package.
        if (Enum::KindOf(workFolder_) != Enum::PathKind::Folder)
            throw ComError(win::E_FAIL, "The work folder '" + workFolder_ + "' cannot be created", kRunSource);

        result_ = Enum::NewNodes();
        const std::string widgets =
            MMain::JoinPath(local, Opera64bit ? "Opera\\Opera x64\\widgets" : "Opera\\Opera\\widgets");
        for (const std::string& entry : Enum::DirectoryContents(widgets))
            if (winsys::endsWithNoCase(entry, ".oex")) ProcessExtensionFile(widgets + "\\" + entry);
        return result_;
    } catch (const std::exception& e) {
        LogError(e, kRunSource);
        return nullptr;
    }
}

void COperaExtEnum::ProcessExtensionFile(const std::string& oexPath) {
    constexpr const char* kSource = "COperaExtEnum.ProcessExtensionFile";
    try {
        if (Enum::KindOf(oexPath) != Enum::PathKind::File) return;
        const std::string configXml = MMain::JoinPath(workFolder_, kConfigName);
        if (leftOverPossible_) {
            removeLeftOver(configXml, kSource);
            leftOverPossible_ = false;
        }

        cUnzip zip;
        zip.ZipFile(oexPath);
        zip.UnzipFolder(workFolder_);
        zip.UseFolderNames(false);
        zip.Directory();
        for (win::LONG i = 1; i <= zip.FileCount(); ++i)
            if (winsys::lowerCase(zip.Filename(i)) != kConfigName) zip.FileSelected(i, false);
        zip.Unzip();

        ProcessConfigXml(configXml, oexPath);
        leftOverPossible_ = true;
        // DeleteFilesByMask does this and drops the answer, which tells
        // whether anything stayed.
        std::string cause;
        win::VARIANT_BOOL deleted = win::VARIANT_FALSE;
        call([&] { return FileOps()->DeleteFilesByMask2(workFolder_, "*.*", &cause, &deleted); });
        leftOverPossible_ = deleted == win::VARIANT_FALSE;
    } catch (const std::exception& e) {
        leftOverPossible_ = true;
        LogError(e, kSource);
    }
}

void COperaExtEnum::ProcessConfigXml(const std::string& configXml, const std::string& oexPath) {
    constexpr const char* kSource = "COperaExtEnum.ProcessConfigXml";
    try {
        std::string cause;
        if (!parser_.Parse(configXml, cause)) {
            // The reason is about the extracted file; the line names the
            // package it was taken from.
            LogLine(0, "W3CWidgetParser.Parse Failed. " + cause + " ('" + oexPath + "')", halvenlib::sevInternalError,
                    kSource);
            return;
        }
        const ComPtr<_CParams> record = Enum::NewRecord(result_.get());
        AddParam(record.get(), "dLL", winsys::com::makeText(oexPath));
        const std::pair<const char*, const std::string*> fields[] = {
            {"manufacturer", &parser_.Author},  {"description", &parser_.Description},
            {"license", &parser_.License},      {"originalName", &parser_.Name},
            {"updateInfoURL", &parser_.UpdateDescription},
        };
        for (const auto& [key, text] : fields)
            if (!text->empty()) AddParam(record.get(), key, winsys::com::makeText(*text));
        AddParam(record.get(), "backupCfg",
                 winsys::com::makeObject(Enum::FileOrFolderConfig(oexPath, opera64bit_).get()));
        AddParam(record.get(), "websearchName", winsys::com::makeText(searchName(record.get(), oexPath)));
    } catch (const std::exception& e) {
        LogError(e, kSource);
    }
}

} // namespace sorlix
