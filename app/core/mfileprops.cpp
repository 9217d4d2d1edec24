#include "app/core/mfileprops.h"

#include <utility>

#include "app/core/resume_next.h"
#include "common/interfaces/fileops.h"
#include "platform/com/class_registry.h"
#include "platform/com/com_error.h"

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
            winsys::com::ComPtr<halvenlib::_FileOps> ops;
            winsys::com::check(
                winsys::com::getApplicationObject(halvenlib::CLSID_FileOps, halvenlib::_FileOps::iid, ops.putVoid()));
            winsys::com::call([&] { return ops->Wow64RevertWow64FileSystemRedirection(); });
        });
    }
    err.clear();
    return shown;
}

} // namespace sorlix::MFileProps
