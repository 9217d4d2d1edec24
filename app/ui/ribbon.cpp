#include "app/ui/ribbon.h"

#include "app/core/cresource.h"
#include "app/ui/program_images.h"

namespace sorlix::ui {

namespace {

using winsys::controls::CommandBars;

enum class Place { FileButton, FileMenu, Home, QuickAccess, ContextMenu };

struct Command {
    int id;
    Place place;
    int group; // ribbon group id, for Place::Home
    const char* caption;
    int png; // 0: no image
    const char* key;
    bool beginGroup;
};

constexpr Command kCommands[] = {
    {5007, Place::FileButton, 0, "&File", 1001, nullptr, false},
    {6006, Place::FileMenu, 0, "About", 1101, nullptr, false},
    {6008, Place::FileMenu, 0, "&Exit", 0, nullptr, true},
    {5003, Place::Home, 0, "Refresh", 1005, "F5", false},
    {5001, Place::Home, 1, "&Delete", 1003, "Del", false},
    {5002, Place::Home, 2, "File Properties", 1004, "Alt+Enter", false},
    {5006, Place::Home, 2, "Google Add-on Name", 1007, nullptr, false},
    {5005, Place::Home, 2, "Google File Name", 1007, nullptr, false},
    {5011, Place::Home, 7, "Restore", 1006, "Ctrl+Z", false},
    {6009, Place::QuickAccess, 0, "&Refresh", 1105, nullptr, false},
    {7001, Place::ContextMenu, 0, "&Delete", 1103, nullptr, false},
    {7005, Place::ContextMenu, 0, "Copy", 1108, nullptr, true},
    {7003, Place::ContextMenu, 0, "Google File Name", 1107, nullptr, true},
    {7004, Place::ContextMenu, 0, "Google Add-on Name", 1107, nullptr, false},
    {7002, Place::ContextMenu, 0, "&Properties", 1104, nullptr, true},
};

struct Group {
    const char* caption;
    int id;
};

constexpr Group kHomeGroups[] = {{"List", 0}, {"Delete", 1}, {"Add-on Information", 2}, {"&Undo", 7}};

constexpr int kRestoreCommand = 5011;
// The main window binds it itself after the ribbon is built.
constexpr int kRefreshCommand = 5003;

} // namespace

void BuildRibbon(CommandBars& bars) {
    winsys::controls::RibbonBar* ribbon = bars.AddRibbonBar(QStringLiteral("The Ribbon"));

    for (const Command& c : kCommands) {
        if (c.place == Place::FileButton) ribbon->SetFileMenuButton(c.id, QString::fromUtf8(c.caption));
        if (c.place == Place::FileMenu) ribbon->AddFileMenuControl(c.id, QString::fromUtf8(c.caption), c.beginGroup);
    }

    winsys::controls::RibbonTab* home = ribbon->InsertTab(0, QStringLiteral("Home"));
    for (const Group& g : kHomeGroups) {
        winsys::controls::RibbonGroup* group = home->AddGroup(QString::fromUtf8(g.caption), g.id);
        for (const Command& c : kCommands)
            if (c.place == Place::Home && c.group == g.id) group->AddButton(c.id, QString::fromUtf8(c.caption));
    }

    for (const Command& c : kCommands)
        if (c.place == Place::QuickAccess) ribbon->AddQuickAccessControl(c.id, QString::fromUtf8(c.caption));

    winsys::controls::ContextMenu* menu = bars.AddContextMenu(kContextMenuId, QStringLiteral("Context Menu"));
    for (const Command& c : kCommands)
        if (c.place == Place::ContextMenu) menu->Add(c.id, QString::fromUtf8(c.caption), c.beginGroup);

    for (const Command& c : kCommands)
        if (c.key && c.id != kRefreshCommand) bars.AddKeyBinding(QString::fromUtf8(c.key), c.id);
}

void LoadCommandIcons(CommandBars& bars) {
    bars.SetToolTipOptions(winsys::controls::ToolTipOptions{.showShortcuts = true});
    CResource module;
    try {
        OpenProgramResources(module);
    } catch (...) {
        return; // no program file: the commands go without icons
    }
    for (const Command& c : kCommands) {
        if (c.png == 0) continue;
        const QByteArray png = LoadPngResource(module, c.png);
        if (png.isEmpty()) continue;
        const QByteArray png2x = LoadPngResource2x(module, c.png);
        if (c.id == kRestoreCommand) winsys::controls::GlobalImageManager().SetIcon(c.id, png, png2x);
        bars.Icons().SetIcon(c.id, png, png2x);
    }
}

winsys::controls::RibbonBar* GetRibbonBar(CommandBars& bars) { return bars.ActiveMenuBar(); }

} // namespace sorlix::ui
