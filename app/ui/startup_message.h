#pragma once
// The plain message box of start-up (before the main window exists): the
// program's skin and, for a warning, the program's own exclamation image
// instead of the style's stock one. Both come from the program folder; a
// box without them (or without a machine to reach them) still shows its
// text and OK.

#include <QMessageBox>
#include <memory>
#include <string>

#include "app/core/mmain.h"

namespace sorlix::ui {

// The image of a warning in the program file.
inline constexpr int kExclamationImage = 1601;

std::unique_ptr<QMessageBox> StartupMessageBox(const std::string& text, const std::string& title, MessageIcon icon);

// Shows it modally.
void ShowStartupMessage(const std::string& text, const std::string& title, MessageIcon icon);

} // namespace sorlix::ui
