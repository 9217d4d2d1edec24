#pragma once
// The Mozilla place that the Waterfox and shared plugin enumerators read
// besides the extension enumerators' lists: the plugins registered under
// "SOFTWARE\MozillaPlugins".

#include "platform/core/wintypes.h"

namespace sorlix {

class CPluginScan;

// Queues the file named by "Path" of every subkey of
// "SOFTWARE\MozillaPlugins" under `root`, in listing order, each with a new
// removal record holding its subkey; a subkey without a readable "Path"
// queues nothing. Errors reach the caller.
void QueueMozillaPluginRegistrations(CPluginScan& scan, win::LONG root);

} // namespace sorlix
