#pragma once
// ShowMessage: every message a window shows to the user goes through its
// own task dialog here. Buttons are the flags 1 OK, 2 Yes, 4 No (0 shows OK
// alone); an empty title is the program's name; Result receives the flag of
// the button pressed.

#include <string>
#include <vector>

#include "platform/controls/task_dialog.h"
#include "platform/core/wintypes.h"

namespace sorlix::ui {

void ShowMessage(winsys::controls::TaskDialog& dialog, const std::string& Text, win::LONG& Buttons,
                 const std::string& Title, win::LONG& Result);

// A part of an add-on that its delete left in place, as the removal
// described it; restorable when the add-on's backup holds a copy of it.
struct StayedPart {
    std::string text;
    bool restorable = true;
};

// The message after a delete that left parts behind: a heading naming the
// add-on, one line per part (those without a copy say that Restore cannot
// put them back), then what the kept backup can do.
std::string PartlyDeletedMessage(const std::string& Name, const std::vector<StayedPart>& Stayed);

} // namespace sorlix::ui
