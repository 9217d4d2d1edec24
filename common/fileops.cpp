#include "common/fileops.h"

#include <cstring>
#include <ctime>
#include <filesystem>
#include <system_error>
#include <vector>

#include "common/fileops_list.h"
#include "common/interfaces/fileops.h"
#include "common/mcommon.h"
#include "common/server.h"
#include "platform/com/com_error.h"
#include "platform/com/error_info.h"
#include "platform/com/object.h"
#include "platform/core/lasterror.h"
#include "platform/core/text.h"
#include "platform/files/files.h"
#include "platform/files/find.h"
#include "platform/files/hostfile.h"
#include "platform/files/paths.h"
#include "platform/files/tree.h"

namespace halvenlib {

using namespace win;
using namespace winsys::com;

namespace {

constexpr const char* kSource = "Halvenlib.FileOps";
constexpr const char* kLongPrefix = "\\\\?\\";

bool endsWithBackslash(const std::string& s) { return !s.empty() && s.back() == '\\'; }
bool isSeparator(char c) { return c == '\\' || c == '/'; }

std::string withPrefix(const std::string& path) {
    return path.compare(0, 4, kLongPrefix) == 0 ? path : kLongPrefix + path;
}

// The path with its references expanded; as given when expansion fails.
std::string expanded(const std::string& path) {
    auto r = ExpandEnvVars(path);
    return r.ok() ? r.value() : path;
}

std::string withoutTrailingBackslash(std::string s) {
    if (endsWithBackslash(s)) s.pop_back();
    return s;
}

// The description of the error that a failed member left, as a caller's
// error handler reads it.
std::string errorDescription(HRESULT hr) {
    ComPtr<IErrorInfo> info;
    std::string text;
    if (GetErrorInfo(0, info.put()) == S_OK && info) info->GetDescription(&text);
    return text.empty() ? describeHresult(hr) : text;
}

// The runtime's error for a failed whole-file operation.
HRESULT raiseFileError(DWORD code) {
    switch (code) {
    case ERROR_FILE_NOT_FOUND: return raiseError(53, "File not found", kSource);
    case ERROR_PATH_NOT_FOUND: return raiseError(76, "Path not found", kSource);
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME: return raiseError(52, "Bad file name or number", kSource);
    case ERROR_DISK_FULL: return raiseError(61, "Disk full", kSource);
    default: return raiseError(75, "Path/File access error", kSource);
    }
}

struct Entry {
    std::string name;
    DWORD attributes = 0;
    bool isDirectory() const { return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }
};

// The entries matching `pattern`, without "." and "..".
std::vector<Entry> search(const std::string& pattern) {
    std::vector<Entry> out;
    WIN32_FIND_DATA data;
    UniqueFindHandle h(FindFirstFile(pattern, &data));
    if (!h) return out;
    do {
        std::string name = TrimAtNull(data.cFileName);
        if (name != "." && name != "..") out.push_back({std::move(name), data.dwFileAttributes});
    } while (FindNextFile(h.get(), &data));
    return out;
}

DWORD attributesOf(const std::string& path) { return GetFileAttributes(withPrefix(withoutTrailingBackslash(path))); }

bool isFolderOnDisk(const std::string& path) {
    const DWORD a = attributesOf(path);
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool isFileOnDisk(const std::string& path) {
    const DWORD a = attributesOf(path);
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

// The pattern that lists a folder.
std::string listPattern(const std::string& folder) {
    return withPrefix(folder) + (endsWithBackslash(folder) ? "*.*" : "\\*.*");
}

// Deletes the files (not the folders) of `folder` (ending in "\") that
// match `mask`; stops at the first that cannot be deleted.
bool deleteFiles(const std::string& folder, const std::string& mask, std::string* cause) {
    for (const Entry& e : search(folder + mask)) {
        if (e.isDirectory()) continue;
        const std::string path = folder + e.name;
        if (!DeleteFile(path)) {
            *cause = FormatSystemMessage(GetLastError()) + ReplacePlaceholders("('%1')", {path});
            return false;
        }
    }
    return true;
}

// The entry a Windows path names, found in its open folder without regard
// to case (`name` empty when nothing is there); false when the folder
// cannot be opened.
bool locate(const std::string& path, winsys::UniqueFd* folder, std::string* name, DWORD* code) {
    winsys::FoundEntry entry;
    if (auto failed = winsys::openEntry(withoutTrailingBackslash(path), &entry)) {
        *code = failed->code;
        return false;
    }
    *folder = std::move(entry.folder);
    *name = entry.exists ? entry.name : std::string();
    return true;
}

// Removes a folder and all below it; `folder` is expanded already (names
// inside the tree are never expanded). Links are removed, never followed.
bool removeTree(const std::string& folderIn, std::string* cause) {
    const std::string path = withPrefix(withoutTrailingBackslash(folderIn));
    winsys::UniqueFd parent;
    std::string name;
    DWORD code = ERROR_SUCCESS;
    if (!locate(path, &parent, &name, &code) || name.empty()) {
        *cause = "RemoveFolder2 failed. " + DescribeApiError(name.empty() && code == ERROR_SUCCESS ? ERROR_FILE_NOT_FOUND : code);
        return false;
    }
    // A file, or a link to one, is no folder to remove: nothing goes, as the
    // folder removal refuses it on Windows. A link to a folder (or to
    // nothing) goes itself.
    const auto target = winsys::statHost(parent.get(), name.c_str(), true);
    if (target && !target->isDir()) {
        *cause = "RemoveFolder2 failed. " + DescribeApiError(ERROR_DIRECTORY);
        return false;
    }
    const winsys::TreeResult failed = winsys::removeTree({parent.get(), name, path}, false);
    if (!failed) return true;
    if (failed->folder) *cause = "RemoveFolder2 failed. " + DescribeApiError(failed->code);
    else *cause = "DeleteFilesByMask2 failed. " + FormatSystemMessage(failed->code) + ReplacePlaceholders("('%1')", {failed->path});
    return false;
}

// Whether `inner` is `outer` or lies below it.
bool sameOrBelow(const std::string& inner, const std::string& outer) {
    std::string a, b;
    if (!GetFullPathName(inner, &a) || !GetFullPathName(outer, &b)) return false;
    a = withoutTrailingBackslash(a);
    b = withoutTrailingBackslash(b);
    return winsys::equalsNoCase(a, b) || winsys::startsWithNoCase(a, b + "\\");
}

// Days from 1899-12-30 to the civil date (proleptic Gregorian).
long daysSince1899(int y, unsigned m, unsigned d) {
    auto civil = [](int yy, unsigned mm, unsigned dd) {
        yy -= mm <= 2;
        const long era = (yy >= 0 ? yy : yy - 399) / 400;
        const unsigned yoe = static_cast<unsigned>(yy - era * 400);
        const unsigned doy = (153 * (mm + (mm > 2 ? -3 : 9)) + 2) / 5 + dd - 1;
        const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
        return era * 146097 + static_cast<long>(doe);
    };
    return civil(y, m, d) - civil(1899, 12, 30);
}

// A FILETIME (UTC) as a local date value, seconds kept, milliseconds dropped.
bool localDateFromFileTime(const FILETIME& ft, DATE* out) {
    const std::uint64_t ticks = (std::uint64_t{ft.dwHighDateTime} << 32) | ft.dwLowDateTime;
    constexpr std::uint64_t kUnixEpoch = 116444736000000000ull; // 1970 in 100 ns since 1601
    const std::int64_t seconds = (static_cast<std::int64_t>(ticks) - static_cast<std::int64_t>(kUnixEpoch) -
                                  (ticks < kUnixEpoch ? 9999999 : 0)) / 10000000;
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm local{};
    if (!localtime_r(&t, &local)) return false;
    const long days = daysSince1899(local.tm_year + 1900, static_cast<unsigned>(local.tm_mon + 1),
                                    static_cast<unsigned>(local.tm_mday));
    const double fraction = (local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec) / 86400.0;
    // Before 1899-12-30 the fraction counts away from zero, as date values do.
    out->value = days >= 0 ? days + fraction : days - fraction;
    return true;
}

template <class T>
T readLe(const std::vector<std::uint8_t>& b, std::size_t at) {
    T v;
    std::memcpy(&v, b.data() + at, sizeof v);
    return v;
}

class FileOps final : public DispatchObject<_FileOps> {
public:
    HRESULT DeleteFilesByMask(const std::string& Folder, const std::string& FileMask, VARIANT* result) override {
        std::string scratch;
        VARIANT_BOOL ignored;
        DeleteFilesByMask2(Folder, FileMask, &scratch, &ignored);
        *result = makeEmpty();
        return S_OK;
    }

    HRESULT DeleteFilesByMask2(const std::string& Folder, const std::string& FileMask, std::string* FalseCause,
                               VARIANT_BOOL* result) override {
        FalseCause->clear();
        std::string folder = expanded(withPrefix(Folder));
        if (!endsWithBackslash(folder)) folder += '\\';
        *result = toVariantBool(deleteFiles(folder, FileMask, FalseCause));
        return S_OK;
    }

    HRESULT EnsureFolderExist(const std::string& Folder) override {
        // New folders get the owner's usual rights, never an access list
        // that lets everyone in.
        const std::string path = withPrefix(Folder);
        if (CreateDirectory(path) || GetLastError() != ERROR_PATH_NOT_FOUND) return S_OK;
        const std::string trimmed = withoutTrailingBackslash(path);
        const std::size_t slash = trimmed.rfind('\\');
        // Inside "\\?\C:" there is no further parent.
        if (slash == std::string::npos || slash < 6) return S_OK;
        EnsureFolderExist(trimmed.substr(0, slash + 1));
        CreateDirectory(path);
        SetLastError(ERROR_SUCCESS);
        return S_OK;
    }

    HRESULT RemoveFolder(const std::string& PathName, VARIANT_BOOL* WithSubFolders) override {
        std::string scratch;
        VARIANT_BOOL ignored;
        return RemoveFolder2(PathName, WithSubFolders ? *WithSubFolders : VARIANT_FALSE, &scratch, &ignored);
    }

    HRESULT RemoveFolder2(const std::string& PathName, VARIANT_BOOL WithSubFolders, std::string* FalseCause,
                          VARIANT_BOOL* result) override {
        FalseCause->clear();
        const std::string path = expanded(PathName);
        if (winsys::utf16Length(PathName) <= 3 || winsys::utf16Length(path) <= 3 || isDriveOrShareRoot(path)) {
            *FalseCause = ReplacePlaceholders("Invalid path: '%1'", {PathName});
            *result = VARIANT_FALSE;
            return S_OK;
        }
        if (WithSubFolders) {
            *result = toVariantBool(removeTree(path, FalseCause));
        } else if (RemoveDirectory(withPrefix(PathName))) {
            *result = VARIANT_TRUE;
        } else {
            *FalseCause = DescribeApiError(GetLastError());
            *result = VARIANT_FALSE;
        }
        return S_OK;
    }

    HRESULT RemoveFile(const std::string& FileName, std::string* FalseCause, VARIANT_BOOL* result) override {
        FalseCause->clear();
        const bool ok = DeleteFile(withPrefix(FileName));
        if (!ok) *FalseCause = FormatSystemMessage(GetLastError());
        *result = toVariantBool(ok);
        return S_OK;
    }

    HRESULT isFileExist(const std::string& File, VARIANT_BOOL* result) override {
        *result = toVariantBool(FileExists(File));
        return S_OK;
    }

    HRESULT FileCopyAx(const std::string& Source, const std::string& Destination, VARIANT* result) override {
        *result = makeEmpty();
        if (CopyFile(withPrefix(Source), withPrefix(Destination), FALSE)) return S_OK;
        const DWORD code = GetLastError();
        return raiseError(static_cast<LONG>(code), copyFailure(Source, Destination, code), kSource);
    }

    HRESULT SaveFile(const std::string& FileName, const std::string& Content) override {
        auto r = winsys::writeFile(FileName, winsys::toCp1252(Content));
        return r.ok() ? S_OK : raiseFileError(r.error().code);
    }

    HRESULT LoadFile(const std::string& FileName, std::string* result) override {
        auto r = winsys::readFile(FileName);
        if (!r.ok()) return raiseFileError(r.error().code);
        const std::vector<std::uint8_t>& b = r.value();
        *result = winsys::fromCp1252(std::string_view(reinterpret_cast<const char*>(b.data()), b.size()));
        return S_OK;
    }

    HRESULT SaveFileB(const std::string& FileName, SAFEARRAY* Content) override {
        std::vector<std::uint8_t> bytes;
        if (Content) {
            VARTYPE vt = VT_EMPTY;
            SafeArrayGetVartype(Content, &vt);
            if (vt != VT_UI1) return raiseError(13, "Type mismatch", kSource);
            void* data = nullptr;
            if (FAILED(SafeArrayAccessData(Content, &data))) return raiseError(13, "Type mismatch", kSource);
            const auto* p = static_cast<const std::uint8_t*>(data);
            bytes.assign(p, p + elementCount(Content));
            SafeArrayUnaccessData(Content);
        }
        // Replaces the file whole: a longer old file keeps no tail.
        auto r = winsys::writeFile(FileName, bytes);
        return r.ok() ? S_OK : raiseFileError(r.error().code);
    }

    HRESULT LoadFileB(const std::string& FileName, SAFEARRAY** result) override {
        std::vector<std::uint8_t> bytes;
        if (FileExists(FileName)) {
            auto r = winsys::readFile(FileName);
            if (!r.ok()) return raiseFileError(r.error().code);
            bytes = std::move(r.value());
        }
        *result = makeByteArray(bytes, bytes.empty() ? 0 : 1);
        return S_OK;
    }

    HRESULT CopyFileOrFolder(const std::string& FileOrFolder, const std::string& CopyTo, std::string* FalseCause,
                             VARIANT_BOOL* result) override {
        FalseCause->clear();
        const std::string source = expanded(FileOrFolder);
        if (winsys::utf16Length(FileOrFolder) <= 3 || winsys::utf16Length(source) <= 3 || isDriveOrShareRoot(source)) {
            *FalseCause = ReplacePlaceholders("Invalid FileOrFolder: '%1'", {FileOrFolder});
            *result = VARIANT_FALSE;
            return S_OK;
        }
        try {
            *result = toVariantBool(copyEntry(source, CopyTo, FalseCause));
        } catch (const std::exception& e) {
            *FalseCause = e.what();
            *result = VARIANT_FALSE;
        }
        return S_OK;
    }

    HRESULT DirectoryContents(const std::string& Folder, _Collection** result) override {
        std::vector<std::string> names;
        for (Entry& e : search(listPattern(Folder))) names.push_back(std::move(e.name));
        *result = newTextCollection(names).detach();
        return *result ? S_OK : E_OUTOFMEMORY;
    }

    HRESULT IsFolder(const std::string& FileOrFolder, VARIANT_BOOL* result) override {
        // A trailing "\" names a folder: it is one only when the disk says
        // so, and a file or nothing there matches nothing.
        if (endsWithBackslash(FileOrFolder)) {
            if (!isFolderOnDisk(FileOrFolder)) return raiseError(static_cast<LONG>(0x80040000u), "", kSource);
            *result = VARIANT_TRUE;
            return S_OK;
        }
        WIN32_FIND_DATA data;
        UniqueFindHandle h(FindFirstFile(withPrefix(FileOrFolder), &data));
        if (!h) return raiseError(static_cast<LONG>(0x80040000u), "", kSource);
        *result = toVariantBool((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0);
        return S_OK;
    }

    HRESULT Wow64DisableWow64FileSystemRedirection() override {
        void* previous = nullptr; // not kept: the pair does not nest
        if (IsWow64()) Wow64DisableWow64FsRedirection(&previous);
        return S_OK;
    }

    HRESULT Wow64RevertWow64FileSystemRedirection() override {
        if (IsWow64()) Wow64RevertWow64FsRedirection(nullptr);
        return S_OK;
    }

    HRESULT LoadFileHeaderMachine(const std::string& FileName, VARIANT_BOOL* Is32Bit, VARIANT_BOOL* Is64Bit,
                                  std::string* FalseCause, VARIANT_BOOL* result) override {
        FalseCause->clear();
        *result = VARIANT_FALSE;
        std::vector<std::uint8_t> head;
        if (FileExists(FileName)) {
            auto r = winsys::readFile(FileName, 10240);
            if (r.ok()) head = std::move(r.value());
        }
        if (head.empty()) {
            *FalseCause = "Cannot load file.";
            return S_OK;
        }
        if (head.size() < 88 || readLe<std::uint16_t>(head, 0) != 0x5A4D) {
            *FalseCause = "Invalid file.";
            return S_OK;
        }
        const std::uint32_t offset = readLe<std::uint32_t>(head, 60);
        if (offset < 1 || offset > 5000 || std::size_t{offset} + 24 > head.size()) {
            *FalseCause = "Cannot find IMAGE_NT_HEADERS.";
            return S_OK;
        }
        if (readLe<std::uint32_t>(head, offset) != 0x00004550) {
            *FalseCause = "Invalid IMAGE_NT_HEADERS.";
            return S_OK;
        }
        const std::uint16_t machine = readLe<std::uint16_t>(head, offset + 4);
        *Is64Bit = toVariantBool(machine == 0x8664);
        *Is32Bit = toVariantBool(machine == 0x14C);
        *result = VARIANT_TRUE;
        return S_OK;
    }

    HRESULT FileCreationDate(const std::string& FileName, DATE* result) override {
        *result = DATE{0};
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (GetFileAttributesEx(FileName, &data)) localDateFromFileTime(data.ftCreationTime, result);
        return S_OK;
    }

protected:
    void* queryOther(REFIID riid) override {
        if (riid == _FileOps::iidV3 || riid == _FileOps::iidV2 || riid == _FileOps::iidV1)
            return static_cast<_FileOps*>(this);
        return nullptr;
    }

private:
    // Copies a file or folder (expanded already) to `copyTo`: into it when
    // it ends in "\", else under that name.
    bool copyEntry(const std::string& path, const std::string& copyTo, std::string* cause) {
        if (endsWithBackslash(path) && isFileOnDisk(path)) {
            *cause = ReplacePlaceholders("Not a folder: '%1'", {path});
            return false;
        }
        VARIANT_BOOL isDir = VARIANT_FALSE;
        if (HRESULT h = IsFolder(path, &isDir); FAILED(h)) {
            *cause = errorDescription(h);
            return false;
        }
        const std::string source = withoutTrailingBackslash(path);
        const std::size_t slash = source.rfind('\\');
        if (slash == std::string::npos) {
            *cause = ReplacePlaceholders("Invalid Folder: '%1'", {path});
            return false;
        }
        const std::string destination = endsWithBackslash(copyTo) ? copyTo + source.substr(slash + 1) : copyTo;
        if (isDir) {
            // A copy into the folder itself would copy what it has just copied.
            if (sameOrBelow(destination, source)) {
                *cause = ReplacePlaceholders("Cannot copy folder '%1' into itself.", {source});
                return false;
            }
            EnsureFolderExist(destination);
            // An empty folder has no inner copy that could fail in its place.
            if (!isFolderOnDisk(destination)) {
                *cause = ReplacePlaceholders("Cannot create folder '%1'.", {destination});
                return false;
            }
        }
        winsys::UniqueFd from, to;
        std::string fromName, toName;
        DWORD code = ERROR_SUCCESS;
        if (!locate(withPrefix(source), &from, &fromName, &code) || fromName.empty()) {
            *cause = copyFailure(source, destination, fromName.empty() && !code ? ERROR_FILE_NOT_FOUND : code);
            return false;
        }
        if (!locate(withPrefix(destination), &to, &toName, &code)) {
            *cause = copyFailure(source, destination, code);
            return false;
        }
        if (toName.empty()) toName = destination.substr(destination.rfind('\\') + 1);
        const winsys::CopyOptions merge{winsys::CopyMode::Merge, -1};
        if (auto failed = winsys::copyTree({from.get(), fromName, source}, {to.get(), toName, destination}, merge)) {
            *cause = "Cannot copy '" + source + "' to '" + destination + "'. " + winsys::describeTreeError(*failed);
            return false;
        }
        return true;
    }

    // FileCopyAx's text for a copy that failed with a system error.
    static std::string copyFailure(const std::string& source, const std::string& destination, DWORD code) {
        std::string text = FormatSystemMessage(code);
        if (!(text.ends_with(". ") || text.ends_with("."))) text += ". ";
        return "Cannot copy file '" + source + "' to '" + destination + "'. " + text;
    }
};

const ClassRegistration kRegistration{{CLSID_FileOps, "FileOps", "Halvenlib.FileOps", 0, &createFileOps},
                                      {{_FileOps::iid, "_FileOps"}}};

} // namespace

HRESULT createFileOps(REFIID riid, void** ppv) { return createAs<FileOps>(riid, ppv); }

bool isDriveOrShareRoot(const std::string& pathIn) {
    std::string path = pathIn;
    if (winsys::startsWithNoCase(path, "\\\\?\\UNC\\"))
        path = "\\\\" + path.substr(8);
    else if (path.compare(0, 4, kLongPrefix) == 0 || path.compare(0, 4, "\\??\\") == 0)
        path = path.substr(4);
    if (auto p = winsys::parseWindowsPath(path); p.ok()) return p->parts.empty();
    if (path.size() < 2 || !isSeparator(path[0]) || !isSeparator(path[1])) return false;
    // "\\server\share": folded as Windows folds it, never above the share.
    std::vector<std::string> parts;
    std::string part;
    for (std::size_t i = 2; i <= path.size(); ++i) {
        if (i == path.size() || isSeparator(path[i])) {
            if (part == "..") {
                if (parts.size() > 2) parts.pop_back();
            } else if (!part.empty() && part != ".") {
                parts.push_back(part);
            }
            part.clear();
        } else {
            part += path[i];
        }
    }
    return parts.size() <= 2;
}

} // namespace halvenlib
