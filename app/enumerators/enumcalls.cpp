#include "app/enumerators/enumcalls.h"

#include <optional>

#include "app/core/cappvisor.h"
#include "app/core/mmain.h"
#include "app/core/resume_next.h"
#include "common/interfaces/fileops.h"
#include "common/interfaces/global.h"
#include "common/interfaces/registry.h"
#include "platform/com/class_registry.h"
#include "platform/com/com_error.h"
#include "platform/com/variant.h"
#include "platform/files/find.h"
#include "platform/files/files.h"

namespace sorlix::Enum {

using halvenlib::_CCollection;
using halvenlib::_CNode;
using halvenlib::_CNodes;
using halvenlib::_CParams;
using win::LONG;
using winsys::com::call;
using winsys::com::check;
using winsys::com::ComPtr;

ComPtr<_CNodes> NewNodes() {
    ComPtr<_CNodes> nodes;
    check(winsys::com::createInstance(halvenlib::CLSID_CNodes, &nodes));
    return nodes;
}

ComPtr<_CParams> NewRecord(_CNodes* result) {
    ComPtr<_CNode> node;
    call([&] { return result->Add(node.put()); });
    ComPtr<_CParams> params;
    call([&] { return node->get_params(params.put()); });
    return params;
}

ComPtr<quarncust::_CLittleConfig> NewLittleConfig() {
    ComPtr<quarncust::_CLittleConfig> cfg;
    check(winsys::com::createInstance(quarncust::CLSID_CLittleConfig, &cfg));
    return cfg;
}

ComPtr<quarncust::_CLittleConfig> FileOrFolderConfig(const std::string& path, bool x64bitSystem32) {
    const ComPtr<quarncust::_CLittleConfig> cfg = NewLittleConfig();
    win::VARIANT flag = winsys::com::makeBool(x64bitSystem32);
    call([&] { return cfg->AddFileOrFolder(path, &flag); });
    return cfg;
}

void AddText(_CParams* record, const std::string& name, const std::string& value) {
    AddParam(record, name, winsys::com::makeText(value));
}

void AddObject(_CParams* record, const std::string& name, win::IDispatch* object) {
    AddParam(record, name, winsys::com::makeObject(object));
}

bool FileExists(const std::string& path) {
    win::VARIANT_BOOL exists = win::VARIANT_FALSE;
    call([&] { return FileOps()->isFileExist(path, &exists); });
    return exists != win::VARIANT_FALSE;
}

bool IsFolder(const std::string& path) {
    win::VARIANT_BOOL folder = win::VARIANT_FALSE;
    call([&] { return FileOps()->IsFolder(path, &folder); });
    return folder != win::VARIANT_FALSE;
}

std::vector<std::string> InstallFolders(LONG product) {
    const ComPtr<halvenlib::_CGumArray> table = ProgramObject(AppVisor).InstallFoldersAndVersions(product);
    std::vector<std::string> folders;
    for (LONG row = 1, rows = RowCount(required(table)); row <= rows; ++row)
        folders.push_back(CellText(table.get(), row, 1));
    return folders;
}

std::vector<std::string> DirectoryContents(const std::string& folder) {
    ComPtr<halvenlib::_Collection> c;
    call([&] { return FileOps()->DirectoryContents(folder, c.put()); });
    LONG n = 0;
    call([&] { return c->Count(&n); });
    std::vector<std::string> names;
    names.reserve(static_cast<std::size_t>(n));
    for (LONG i = 1; i <= n; ++i) {
        win::VARIANT index = winsys::com::makeLong(i), item;
        call([&] { return c->Item(&index, &item); });
        names.push_back(VariantText(item));
    }
    return names;
}

namespace {

// The attributes of what FileOps.isFileExist finds at `path` (no trailing
// "\"), or nothing.
std::optional<win::DWORD> attributesFound(const std::string& path) {
    win::WIN32_FIND_DATA data;
    win::UniqueFindHandle search(win::FindFirstFile(path, &data));
    if (!search) return std::nullopt;
    return data.dwFileAttributes;
}

} // namespace

std::vector<FolderEntry> FolderEntries(const std::string& folder) {
    // FileOps.DirectoryContents' own pattern.
    const std::string pattern = (folder.starts_with("\\\\?\\") ? folder : "\\\\?\\" + folder) +
                                (folder.ends_with('\\') ? "*.*" : "\\*.*");
    std::vector<FolderEntry> entries;
    win::WIN32_FIND_DATA data;
    win::UniqueFindHandle search(win::FindFirstFile(pattern, &data));
    if (!search) return entries;
    do {
        if (data.cFileName != "." && data.cFileName != "..")
            entries.push_back({data.cFileName, (data.dwFileAttributes & win::FILE_ATTRIBUTE_DIRECTORY) != 0,
                               (data.dwFileAttributes & win::FILE_ATTRIBUTE_REPARSE_POINT) != 0});
    } while (win::FindNextFile(search.get(), &data));
    return entries;
}

PathKind KindOf(const std::string& path) {
    if (path.ends_with('\\')) return !FileExists(path) ? PathKind::Missing : IsFolder(path) ? PathKind::Folder : PathKind::File;
    const auto attributes = attributesFound(path);
    if (!attributes) return PathKind::Missing;
    return (*attributes & win::FILE_ATTRIBUTE_DIRECTORY) ? PathKind::Folder : PathKind::File;
}

std::string ReadInputFile(const std::string& path) {
    // One byte beyond the bound tells a larger file from one of exactly that size.
    winsys::Result<std::vector<std::uint8_t>> bytes = winsys::readFile(path, kMaxInputFileBytes + 1);
    if (!bytes) {
        const win::DWORD code = bytes.error().code;
        if (code == win::ERROR_FILE_NOT_FOUND || code == win::ERROR_PATH_NOT_FOUND) {
            const win::HRESULT hr = winsys::com::hresultFromNumber(53);
            throw winsys::com::ComError(hr, "File not found: '" + path + "'", "FileOps");
        }
        throw winsys::com::ComError(win::HRESULT_FROM_WIN32(code), "Cannot read '" + path + "': " + bytes.error().message,
                                    "FileOps");
    }
    if (bytes->size() > kMaxInputFileBytes)
        throw winsys::com::ComError(win::HRESULT_FROM_WIN32(win::ERROR_FILE_TOO_LARGE),
                                    "The file '" + path + "' is larger than 8 MiB; it is not read.", "FileOps");
    return std::string(bytes->begin(), bytes->end());
}

std::vector<std::string> Texts(_CCollection* list) {
    LONG n = 0;
    call([&] { return required(ComPtr<_CCollection>(list))->get_Count(&n); });
    std::vector<std::string> texts;
    texts.reserve(static_cast<std::size_t>(n));
    for (LONG i = 1; i <= n; ++i) texts.push_back(ItemText(list, i));
    return texts;
}

void AddKeyedText(_CCollection* list, const std::string& text) {
    if (HasItem(list, text)) return;
    win::VARIANT item = winsys::com::makeText(text), key = winsys::com::makeText(text);
    call([&] { return list->Add(&item, &key, nullptr, nullptr); });
}

std::string QueryString(LONG root, std::string subkey, std::string valueName) {
    std::string value;
    win::VARIANT_BOOL ok = win::VARIANT_FALSE;
    call([&] { return required(Registry)->QuerySTRING(&root, &subkey, &valueName, &value, &ok); });
    return ok != win::VARIANT_FALSE ? value : std::string();
}

bool ValueNames(LONG root, const std::string& subkey, std::vector<std::string>& names) {
    ComPtr<_CCollection> list;
    std::string cause;
    win::VARIANT_BOOL ok = win::VARIANT_FALSE;
    call([&] { return required(Registry)->EnumValuesEx(root, subkey, list.put(), &cause, &ok); });
    if (ok == win::VARIANT_FALSE) return false;
    names = Texts(list.get());
    return true;
}

} // namespace sorlix::Enum
