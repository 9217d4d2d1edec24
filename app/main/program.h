#pragma once
// RunProgram: opens the Windows machine of WINEPREFIX and runs start-up on
// it, as the program file does. Exit codes: 0 when start-up ends as the
// program should (the main window closed, or the elevation library took
// over), 1 when a component library is missing, the data folder cannot be
// used or the user may not run the program, 2 without a usable prefix (said
// in a message box and on stderr).

namespace sorlix::app {

// Call once, after the QApplication exists; answers the exit code.
int RunProgram();

} // namespace sorlix::app
