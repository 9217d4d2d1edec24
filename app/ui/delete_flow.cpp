#include "app/ui/delete_flow.h"

#include <QCoreApplication>
#include <algorithm>
#include <cctype>
#include <memory>
#include <utility>

#include "app/core/caxbackuper.h"
#include "app/core/comcalls.h"
#include "app/core/mapi.h"
#include "app/core/minfocollector.h"
#include "app/core/mmain.h"
#include "app/core/strings.h"
#include "app/ui/fobjectlist.h"
#include "app/ui/messages.h"
#include "platform/com/com_error.h"
#include "platform/com/message_queue.h"
#include "platform/com/variant.h"

namespace sorlix::ui {

using halvenlib::_CParams;
using quarncust::_CLittleConfig;
using win::LONG;
using win::VARIANT;
using winsys::com::ComPtr;

namespace {

constexpr LONG kYesNo = winsys::controls::TaskDialog::kYes + winsys::controls::TaskDialog::kNo;
constexpr LONG kOk = winsys::controls::TaskDialog::kOk;

// A removal record held in the add-on record; a value that is no record
// fails as a type mismatch does.
ComPtr<_CLittleConfig> config(_CParams* p, const std::string& name) {
    const VARIANT stored = ParamValue(p, name);
    const VARIANT& v = winsys::com::deref(stored);
    ComPtr<_CLittleConfig> cfg;
    if (v.vt == win::VT_DISPATCH && v.pdispVal)
        v.pdispVal->QueryInterface(_CLittleConfig::iid, cfg.putVoid());
    if (!cfg) winsys::com::check(win::DISP_E_TYPEMISMATCH);
    return cfg;
}

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

// A name such as "Acme Toolbar" already says its kind: no second "Toolbar".
bool endsWithWording(const std::string& name, const std::string& wording) {
    return name.size() >= wording.size() && lower(name.substr(name.size() - wording.size())) == lower(wording);
}

} // namespace

DeleteFlow::DeleteFlow(FObjectList& list, winsys::controls::TaskDialog& dialog, std::function<void()> focusTablePane)
    : list_(list), dialog_(dialog), focusTablePane_(std::move(focusTablePane)) {}

void DeleteFlow::MenuRemove() {
    try {
        bool selected = false, folder = false;
        LONG addonType = 0;
        std::string objectId;
        ComPtr<_CParams> addonInfo;
        list_.CurrentNodeInfo(selected, folder, addonType, objectId, addonInfo);
        if (selected && !folder) RemoveObject(objectId);
    } catch (const std::exception& e) {
        LogError(e, "FMain.MenuRemove");
    }
}

void DeleteFlow::RemoveObject(const std::string& ObjectID) {
    try {
        if (ObjectID.empty()) return;
        const ComPtr<_CParams> addonInfo = ProgramObject(DB).AddonInfo(ObjectID);
        const LONG addonType = ProgramObject(DB).AddonType(ObjectID);
        const CAddonTypeVisor& visor = ProgramObject(AddonTypeVisor);
        const bool deleted =
            RemoveAddon(addonInfo.get(), visor.AddonTypeTitleName(addonType), visor.BackupObjectName(addonType));
        if (deleted) {
            MInfoCollector::RecollectAddonInfo(addonType);
            list_.RefreshTree(list_.CurrentAddonSet(), true);
            list_.ShowDetails();
        }
        QCoreApplication::processEvents();
        winsys::pumpOneMessage();
        if (focusTablePane_) focusTablePane_();
    } catch (const std::exception& e) {
        LogError(e, "FMain.RemoveObject");
    }
}

bool DeleteFlow::RemoveAddon(_CParams* AddonInfo, const std::string& TypeTitle, const std::string& BackupObjectName) {
    bool deleted = false;
    if (!AddonInfo) return deleted;
    try {
        std::string name = ParamText(AddonInfo, "displayName");
        if (!endsWithWording(name, TypeTitle)) name += " " + TypeTitle;
        const std::string title = "Delete " + MAPI::CapitalizeWords(TypeTitle);

        LONG buttons = kYesNo, result = 0;
        ShowMessage(dialog_, FormatString(LoadResString(156), {name}), buttons, title, result);
        if (result != winsys::controls::TaskDialog::kYes) return deleted;

        CAxBackuper backuper;
        const ComPtr<_CLittleConfig> backupCfg = config(AddonInfo, "backupCfg");
        const std::string backupName = HasParam(AddonInfo, "originalName") ? ParamText(AddonInfo, "originalName")
                                                                          : LoadResString(110);
        const std::string description = HasParam(AddonInfo, "description") ? ParamText(AddonInfo, "description") : "";

        std::string falseCause;
        if (!backuper.Init(DataFolder, kProductRegistryKey, BackupObjectName, falseCause)) {
            buttons = kOk;
            ShowMessage(dialog_, falseCause, buttons, title, result);
            return deleted;
        }
        const bool backedUp = backuper.Backup(backupName, description, backupCfg.get(), falseCause);
        if (!backedUp) {
            if (Log)
                Log->LogIt(0, FormatString("Backup failed (%1): %2", {BackupObjectName, falseCause}),
                           halvenlib::sevInternalError, "FMain.RemovePlugin");
        } else {
            std::vector<StayedPart> stayed;
            const auto keepFailures = [&](bool restorable) {
                for (const CAxBackuper::RemovalFailure& f : backuper.RemovalFailures())
                    stayed.push_back({f.text, restorable && !f.madeSinceBackup});
            };
            backuper.RemoveByLittleConfig(backupCfg.get());
            keepFailures(true);
            if (HasParam(AddonInfo, "deleteCfg")) {
                backuper.RemoveByLittleConfig(config(AddonInfo, "deleteCfg").get());
                keepFailures(false); // never backed up
            }
            // Parts left behind are the user's to know of; the backup stays
            // listed, so Restore can put back what went of it.
            if (!stayed.empty()) {
                buttons = kOk;
                ShowMessage(dialog_, PartlyDeletedMessage(name, stayed), buttons, title, result);
            }
        }
        // The type is collected again even after a failed backup, which deleted nothing.
        deleted = true;
        if (!backedUp) {
            buttons = kOk;
            // The engine's reason names the entry at fault, so the user can act on it.
            ShowMessage(dialog_, FormatString(LoadResString(158), {name}) + falseCause, buttons, title, result);
        }
    } catch (const std::exception& e) {
        LogError(e, "FMain.RemoveAddon");
    }
    return deleted;
}

} // namespace sorlix::ui
