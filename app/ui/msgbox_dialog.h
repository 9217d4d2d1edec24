#pragma once
// The core's plain message boxes (sorlix::MsgBox) shown as task dialogs
// without an owner window: the text, an OK button, the program's name as
// title. The program installs this once at start.

namespace sorlix::ui {

void InstallMsgBoxDialog();

} // namespace sorlix::ui
