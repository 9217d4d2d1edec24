#include "app/core/ownfolders.h"

#include "platform/core/text.h"
#include "platform/system/shfolder.h"

namespace sorlix {

std::optional<winsys::TreeError> OpenOwnFolder(const std::string& folder, bool create, winsys::UniqueFd* out) {
    std::string profile;
    if (win::SUCCEEDED(win::SHGetFolderPath(win::CSIDL_PROFILE, win::SHGFP_TYPE_CURRENT, &profile)) &&
        !profile.empty() && winsys::startsWithNoCase(folder, profile + "\\"))
        return winsys::openRealFolderBelow(profile, folder, create, out);
    return winsys::openRealFolder(folder, create, out);
}

} // namespace sorlix
