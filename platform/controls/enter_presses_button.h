#pragma once
// Enter on a focused push or tool button presses it, as on Windows. Qt
// presses a button on Enter only when it is a dialog's default; any other
// button lets the key go on to its window, where this filter takes it.

class QWidget;

namespace winsys::controls {

// For every button inside `window`; lives as long as the window.
void PressFocusedButtonOnEnter(QWidget* window);

} // namespace winsys::controls
