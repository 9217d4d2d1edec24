#pragma once
// MMain: the program's start-up (Main) and the program-wide objects that
// the rest of the program reads directly. Main runs its steps under
// resume-next handling in a fixed order; the steps whose objects come with
// later parts of the program (file checker, plugin-host detector, main
// window, collection, the Windows-family tests) are hooks, skipped while
// empty. Messages without a window go through the messageBox hook, so that
// tests see them instead of a box popping up.

#include <functional>
#include <memory>
#include <string>

#include "app/core/caddontypevisor.h"
#include "app/core/cappvisor.h"
#include "app/core/cdb.h"
#include "app/core/cfilechecker.h"
#include "app/core/globals.h"
#include "common/interfaces/registry.h"
#include "platform/com/com_ptr.h"

namespace sorlix {

enum class MessageIcon { None, Exclamation };
// A message box with an OK button and no owner window.
using MessageBoxFn = std::function<void(const std::string& text, const std::string& title, MessageIcon icon)>;

// Program-wide objects, set by Main and kept until MMain::ReleaseProgramObjects;
// the log (Log) and the redirection count are in app/core/globals.h.
extern std::string DataFolder;
extern std::string TempFolder;
extern std::unique_ptr<CDB> DB;
extern std::unique_ptr<CFileChecker> FileChecker;
extern winsys::com::ComPtr<halvenlib::_CRegistry> Registry;
extern std::unique_ptr<CAddonTypeVisor> AddonTypeVisor;
extern std::unique_ptr<CAppVisor> AppVisor;
extern bool IsNT;
extern bool IsNT4;
extern bool Is64bitWindows;

namespace MMain {

struct StartupHooks {
    MessageBoxFn messageBox;
    // The program's own folder (a Windows path); empty means AppPath().
    std::string programFolder;
    // The program-wide objects after FileChecker, in this order, then the first
    // collection and the main window, whose show returns when the user leaves.
    // The program passes CreateAppVisor; tests put their own step there.
    std::function<void()> createAppVisor, createMainForm;
    std::function<void()> collectAllAddonInfo, showMainForm;
};

// How start-up ended.
enum class StartupEnd {
    MainFormClosed,    // ran to its last step
    ComponentsMissing, // a component library is not registered
    Refused,           // the user may not run the program
    HandedOver,        // the elevation library was started
    DataFolderUnusable, // a link or a file stands where the data folder goes
};

StartupEnd Main(const StartupHooks& hooks);

// Creates one object of each component library by class; on failure
// `Message` names the library ("HALVENLIB.DLL", "QUARNCUST.DLL").
bool CheckComponentsRegistered(std::string& Message);

// The folder of the running program file, as a Windows path (Z:\...).
std::string AppPath();

// AppVisor = a new plugin-host detector.
void CreateAppVisor();

// Drops every program-wide object (at the end of the program, and between tests).
void ReleaseProgramObjects();

} // namespace MMain

} // namespace sorlix
