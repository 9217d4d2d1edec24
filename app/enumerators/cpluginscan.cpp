#include "app/enumerators/cpluginscan.h"

// Operations that fail log one sevError line "<class>.<operation>" and end;
// the folder queue of the AsGiven form and the QueuePlugin that reads image
// headers have no trap, so their errors reach the caller's.

#include <exception>
#include <string_view>

#include "app/core/comcalls.h"
#include "app/core/mapi.h"
#include "app/core/mmainhelpers.h"
#include "app/core/programming_error.h"
#include "app/enumerators/enumcalls.h"
#include "platform/com/com_error.h"
#include "platform/com/variant.h"
#include "platform/files/files.h"

namespace sorlix {

namespace {

using halvenlib::_CCollection;
using halvenlib::_CNodes;
using halvenlib::_CParams;
using quarncust::_CLittleConfig;
using win::LONG;
using winsys::com::call;
using winsys::com::ComPtr;

using Form = PluginFolderForm;
using Machine = PluginMachine;

// Index by type number; the columns follow PluginScanSettings.
const std::vector<PluginScanSettings>& settingsTable() {
    static const std::vector<PluginScanSettings> rows{
        {11, "CShared32PluginsEnum", "QueuePluginFolder", "ProcessPluginsFolder", "ProcessPlugin", Form::AsGiven,
         false, Machine::Any, true, false, false, {1}, false},
        {12, "CShared64PluginsEnum", "QueuePluginFolder", "ProcessPluginsFolder", "ProcessPlugin", Form::AsGiven,
         true, Machine::Any, true, false, false, {1, 2}, true},
        {14, "CFFPluginsEnumerator", "QueuePluginFolder", "ProcessMoPluginFolders", "ProcessMoPlugins",
         Form::DropBackslash, false, Machine::I386, true, true, false, {1}, false},
        {16, "CWF64PluginEnum", "QueuePluginFolder", "ProcessMoPluginFolders", "ProcessMoPlugins",
         Form::DropBackslash, true, Machine::X64, true, true, false, {1}, true},
        {18, "CChromePluginEnum", "QueuePluginsFolder", "ProcessPluginsFolder", "ProcessPlugin", Form::AsGiven,
         false, Machine::Any, true, false, false, {4, 5, 6, 7}, false},
        {20, "CSafariPluginEnum", "QueuePluginsFolder", "ProcessPluginsFolder", "ProcessPlugin", Form::Folder,
         false, Machine::Any, false, false, false, {1}, false},
        {22, "COperaPluginEnum", "QueuePluginsFolder", "ProcessPluginsFolder", "ProcessPluginFile",
         Form::TrimmedFolder, false, Machine::Any, true, false, true, {1, 3}, false},
        {24, "COperaPluginEnum", "QueuePluginsFolder", "ProcessPluginsFolder", "ProcessPluginFile",
         Form::TrimmedFolder, true, Machine::Any, true, false, true, {1, 3}, true},
    };
    return rows;
}

// Well-known files that carry no version resource, matched on the end of
// the lower-cased path.
struct FixedName {
    std::string_view tail;
    const char* originalName;
    const char* manufacturer;
    const char* description; // null: none
};
constexpr FixedName kFixedNames[] = {
    {"flash\\npswf32.dll", "Shockwave Flash", "Adobe Systems Incorporated", nullptr},
    {"flash\\npswf64_11_1_102.dll", "Shockwave Flash", "Adobe Systems Incorporated", nullptr},
    {"\\npswf64_11_1_102.dll", "Shockwave Flash", "Adobe Systems Incorporated", "Shockwave Flash 11.1 r102"},
    {"\\npswf32.dll", "Shockwave Flash", "Adobe Systems Incorporated", nullptr},
    {"\\gcswf32.dll", "Shockwave Flash", "Adobe Systems Incorporated", nullptr},
    {"\\ppgooglenaclpluginchrome.dll", "Native Client", "Google Inc", nullptr},
    {"\\pepflashplayer.dll", "Shockwave Flash", "Google Inc", nullptr},
};

template <class F>
void trapped(const std::string& source, F&& f) {
    try {
        f();
    } catch (const std::exception& e) {
        LogError(e, source);
    }
}

bool isExistingFile(const std::string& path) { return Enum::KindOf(path) == Enum::PathKind::File; }

bool machineIs(const std::string& path, Machine wanted) {
    win::VARIANT_BOOL is32 = win::VARIANT_FALSE, is64 = win::VARIANT_FALSE, ok = win::VARIANT_FALSE;
    std::string cause;
    call([&] { return FileOps()->LoadFileHeaderMachine(path, &is32, &is64, &cause, &ok); });
    if (ok == win::VARIANT_FALSE) return false;
    return (wanted == Machine::I386 ? is32 : is64) != win::VARIANT_FALSE;
}

// "np" at the start and ".dll" at the end, in any case; "np.dll" qualifies.
bool isPluginName(const std::string& name) {
    const std::string lower = winsys::lowerCase(name);
    return lower.starts_with("np") && lower.ends_with(".dll");
}

// A file's key in the plugin set: its path folded as Windows folds it ("/"
// as "\", "." and ".." resolved, repeated separators one), so that a
// registration that spells a scanned file otherwise meets it in one record.
// A path that cannot be folded is its own key.
std::string pluginKey(const std::string& path) {
    std::string full;
    return win::GetFullPathName(path, &full) != 0 ? full : path;
}

LONG count(_CCollection* c) {
    LONG n = 0;
    call([&] { return c->get_Count(&n); });
    return n;
}

} // namespace

const PluginScanSettings& PluginScanSettingsOf(LONG addonType) {
    for (const PluginScanSettings& s : settingsTable())
        if (s.addonType == addonType) return s;
    programmingError("add-on type " + std::to_string(addonType) + " is no plugin type");
}

CPluginScan::CPluginScan(LONG addonType) : settings_(PluginScanSettingsOf(addonType)) {}

std::string CPluginScan::source(const char* operation) const {
    return std::string(settings_.className) + "." + operation;
}

void CPluginScan::QueuePluginFolder(const std::string& folder) {
    if (settings_.folderForm == Form::AsGiven) return queueFolder(folder);
    trapped(source(settings_.queueFolderName), [&] { queueFolder(folder); });
}

void CPluginScan::queueFolder(std::string folder) {
    switch (settings_.folderForm) {
    case Form::DropBackslash:
        if (!folder.empty() && folder.back() == '\\') folder.pop_back();
        break;
    case Form::TrimmedFolder: folder = MAPI::Trim(folder); break;
    case Form::AsGiven:
    case Form::Folder: break;
    }
    if (settings_.folderForm != Form::DropBackslash && folder.empty()) return;
    if (folderKeys_.contains(folder)) return;
    const bool mustBeFolder = settings_.folderForm == Form::Folder || settings_.folderForm == Form::TrimmedFolder;
    if (mustBeFolder ? Enum::KindOf(folder) != Enum::PathKind::Folder : !Enum::FileExists(folder)) return;
    folderKeys_.insert(folder);
    folders_.push_back(folder);
}

void CPluginScan::ProcessPluginFolders() {
    if (settings_.onePass) {
        trapped(source(settings_.scanName), [&] {
            for (const std::string& folder : folders_) scanFolder(folder);
        });
        return;
    }
    // A copy: a folder queued while scanning is not scanned.
    const std::vector<std::string> folders = folders_;
    for (const std::string& folder : folders) ProcessPluginsFolder(folder);
}

void CPluginScan::ProcessPluginsFolder(const std::string& folder) {
    trapped(source(settings_.scanName), [&] { scanFolder(folder); });
}

void CPluginScan::scanFolder(const std::string& folder) {
    for (const std::string& name : Enum::DirectoryContents(folder)) {
        if (!isPluginName(name)) continue;
        if (settings_.folderForm == Form::DropBackslash)
            QueuePlugin((folder.ends_with('\\') ? folder : folder + "\\") + name);
        else
            QueuePlugin(MMain::JoinPath(folder, name));
    }
}

void CPluginScan::ProcessAdobeReaderFolder(const std::string& folder) {
    trapped(source("ProcessAdobeReaderFolder"), [&] {
        const std::string base = folder.ends_with('\\') ? folder : folder + "\\";
        for (const std::string& name : Enum::DirectoryContents(base)) {
            if (winsys::lowerCase(name) == "nppdf32.dll") continue;
            const std::string path = base + name;
            if (isExistingFile(path)) QueuePlugin(path);
        }
    });
}

void CPluginScan::QueuePlugin(const std::string& path, ComPtr<_CLittleConfig> record) {
    if (settings_.machine != Machine::Any) return queuePlugin(path, std::move(record));
    trapped(source("QueuePlugin"), [&] { queuePlugin(path, std::move(record)); });
}

void CPluginScan::queuePlugin(std::string path, ComPtr<_CLittleConfig> record) {
    const bool machineTest = settings_.machine != Machine::Any;
    if (machineTest) {
        path = MAPI::Trim(path);
        // Reading the image header is the existence test: a missing path, a
        // folder or a file of no image never has a machine.
        if (path.empty() || !machineIs(path, settings_.machine)) return;
    } else if (path.empty()) {
        return;
    }
    const auto recordOrFile = [&] {
        return record ? record : Enum::FileOrFolderConfig(path, settings_.x64bitSystem32);
    };
    std::string key = pluginKey(path);
    if (const auto stored = records_.find(key); stored != records_.end()) {
        if (settings_.mergesRepeats) {
            const ComPtr<_CLittleConfig> merged = recordOrFile();
            _CLittleConfig* other = merged.get();
            call([&] { return stored->second->AddLittleConfig(&other); });
        }
        return;
    }
    if (!machineTest && !isExistingFile(path)) return;
    if (IsIgnored && IsIgnored(path)) return;
    // The record first: a file whose record cannot be made is not queued.
    records_.emplace(std::move(key), recordOrFile());
    plugins_.push_back(path);
}

ComPtr<_CNodes> CPluginScan::ProcessPlugins() {
    ComPtr<_CNodes> result = Enum::NewNodes();
    if (settings_.onePass) {
        try {
            for (const std::string& path : plugins_) processPlugin(path, result.get());
        } catch (const std::exception& e) {
            LogError(e, source(settings_.recordName));
            return nullptr;
        }
        return result;
    }
    for (const std::string& path : plugins_)
        trapped(source(settings_.recordName), [&] { processPlugin(path, result.get()); });
    return result;
}

void CPluginScan::processPlugin(const std::string& path, _CNodes* result) {
    ComPtr<_CCollection> info;
    call([&] { return Global()->FileVersionInfo(path, info.put()); });
    const ComPtr<_CParams> params = Enum::NewRecord(result);

    Enum::AddText(params.get(), "dLL", path);
    if (settings_.flagKey) AddParam(params.get(), "file64bitSystem32", winsys::com::makeBool(settings_.x64bitSystem32));
    AddParam(params.get(), "backupCfg", winsys::com::makeObject(records_.at(pluginKey(path)).get()));

    if (count(info.get()) > 0) {
        MMain::AddParamFromCollection(info.get(), params.get(), "CompanyName", "manufacturer");
        MMain::AddParamFromCollection(info.get(), params.get(), "ProductName", "originalName");
        MMain::AddParamFromCollection(info.get(), params.get(), "FileDescription", "description");
        MMain::AddParamFromCollection(info.get(), params.get(), "LegalCopyright", "copyright");
        std::string searchName;
        if (HasParam(params.get(), "originalName")) searchName = ParamText(params.get(), "originalName");
        if (searchName.empty() && HasParam(params.get(), "description"))
            searchName = ParamText(params.get(), "description");
        Enum::AddText(params.get(), "websearchName", searchName);
        return;
    }
    const std::string lower = winsys::lowerCase(path);
    for (int row : settings_.fixedNames) {
        const FixedName& f = kFixedNames[row - 1];
        if (!lower.ends_with(f.tail)) continue;
        Enum::AddText(params.get(), "originalName", f.originalName);
        Enum::AddText(params.get(), "websearchName", f.originalName);
        Enum::AddText(params.get(), "manufacturer", f.manufacturer);
        if (f.description) Enum::AddText(params.get(), "description", f.description);
        return;
    }
}

} // namespace sorlix
