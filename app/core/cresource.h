#pragma once
// CResource: a module opened by file name for its resources (string table
// and images). Modules are PE resource files read through platform/pe; when
// the program's own images and strings move into Qt resources, this class
// keeps its interface and only Init's loading changes. Unloads on release.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/core/result.h"
#include "platform/core/wintypes.h"
#include "platform/pe/pe.h"

namespace sorlix {

inline constexpr win::HRESULT kCResourceInitFailure = static_cast<win::HRESULT>(0x80040D2F);

class CResource {
public:
    CResource() = default;
    CResource(const CResource&) = delete;
    CResource& operator=(const CResource&) = delete;
    ~CResource() { unload(); }

    const std::string& Filename() const { return filename_; }
    void setFilename(const std::string& name) { Init(name); }
    // Nonzero while a module is loaded, distinct for every load.
    win::LONG hModule() const { return handle_; }

    // Unloads what was loaded, stores the name and loads it (a bare name is
    // found along the search path). False for an empty name. A file that
    // cannot be loaded keeps the name, leaves the handle 0 and throws
    // ComError 0x80040D2F "CResource component failure in Function Init"
    // from "CResource.Init".
    bool Init(const std::string& ResourceFile);

    // String `id` of the module's string table.
    winsys::Result<std::string> loadString(win::UINT id) const;
    // The data of one resource (an image), copied out of the module.
    winsys::Result<std::vector<std::uint8_t>> resource(const winsys::ResourceId& type,
                                                       const winsys::ResourceId& name) const;

private:
    void unload();

    std::string filename_;
    win::LONG handle_ = 0;
    std::vector<std::uint8_t> bytes_;
    std::optional<winsys::PeImage> image_;
};

} // namespace sorlix
