#pragma once
// The frame of a dialog whose size is fixed: its title and a close button
// alone. Left to its defaults, a window manager offers to minimise and
// maximise a dialog, which a fixed size cannot honour.

class QWidget;

namespace winsys::controls {

// Call before the dialog is first shown.
void UseFixedDialogFrame(QWidget* dialog);

} // namespace winsys::controls
