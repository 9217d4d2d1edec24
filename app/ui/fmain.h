#pragma once
// FMain: the program's main window and its main loop. A ribbon across the
// top (command bars), below it picClient, a host for three docking panes
// (the add-on set tree, the add-on tree, the details grid), a skin, and one
// task dialog for every message. Every command of the ribbon, the context
// menu and the keys arrives in CommandBars_Execute with its id.
//
// ShowForm loads the window (Form_Load) unless Load did, shows it and runs
// the event loop, which also drives the thread's message queue, until Exit
// or a close request; then it unloads the window.

#include <QWidget>
#include <memory>
#include <string>

#include "platform/controls/command_bars.h"
#include "platform/controls/docking_panes.h"
#include "platform/controls/skin.h"
#include "platform/controls/task_dialog.h"
#include "platform/core/wintypes.h"

class QMainWindow;

namespace sorlix::ui {

class DeleteFlow;
class FObjectList;
class FProperties;
class FSelectAddonSet;

class FMain : public QWidget {
    Q_OBJECT
public:
    explicit FMain(QWidget* parent = nullptr);
    ~FMain() override;

    // Form_Load, once: commands, skin, panes; the panes show add-on set 0.
    void Load();

    // Shows the window and runs the main loop until the user leaves; the
    // window is unloaded when it returns.
    void ShowForm();

    // The command bars' execute notification: dispatches by command id.
    void CommandBars_Execute(int id);

    bool closeRequested() const { return closeRequested_; }

    // The window's controls, for the program's tests.
    winsys::controls::CommandBars& commandBars() { return *CommandBars_; }
    winsys::controls::DockingPaneManager& dockingPaneManager() { return *DockingPaneManager_; }
    winsys::controls::TaskDialog& taskDialog() { return TaskDialog1_; }
    const winsys::controls::SkinFramework& skin() const { return SkinFramework1_; }
    QMainWindow* clientArea() const { return picClient_; }
    FSelectAddonSet* addonSetPane() const { return moFSelectAddonSet_; }
    FObjectList* objectList() const { return moFObjectList_; }
    FProperties* propertiesPane() const { return moFProperties_; }

signals:
    // Raised for every command as it arrives, before it runs.
    void CommandDispatched(int id);

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void Form_Load();
    void Form_Activate();
    // One of the program's windows shown over this one has closed.
    void FormClosedOver();
    void Form_Unload();
    void ApplySkin();
    void SetupDockingPanes();
    void FitToScreen();
    void UpdateMinimumSize();
    void SizePanes();
    void CommandBars_Resize();
    void DockingPaneManager_AttachPane(winsys::controls::Pane* Item);
    void moFSelectAddonSet_ShowTable(win::LONG AddonSet);

    void MenuRefresh();
    void MenuRemove();
    void MenuShowFiledetails();
    void MenuCopy();
    void MenuRestore();
    void MenuAbout();
    void SearchGoogle(const std::string& Text);
    void SearchAddonName();
    void SearchFileName();
    void GetCurrentAddonFile(std::string& FilePath, bool& Is64bitSystem32);
    void ShowMessage(const std::string& Text, win::LONG Buttons, const std::string& Title = {});

    winsys::controls::CommandBars* CommandBars_;
    winsys::controls::SkinFramework SkinFramework1_;
    winsys::controls::TaskDialog TaskDialog1_;
    QMainWindow* picClient_;
    winsys::controls::DockingPaneManager* DockingPaneManager_;
    FSelectAddonSet* moFSelectAddonSet_ = nullptr;
    FObjectList* moFObjectList_ = nullptr;
    FProperties* moFProperties_ = nullptr;
    std::unique_ptr<DeleteFlow> deleteFlow_;
    bool closeRequested_ = false;
    bool activateOnReturn_ = true; // the next activation is a form's
    bool loaded_ = false;
    bool unloaded_ = false;
    bool panesSized_ = false;
};

// The main window while it is loaded; cleared when it unloads.
inline FMain* MainForm = nullptr;

} // namespace sorlix::ui
