#pragma once
// The core's plain message boxes (sorlix::MsgBox) shown as task dialogs
// owned by the main window when it exists (and so in its skin): the text,
// an OK button, the program's name as title. The program installs this
// once at start.

namespace sorlix::ui {

void InstallMsgBoxDialog();

} // namespace sorlix::ui
