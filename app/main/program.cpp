#include "app/main/program.h"

#include <QGuiApplication>
#include <QString>

#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include "app/core/mfileprops.h"
#include "app/core/minfocollector.h"
#include "app/core/mmain.h"
#include "app/core/screen.h"
#include "app/ui/file_properties_sheet.h"
#include "app/main/termination.h"
#include "app/ui/fmain.h"
#include "app/ui/msgbox_dialog.h"
#include "app/ui/startup_message.h"
#include "platform/com/class_registry.h"
#include "platform/core/machine.h"
#include "platform/registry/registry.h"

namespace sorlix::app {

namespace {

// Also written to stderr, for a start from a terminal without a screen.
void showMessageBox(const std::string& text, const std::string& title, sorlix::MessageIcon icon) {
    std::cerr << "sorlix: " << text << "\n";
    sorlix::ui::ShowStartupMessage(text, title, icon);
}

// The hourglass while a long operation runs, the usual pointer otherwise.
void showMousePointer(win::LONG pointer) {
    static bool waiting = false;
    const bool wait = pointer == sorlix::Screen::vbHourglass;
    if (wait == waiting) return;
    waiting = wait;
    if (wait)
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QGuiApplication::restoreOverrideCursor();
}

int exitCode(sorlix::MMain::StartupEnd end) {
    switch (end) {
    case sorlix::MMain::StartupEnd::MainFormClosed:
    case sorlix::MMain::StartupEnd::HandedOver: return 0;
    case sorlix::MMain::StartupEnd::ComponentsMissing:
    case sorlix::MMain::StartupEnd::Refused:
    case sorlix::MMain::StartupEnd::DataFolderUnusable: return 1;
    }
    return 1;
}

// Without a machine nothing can start. A start from a desktop launcher has
// no terminal, so the reason is shown as well.
constexpr int kNoUsablePrefix = 2;

std::optional<std::string> prefixProblem() {
    if (auto opened = winsys::openDefaultMachine(); !opened) return opened.error().message;
    // Checked before anything reads the registry: without the user's hive
    // the libraries would merely look unregistered.
    for (const char* hive : {"system.reg", "user.reg"})
        if (auto problem = winsys::hiveFileProblem(winsys::machine().prefix(), hive)) return problem;
    return std::nullopt;
}

} // namespace

int RunProgram() {
    if (auto problem = prefixProblem()) {
        showMessageBox(*problem + ".", "Vendrel Sorlix", sorlix::MessageIcon::Exclamation);
        return kNoUsablePrefix;
    }
    // Add-ons can still be listed, but nothing can be removed or restored.
    if (auto refusal = winsys::registryRefusal())
        showMessageBox("The registry of this machine can only be read now: " + *refusal + ".", "Vendrel Sorlix",
                       sorlix::MessageIcon::Exclamation);
    CloseWindowsOnTerminationSignals();
    sorlix::MMain::StartupHooks hooks;
    hooks.messageBox = showMessageBox;
    hooks.createAppVisor = sorlix::MMain::CreateAppVisor;
    sorlix::MFileProps::setFilePropertiesSheet(sorlix::ui::ShowFilePropertiesSheet);
    sorlix::Screen::SetMousePointerHook(showMousePointer);
    sorlix::ui::InstallMsgBoxDialog();
    std::unique_ptr<sorlix::ui::FMain> mainForm;
    hooks.createMainForm = [&mainForm] {
        mainForm = std::make_unique<sorlix::ui::FMain>();
        sorlix::ui::MainForm = mainForm.get();
    };
    // The window goes as soon as its loop ends, before the program's objects.
    hooks.showMainForm = [&mainForm] {
        mainForm->ShowForm();
        mainForm.reset();
    };
    hooks.collectAllAddonInfo = sorlix::MInfoCollector::CollectAllAddonInfo;
    const int code = exitCode(sorlix::MMain::Main(hooks));
    // The program's objects go before the libraries' application objects.
    sorlix::MMain::ReleaseProgramObjects();
    winsys::com::releaseApplicationObjects();
    (void)winsys::flushRegistry();
    return code;
}

} // namespace sorlix::app
