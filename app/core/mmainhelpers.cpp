#include "app/core/mmainhelpers.h"

#include <exception>
#include <utility>

#include "app/core/mapi.h"
#include "app/core/comcalls.h"
#include "app/core/globals.h"
#include "platform/com/variant.h"

namespace sorlix::MMain {

namespace {

using halvenlib::_CCollection;
using halvenlib::_CParams;
using winsys::com::call;
using winsys::com::ComPtr;

} // namespace

std::string JoinPath(const std::string& Folder, const std::string& Name) {
    if (Folder.empty()) return Name;
    if (Folder.back() == '\\') return Folder + Name;
    return Folder + "\\" + Name;
}

bool IsWindows64bit() {
    win::VARIANT_BOOL is64 = win::VARIANT_FALSE;
    call([&] { return Global()->IsWindows64bit(&is64); });
    return is64 != win::VARIANT_FALSE;
}

std::string ShellFolder(win::LONG csidl) {
    std::string folder;
    call([&] { return Global()->SHGetFolderPath(csidl, &folder); });
    return folder;
}

void AddParamFromCollection(_CCollection* Source, _CParams* Target, const std::string& Key,
                            const std::string& ParamName) {
    if (!HasItem(Source, Key)) return;
    const std::string value = MAPI::Trim(ItemText(Source, Key));
    if (!value.empty()) AddParam(Target, ParamName, winsys::com::makeText(value));
}

void AddFileInfoToResultNode(halvenlib::_CNode* Node, const std::string& FileName) {
    try {
        ComPtr<_CCollection> info;
        call([&] { return Global()->FileVersionInfo(FileName, info.put()); });
        ComPtr<_CParams> params;
        call([&] { return Node->get_params(params.put()); });

        if (HasItem(info.get(), "CompanyName"))
            AddParam(params.get(), "manufacturer", winsys::com::makeText(ItemText(info.get(), "CompanyName")));
        std::string version;
        if (HasItem(info.get(), "ProductVersion")) version = ItemText(info.get(), "ProductVersion");
        else if (HasItem(info.get(), "FileVersion")) version = ItemText(info.get(), "FileVersion");
        AddParam(params.get(), "version", winsys::com::makeText(version));
    } catch (const std::exception& e) {
        LogError(e, "MMain.AddFileInfoToResultNode");
    }
}

void DisableWow64Redirection() {
    if (Wow64RedirectionCount == 0) {
        ComPtr<halvenlib::_FileOps> ops = FileOps();
        call([&] { return ops->Wow64DisableWow64FileSystemRedirection(); });
    }
    ++Wow64RedirectionCount;
}

void RevertWow64Redirection() {
    --Wow64RedirectionCount;
    if (Wow64RedirectionCount == 0) {
        ComPtr<halvenlib::_FileOps> ops = FileOps();
        call([&] { return ops->Wow64RevertWow64FileSystemRedirection(); });
    }
}

Wow64RedirectionOff::Wow64RedirectionOff(std::string source, bool off) : source_(std::move(source)) {
    if (!off) return;
    DisableWow64Redirection();
    off_ = true;
}

Wow64RedirectionOff::~Wow64RedirectionOff() {
    if (!off_) return;
    try {
        RevertWow64Redirection();
    } catch (const std::exception& e) {
        LogError(e, source_);
    }
}

} // namespace sorlix::MMain
