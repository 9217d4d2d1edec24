#pragma once
// ShowMessage: every message a window shows to the user goes through its
// own task dialog here. Buttons are the flags 1 OK, 2 Yes, 4 No (0 shows OK
// alone); an empty title is the program's name; Result receives the flag of
// the button pressed.

#include <string>

#include "platform/controls/task_dialog.h"
#include "platform/core/wintypes.h"

namespace sorlix::ui {

void ShowMessage(winsys::controls::TaskDialog& dialog, const std::string& Text, win::LONG& Buttons,
                 const std::string& Title, win::LONG& Result);

} // namespace sorlix::ui
