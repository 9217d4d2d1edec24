#include "app/core/cresource.h"

#include "platform/com/com_error.h"
#include "platform/pe/pefile.h"
#include "platform/system/pathnames.h"

namespace sorlix {

namespace {

// Handles count up from a module-like base so that 0 never means loaded.
win::LONG nextHandle() {
    static win::LONG last = 0x10000000;
    last += 0x10000;
    return last;
}

winsys::Error notLoaded() { return winsys::Error{win::ERROR_INVALID_HANDLE, "no resource module is loaded"}; }

} // namespace

bool CResource::Init(const std::string& ResourceFile) {
    unload();
    filename_ = ResourceFile;
    if (filename_.empty()) return false;

    if (const auto path = winsys::moduleFilePath(filename_)) {
        if (auto bytes = winsys::readImageFile(*path)) {
            bytes_ = std::move(bytes).value();
            if (auto image = winsys::PeImage::parse(bytes_)) {
                image_.emplace(std::move(image).value());
                handle_ = nextHandle();
                return true;
            }
            bytes_.clear();
        }
    }
    throw winsys::com::ComError(kCResourceInitFailure, "CResource component failure in Function Init", "CResource.Init");
}

winsys::Result<std::string> CResource::loadString(win::UINT id) const {
    if (!image_) return notLoaded();
    return image_->loadString(id);
}

winsys::Result<std::vector<std::uint8_t>> CResource::resource(const winsys::ResourceId& type,
                                                              const winsys::ResourceId& name) const {
    if (!image_) return notLoaded();
    auto data = image_->findResource(type, name);
    if (!data) return data.error();
    return std::vector<std::uint8_t>(data.value().begin(), data.value().end());
}

void CResource::unload() {
    image_.reset();
    bytes_.clear();
    handle_ = 0;
    filename_.clear();
}

} // namespace sorlix
