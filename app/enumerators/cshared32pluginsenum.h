#pragma once
// CShared32PluginsEnum: the plugins that several browsers load from shared
// places (add-on type 11): the files that the "SOFTWARE\MozillaPlugins"
// registrations of the machine (32-bit view) and of the user name, the
// "np*.dll" files of every Firefox install's and every QuickTime folder's
// "plugins", and Adobe Reader's "browser\nppdf32.dll". A removal record holds
// each registration that names the file and, when it was found in a folder
// or is Adobe Reader's, the file: deleting a plugin that is only registered
// removes its registrations and leaves the file. One object serves one
// collection; it only reads.

#include <optional>
#include <string>
#include <vector>

#include "common/interfaces/records.h"
#include "platform/com/com_ptr.h"

namespace sorlix {

class CShared32PluginsEnum {
public:
    // One node per plugin file; null when the run failed (logged).
    winsys::com::ComPtr<halvenlib::_CNodes> EnumerateShared32Plugins();

private:
    // QuickTime's folders from its "App Paths" entry and its uninstall
    // entry, once each (without regard to case); none when the look-up
    // failed (logged).
    std::optional<std::vector<std::string>> FindQuickTimeInstallFolders();
};

} // namespace sorlix
