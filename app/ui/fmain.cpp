#include "app/ui/fmain.h"

#include <QClipboard>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QMainWindow>
#include <QScreen>
#include <QStyle>
#include <algorithm>

#include "app/core/caddontypevisor.h"
#include "app/core/comcalls.h"
#include "app/core/mapi.h"
#include "app/core/mfileprops.h"
#include "app/core/minfocollector.h"
#include "app/core/mmain.h"
#include "app/core/resume_next.h"
#include "app/core/strings.h"
#include "app/ui/delete_flow.h"
#include "app/ui/fabout.h"
#include "app/ui/fobjectlist.h"
#include "app/ui/fproperties.h"
#include "app/ui/frestore.h"
#include "app/ui/fselectaddonset.h"
#include "app/ui/messages.h"
#include "app/ui/program_images.h"
#include "app/ui/ribbon.h"
#include "common/interfaces/fileops.h"
#include "common/interfaces/global.h"
#include "common/interfaces/table.h"
#include "platform/com/variant.h"
#include "platform/controls/enter_presses_button.h"
#include "platform/controls/event_loop.h"
#include "platform/system/shell.h"

namespace sorlix::ui {

namespace {

using halvenlib::_CParams;
using winsys::com::call;
using winsys::com::ComPtr;
using winsys::controls::DockingDirection;
using winsys::controls::TaskDialog;

constexpr const char* kSearchAddress = "https://www.google.com/search?hl=en&q=";
constexpr int kSetPaneWidth = 200;
constexpr int kDetailsPaneHeight = 100;

// What the add-on tree says of its selection: the add-on record, or null
// for nothing selected or a type group.
struct Selection {
    bool selected = false;
    bool folder = false;
    win::LONG addonType = 0;
    std::string id;
    ComPtr<_CParams> info;
};

Selection currentSelection(FObjectList& list) {
    Selection s;
    list.CurrentNodeInfo(s.selected, s.folder, s.addonType, s.id, s.info);
    return s;
}

// File-system redirection off for the lifetime of the guard when asked,
// and back on however the scope ends.
class RedirectionOff {
public:
    RedirectionOff(ComPtr<halvenlib::_FileOps> ops, bool off) : ops_(std::move(ops)) {
        if (!off) return;
        call([&] { return ops_->Wow64DisableWow64FileSystemRedirection(); });
        active_ = true;
    }
    ~RedirectionOff() {
        if (active_) (void)ops_->Wow64RevertWow64FileSystemRedirection();
    }
    RedirectionOff(const RedirectionOff&) = delete;
    RedirectionOff& operator=(const RedirectionOff&) = delete;

private:
    ComPtr<halvenlib::_FileOps> ops_;
    bool active_ = false;
};

bool setHoldsType(win::LONG AddonSet, win::LONG AddonType) {
    const ComPtr<halvenlib::_CGumArray> types = ProgramObject(AddonTypeVisor).AddonSetTypes(AddonSet);
    const win::LONG rows = RowCount(types.get());
    for (win::LONG row = 1; row <= rows; ++row)
        if (CellLong(types.get(), row, 1) == AddonType) return true;
    return false;
}

// The window handle the shell's properties sheet gets: the window itself.
win::HANDLE handleOf(QWidget* window) { return static_cast<win::HANDLE>(window); }

} // namespace

FMain::FMain(QWidget* parent)
    : QWidget(parent), CommandBars_(new winsys::controls::CommandBars(this)), TaskDialog1_(this),
      picClient_(new QMainWindow(this)), DockingPaneManager_(new winsys::controls::DockingPaneManager(picClient_)) {
    setObjectName(QStringLiteral("FMain"));
    picClient_->setObjectName(QStringLiteral("picClient"));
    picClient_->setWindowFlags(Qt::Widget);
    // No central widget of its own: the panes share the whole client area.
    auto* centre = new QWidget(picClient_);
    picClient_->setCentralWidget(centre);
    centre->hide();

    winsys::controls::PressFocusedButtonOnEnter(this);

    connect(CommandBars_, &winsys::controls::CommandBars::Execute, this, &FMain::CommandBars_Execute);
    connect(CommandBars_, &winsys::controls::CommandBars::Resize, this, &FMain::CommandBars_Resize);
    connect(DockingPaneManager_, &winsys::controls::DockingPaneManager::AttachPane, this,
            &FMain::DockingPaneManager_AttachPane);
}

FMain::~FMain() {
    if (loaded_ && !unloaded_) Form_Unload();
    delete CommandBars_;
}

void FMain::Load() {
    if (loaded_) return;
    loaded_ = true;
    Form_Load();
    FitToScreen();
}

// No ribbon caption cut and no pane squeezed away at the smallest size; at
// first about three quarters of the screen the window is on, centred.
void FMain::FitToScreen() {
    UpdateMinimumSize();
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect available = screen->availableGeometry();
    const QSize size = (available.size() * 3 / 4).expandedTo(minimumSize()).boundedTo(available.size());
    setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size, available));
}

// Known for certain only once the window is shown, with the skin's fonts
// and paddings: so again then.
void FMain::UpdateMinimumSize() {
    ensurePolished();
    const QSize ribbon = CommandBars_->ActiveMenuBar() ? CommandBars_->ActiveMenuBar()->minimumSizeHint() : QSize();
    const QSize panes = picClient_->minimumSizeHint();
    setMinimumSize(std::max(ribbon.width(), panes.width()), ribbon.height() + panes.height());
}

// The panes' first sizes once the client area has its own: the add-on set
// tree as wide as its captions, the details below the add-on tree.
void FMain::SizePanes() {
    auto* sets = DockingPaneManager_->FindPane(1);
    auto* details = DockingPaneManager_->FindPane(3);
    if (!sets || !details || !moFSelectAddonSet_) return;
    picClient_->resizeDocks({sets->dock()}, {std::max(kSetPaneWidth, moFSelectAddonSet_->ContentWidth())},
                            Qt::Horizontal);
    picClient_->resizeDocks({details->dock()}, {std::max(kDetailsPaneHeight, picClient_->height() / 4)},
                            Qt::Vertical);
}

void FMain::Form_Load() {
    LoadCommandIcons(*CommandBars_);
    ApplySkin();
    BuildRibbon(*CommandBars_);
    CommandBars_->AddKeyBinding(QStringLiteral("F5"), 5003);
    SetupDockingPanes();
    setWindowTitle(QString::fromStdString(LoadResString(100)));
}

void FMain::ApplySkin() {
    // A missing skin leaves Qt's look.
    if (SkinFramework1_.LoadSkin(ProgramSkinFile(), "")) SkinFramework1_.ApplyWindow(this);
}

void FMain::SetupDockingPanes() {
    DockingPaneManager_->SetOptions(winsys::controls::DockingOptions{});
    moFSelectAddonSet_ = new FSelectAddonSet(picClient_);
    moFObjectList_ = new FObjectList(picClient_);
    moFProperties_ = new FProperties(picClient_);
    connect(moFSelectAddonSet_, &FSelectAddonSet::ShowTable, this, &FMain::moFSelectAddonSet_ShowTable);
    deleteFlow_ = std::make_unique<DeleteFlow>(*moFObjectList_, TaskDialog1_, [this] {
        if (auto* pane = DockingPaneManager_->FindPane(2)) pane->Select();
    });
    moFProperties_->Init();

    const int width = picClient_->width(), height = picClient_->height();
    auto* sets = DockingPaneManager_->CreatePane(1, QStringLiteral("All Browser Objects"), kSetPaneWidth, height,
                                                 DockingDirection::Left);
    auto* table = DockingPaneManager_->CreatePane(2, QStringLiteral("Table"), width - kSetPaneWidth,
                                                  height - kDetailsPaneHeight, DockingDirection::Right, sets);
    DockingPaneManager_->CreatePane(3, QStringLiteral("Properties"), width - kSetPaneWidth, kDetailsPaneHeight,
                                    DockingDirection::Bottom, table);

    moFObjectList_->Init(moFProperties_, CommandBars_->FindContextMenu(kContextMenuId));
    moFSelectAddonSet_->InitFocus();
}

void FMain::DockingPaneManager_AttachPane(winsys::controls::Pane* Item) {
    switch (Item->Id()) {
    case 1: Item->SetHandle(moFSelectAddonSet_); break;
    case 2: Item->SetHandle(moFObjectList_); break;
    case 3: Item->SetHandle(moFProperties_); break;
    default: break;
    }
}

void FMain::CommandBars_Resize() { picClient_->setGeometry(CommandBars_->GetClientRect()); }

void FMain::moFSelectAddonSet_ShowTable(win::LONG AddonSet) { moFObjectList_->RefreshTree(AddonSet, false); }

void FMain::Form_Activate() {
    if (auto* pane = DockingPaneManager_->FindPane(1)) pane->Select();
}

// A window system may hand the activation back before the modal window's
// loop ends, or only after it.
void FMain::FormClosedOver() {
    if (isActiveWindow())
        Form_Activate();
    else
        activateOnReturn_ = true;
}

// The window activates as a form does: when it is first shown and when one
// of the program's own windows over it closes. A message, the properties
// sheet or another program hands the focus back to where it was, so that
// the keys stay where the last command put them.
bool FMain::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate && activateOnReturn_) {
        activateOnReturn_ = false;
        Form_Activate();
    }
    if (event->type() == QEvent::Show && loaded_ && !panesSized_) {
        panesSized_ = true;
        UpdateMinimumSize();
        SizePanes();
    }
    return QWidget::event(event);
}

// Closing is never refused: it ends the main loop as Exit does.
void FMain::closeEvent(QCloseEvent* event) {
    closeRequested_ = true;
    event->accept();
}

void FMain::Form_Unload() {
    unloaded_ = true;
    if (MainForm == this) MainForm = nullptr;
    deleteFlow_.reset();
    delete moFSelectAddonSet_;
    moFSelectAddonSet_ = nullptr;
    if (moFObjectList_) moFObjectList_->Finalize();
    delete moFObjectList_;
    moFObjectList_ = nullptr;
    delete moFProperties_;
    moFProperties_ = nullptr;
}

void FMain::ShowForm() {
    Load();
    show();
    {
        // Qt sleeps until an event or the queue's next message is due.
        winsys::controls::QueuePump pump;
        while (!closeRequested_) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    hide();
    Form_Unload();
}

void FMain::CommandBars_Execute(int id) {
    emit CommandDispatched(id);
    switch (id) {
    case 5001:
    case 7001: MenuRemove(); break;
    case 5002:
    case 7002: MenuShowFiledetails(); break;
    case 5003:
    case 6009: MenuRefresh(); break;
    case 5005:
    case 7003: SearchFileName(); break;
    case 5006:
    case 7004: SearchAddonName(); break;
    case 5011: MenuRestore(); break;
    case 6006: MenuAbout(); break;
    case 6008: closeRequested_ = true; break;
    case 7005: MenuCopy(); break;
    default: break;
    }
}

// The collection logs its own failures; the tree keeps the user's place.
void FMain::MenuRefresh() {
    MInfoCollector::CollectAllAddonInfo();
    moFObjectList_->RefreshTree(moFObjectList_->CurrentAddonSet(), true);
}

void FMain::MenuRemove() { deleteFlow_->MenuRemove(); }

void FMain::ShowMessage(const std::string& Text, win::LONG Buttons, const std::string& Title) {
    win::LONG result = 0;
    ui::ShowMessage(TaskDialog1_, Text, Buttons, Title, result);
}

void FMain::GetCurrentAddonFile(std::string& FilePath, bool& Is64bitSystem32) {
    FilePath.clear();
    Is64bitSystem32 = false;
    const Selection s = currentSelection(*moFObjectList_);
    if (!s.info) return;
    if (!HasParam(s.info.get(), "dLL")) {
        const std::string title = MAPI::CapitalizeFirst(AddonTypeVisor->AddonTypeTitleName(s.addonType));
        ShowMessage(FormatString(LoadResString(180), {title}), 0);
        return;
    }
    FilePath = ParamText(s.info.get(), "dLL");
    if (HasParam(s.info.get(), "file64bitSystem32")) {
        bool on = false;
        winsys::com::check(winsys::com::toBool(ParamValue(s.info.get(), "file64bitSystem32"), &on));
        Is64bitSystem32 = on;
    }
}

void FMain::MenuShowFiledetails() {
    try {
        std::string FilePath;
        bool Is64bitSystem32 = false;
        GetCurrentAddonFile(FilePath, Is64bitSystem32);
        if (FilePath.empty()) return;
        if (FilePath.back() == '\\') FilePath.pop_back();

        auto ops = FileOps();
        // The sheet switches redirection back on itself; the guard makes the
        // second revert, on the error paths too.
        const RedirectionOff redirection(ops, Is64bitSystem32);
        win::VARIANT_BOOL exists = win::VARIANT_FALSE;
        call([&] { return ops->isFileExist(FilePath, &exists); });
        if (exists != win::VARIANT_FALSE)
            MFileProps::ShowFileProperties(FilePath, Is64bitSystem32, handleOf(this));
        else
            ShowMessage(FormatString(LoadResString(122), {FilePath}), TaskDialog::kOk);
    } catch (const std::exception& e) {
        LogError(e, "FMain.MenuShowFiledetails");
    }
}

void FMain::SearchGoogle(const std::string& Text) {
    if (Text.empty()) return;
    try {
        std::string encoded;
        call([&] { return Global()->URLEncode(Text, &encoded); });
        // The shell's answer is not examined: there is nothing else to try.
        (void)win::ShellExecute("open", kSearchAddress + encoded, "", "", win::SW_SHOWNORMAL);
    } catch (const std::exception& e) {
        LogError(e, "FMain.SearchGoogle");
    }
}

void FMain::SearchAddonName() {
    try {
        const Selection s = currentSelection(*moFObjectList_);
        if (s.info && HasParam(s.info.get(), "websearchName")) SearchGoogle(ParamText(s.info.get(), "websearchName"));
    } catch (const std::exception& e) {
        LogError(e, "FMain.SearchAddonName");
    }
}

void FMain::SearchFileName() {
    try {
        std::string FilePath;
        bool Is64bitSystem32 = false;
        GetCurrentAddonFile(FilePath, Is64bitSystem32);
        if (!FilePath.empty()) SearchGoogle(MAPI::GetFileNameFromPath(FilePath));
    } catch (const std::exception& e) {
        LogError(e, "FMain.SearchFileName");
    }
}

void FMain::MenuCopy() {
    try {
        const Selection s = currentSelection(*moFObjectList_);
        if (!s.info) return;
        const std::string name = ParamText(s.info.get(), "displayName");
        QClipboard* clipboard = QGuiApplication::clipboard();
        clipboard->clear();
        clipboard->setText(QString::fromStdString(name));
    } catch (const std::exception& e) {
        LogError(e, "FMain.MenuCopy");
    }
}

void FMain::MenuRestore() {
    try {
        const Selection s = currentSelection(*moFObjectList_);
        const win::LONG type = s.addonType != 0 ? s.addonType : moFObjectList_->FirstNodeAddonType();
        FRestore restore(this);
        struct Finalizer {
            FRestore& window;
            ~Finalizer() { window.Finalize(); }
        } finalizer{restore};
        std::string FalseCause;
        if (restore.Init(type, FalseCause)) {
            SkinFramework1_.ApplyWindow(&restore);
            restore.exec();
            FormClosedOver();
            if (!restore.NothingChanged()) {
                const win::LONG set = moFObjectList_->CurrentAddonSet();
                MInfoCollector::RecollectAppInfo(set);
                // A backup of a type outside the set shown came back too: its
                // browser's set is to show it when chosen.
                for (const win::LONG restored : restore.RestoredAddonTypes())
                    if (!setHoldsType(set, restored)) MInfoCollector::RecollectAddonInfo(restored);
                moFObjectList_->RefreshTree(set, false);
            }
        } else {
            ShowMessage(FalseCause, TaskDialog::kOk);
        }
    } catch (const std::exception& e) {
        LogError(e, "FMain.MenuRestore");
    }
}

void FMain::MenuAbout() {
    FAbout about(this);
    about.exec();
    FormClosedOver();
}

} // namespace sorlix::ui
