#pragma once
// The Mozilla places that the Firefox, Waterfox and shared plugin
// enumerators read besides the extension enumerators' lists: the user's
// "Mozilla\Plugins" folder and the plugins registered under
// "SOFTWARE\MozillaPlugins".

#include <string>

#include "platform/core/wintypes.h"

namespace sorlix {

class CPluginScan;

// The roaming application-data folder joined with "Mozilla\", then "Plugins".
std::string MozillaPluginsFolder();

// Queues the file named by "Path" of every subkey of
// "SOFTWARE\MozillaPlugins" under `root`, in listing order, each with a new
// removal record holding its subkey; a subkey without a readable "Path"
// queues nothing. Errors reach the caller.
void QueueMozillaPluginRegistrations(CPluginScan& scan, win::LONG root);

} // namespace sorlix
