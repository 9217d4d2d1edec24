#pragma once
// MsgBox: the program's plain message box (OK button only, the program's
// name as title) for messages that the core shows outside any window. The
// user interface installs a hook that shows the box; without one the text
// goes to the standard error stream, so a run without a screen never waits.

#include <functional>
#include <string>

namespace sorlix {

// Shows `Prompt` and returns when the box is closed.
void MsgBox(const std::string& Prompt);
// Called for every box from now on; an empty hook removes it.
void SetMsgBoxHook(std::function<void(const std::string& Prompt)> hook);

} // namespace sorlix
