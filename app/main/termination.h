#pragma once
// A termination request from outside (SIGTERM from the session or a
// supervisor, SIGINT from a terminal) closes the program's windows the way
// the user would, so that the main loop ends and start-up finishes
// normally: logs closed, registry written back. Without this the signal
// would kill the process with its last registry changes unwritten.

namespace sorlix::app {

// Call once, after the QApplication exists.
void CloseWindowsOnTerminationSignals();

} // namespace sorlix::app
