#pragma once
// The main window's commands: one table of every command (id, place,
// caption, image, key) from which BuildRibbon makes the ribbon with its
// file menu, the tab "Home" with its groups, the quick-access command, the
// add-on context menu (id 400) and the key bindings, and LoadCommandIcons
// fills the command bars' icon store from the program file's PNG images.

#include "platform/controls/command_bars.h"

namespace sorlix::ui {

inline constexpr int kContextMenuId = 400;

// Everything of the commands table except the "F5" binding, which the main
// window adds after it.
void BuildRibbon(winsys::controls::CommandBars& bars);

// Command icons by command id; a PNG that cannot be loaded (or a program
// file that cannot be opened) leaves its commands without an icon. The
// restore icon goes into the application-wide store too. Before BuildRibbon,
// which gives each control its icon.
void LoadCommandIcons(winsys::controls::CommandBars& bars);

winsys::controls::RibbonBar* GetRibbonBar(winsys::controls::CommandBars& bars);

} // namespace sorlix::ui
