#include "app/core/mmain.h"

// Every step of Main runs through one ResumeNext, so a failing step is
// skipped and remembered; the pending error is logged once the program-wide
// objects exist. Start-up ends early only after the component check or the
// elevation check.

#include <filesystem>
#include <system_error>

#include "app/core/caxbackuper.h"
#include "app/core/comcalls.h"
#include "app/core/mapi.h"
#include "app/core/mmainhelpers.h"
#include "app/core/mvista.h"
#include "app/core/ownfolders.h"
#include "app/core/resume_next.h"
#include "app/core/strings.h"
#include "common/interfaces/fileops.h"
#include "common/interfaces/global.h"
#include "common/interfaces/records.h"
#include "components/interfaces/quarncust.h"
#include "platform/com/class_registry.h"
#include "platform/com/late_bound.h"
#include "platform/com/variant.h"
#include "platform/core/text.h"
#include "platform/files/paths.h"
#include "platform/registry/registry.h"

namespace sorlix {

using halvenlib::_axLog;
using win::LONG;
using winsys::com::call;
using winsys::com::ComPtr;

std::string DataFolder;
std::string TempFolder;
std::unique_ptr<CDB> DB;
std::unique_ptr<CFileChecker> FileChecker;
ComPtr<halvenlib::_CRegistry> Registry;
std::unique_ptr<CAddonTypeVisor> AddonTypeVisor;
std::unique_ptr<CAppVisor> AppVisor;
bool IsNT = false;
bool IsNT4 = false;
bool Is64bitWindows = false;

namespace MMain {

namespace {

constexpr const char* kSource = "MMain.Main";
constexpr const char* kProductFolder = "Vendrel Sorlix";

void trace(const std::string& text) { required(Log)->LogIt(0, text, halvenlib::sevTrace, kSource); }

std::string versionLine() {
    return LoadResString(100) + " ver." + std::to_string(kAppMajor) + "." + std::to_string(kAppMinor) + "." +
           std::to_string(kAppRevision);
}

std::string windowsLine() {
    LONG major = 0, minor = 0, build = 0, platform = 0;
    std::string servicePack, text;
    call([&] { return Global()->WindowsVersion(&major, &minor, &build, &platform, &servicePack, &text); });
    return "Windows: " + text;
}

// Init may put another log into its by-reference argument. Only a log
// object that comes back replaces ours: an argument left empty or holding
// something else keeps the log we have.
void customise() {
    ComPtr<win::IDispatch> custom;
    call([&] { return winsys::com::createByProgId("Quarncust.CCustom2", win::IDispatch::iid, custom.putVoid()); });
    win::VARIANT log = winsys::com::makeObject(Log.get());
    winsys::com::callMethod(custom.get(), "Init", {winsys::com::byRef(&log)});
    const win::VARIANT& back = winsys::com::deref(log);
    if (back.vt != win::VT_DISPATCH || !back.pdispVal) return;
    ComPtr<_axLog> replacement;
    if (win::SUCCEEDED(back.pdispVal->QueryInterface(_axLog::iid, replacement.putVoid())) && replacement)
        Log = std::move(replacement);
}

} // namespace

bool CheckComponentsRegistered(std::string& Message) {
    std::string library;
    try {
        library = "Halvenlib.dll";
        ComPtr<halvenlib::_CCollection> collection;
        call([&] { return winsys::com::createInstance(halvenlib::CLSID_CCollection, &collection); });
        library = "Quarncust.dll";
        ComPtr<quarncust::_CCustom2> custom;
        call([&] { return winsys::com::createInstance(quarncust::CLSID_CCustom2, &custom); });
        return true;
    } catch (const std::exception&) {
        Message = "Component '" + winsys::upperCase(library) +
                  "' or one of its dependencies not correctly registered: a file is missing or invalid. Try to "
                  "reinstall Vendrel Sorlix.";
        return false;
    }
}

StartupEnd Main(const StartupHooks& hooks) {
    ResumeNext err;

    err.step([&] {
        std::string local;
        call([&] { return Global()->LocalApplicationDataFolder(&local); });
        DataFolder = JoinPath(local, kProductFolder);
    });
    err.step([&] { TempFolder = DataFolder + "\\Temp"; });
    // Both are the program's own, made and opened without following a link:
    // with a link or a file in their place the logs, work files and backups
    // would go wherever it points, so the program does not start.
    std::optional<winsys::TreeError> unusable;
    err.step([&] {
        winsys::UniqueFd folder;
        unusable = OpenOwnFolder(DataFolder, true, &folder);
        if (!unusable) unusable = OpenOwnFolder(TempFolder, true, &folder);
    });
    if (unusable && (unusable->code == win::ERROR_CANT_RESOLVE_FILENAME || unusable->code == win::ERROR_DIRECTORY)) {
        err.step([&] {
            hooks.messageBox(FormatString("Cannot use the data folder '%1'. %2",
                                          {DataFolder, winsys::describeTreeError(*unusable)}),
                             "Vendrel Sorlix", MessageIcon::Exclamation);
        });
        return StartupEnd::DataFolderUnusable;
    }

    err.step([&] {
        ComPtr<_axLog> log;
        call([&] { return winsys::com::createInstance(halvenlib::CLSID_axLog, &log); });
        Log = std::move(log);
    });
    err.step([&] {
        call([&] { return required(Log)->Init2(DataFolder + "\\Vendrel Sorlix.log", DataFolder + "\\short.log"); });
    });

    err.step([&] { trace("********** start app"); });
    err.step([&] { trace(versionLine()); });
    err.step([&] { trace(windowsLine()); });
    // Hive lines the registry could not read are kept in their files; the
    // user learns of them here.
    err.step([&] {
        for (const std::string& w : winsys::registryWarnings())
            required(Log)->LogIt(0, "Registry: " + w, halvenlib::sevWarning, kSource);
    });

    err.step(customise);

    std::string message;
    bool registered = true;
    err.step([&] { registered = CheckComponentsRegistered(message); });
    if (!registered) {
        err.step([&] { hooks.messageBox(message, "Vendrel Sorlix", MessageIcon::None); });
        err.step([&] { required(Log)->LogIt(0, message, halvenlib::sevInternalError, kSource); });
        return StartupEnd::ComponentsMissing;
    }

    err.step([&] { IsNT = MAPI::IsWindowsNT(); });
    err.step([&] { IsNT4 = MAPI::IsWindowsNT4(); });
    err.step([&] { Is64bitWindows = MMain::IsWindows64bit(); });

    err.step([&] {
        ComPtr<halvenlib::_CRegistry> registry;
        call([&] { return winsys::com::createInstance(halvenlib::CLSID_CRegistry, &registry); });
        Registry = std::move(registry);
    });

    MVista::ElevationOutcome elevation = MVista::ElevationOutcome::GoOn;
    err.step([&] {
        elevation = MVista::CheckElevation(hooks.messageBox,
                                           hooks.programFolder.empty() ? AppPath() : hooks.programFolder);
    });
    if (elevation == MVista::ElevationOutcome::Refused) return StartupEnd::Refused;
    if (elevation == MVista::ElevationOutcome::HandedOver) return StartupEnd::HandedOver;

    // What a killed backup or restore left in the store goes before anything
    // looks at it; the store's index is reached through the registry object.
    err.step([&] {
        std::string cause;
        if (!CAxBackuper::RemoveAllLeftovers(DataFolder, kProductRegistryKey, cause))
            required(Log)->LogIt(0, "Backup store: " + cause, halvenlib::sevError, kSource);
    });

    err.step([&] { DB = std::make_unique<CDB>(Log); });
    err.step([&] { FileChecker = std::make_unique<CFileChecker>(IsNT, IsNT4); });
    err.step([&] { if (hooks.createAppVisor) hooks.createAppVisor(); });
    err.step([&] { AddonTypeVisor = std::make_unique<CAddonTypeVisor>(); });
    err.step([&] { if (hooks.createMainForm) hooks.createMainForm(); });

    if (err.pending()) {
        const LONG number = err.number();
        const std::string description = err.description();
        err.clear();
        err.step([&] { required(Log)->LogIt(number, description, halvenlib::sevError, kSource); });
    }

    err.step([&] { if (hooks.collectAllAddonInfo) hooks.collectAllAddonInfo(); });
    err.step([&] { if (hooks.showMainForm) hooks.showMainForm(); });
    return StartupEnd::MainFormClosed;
}

std::string AppPath() {
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : winsys::toWindowsPath(exe.parent_path());
}

void CreateAppVisor() { AppVisor = std::make_unique<CAppVisor>(); }

void ReleaseProgramObjects() {
    DB.reset();
    FileChecker.reset();
    AddonTypeVisor.reset();
    AppVisor.reset();
    Registry.reset();
    Log.reset();
    DataFolder.clear();
    TempFolder.clear();
    IsNT = IsNT4 = Is64bitWindows = false;
}

} // namespace MMain

} // namespace sorlix
