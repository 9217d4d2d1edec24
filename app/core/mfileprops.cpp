#include "app/core/mfileprops.h"

#include <utility>

#include "app/core/comcalls.h"
#include "app/core/resume_next.h"

namespace sorlix::MFileProps {

namespace {

PropertiesSheet& installedSheet() {
    static PropertiesSheet sheet;
    return sheet;
}

} // namespace

void setFilePropertiesSheet(PropertiesSheet sheet) { installedSheet() = std::move(sheet); }

bool ShowFileProperties(const std::string& path, bool revertRedirection, win::HANDLE ownerWindow) {
    ResumeNext err;
    bool shown = false;
    err.step([&] {
        PropertiesRequest request;
        request.hwnd = ownerWindow;
        request.lpFile = path;
        const PropertiesSheet& sheet = installedSheet();
        shown = sheet && sheet(request);
    });
    if (revertRedirection) {
        err.step([&] {
            winsys::com::call([&] { return FileOps()->Wow64RevertWow64FileSystemRedirection(); });
        });
    }
    err.clear();
    return shown;
}

} // namespace sorlix::MFileProps
