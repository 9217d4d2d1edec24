#include "app/ui/program_images.h"

#include "app/core/mmain.h"

namespace sorlix::ui {

namespace {

std::string& programFileOverride() {
    static std::string path;
    return path;
}

} // namespace

std::string ProgramFile() {
    const std::string& set = programFileOverride();
    return set.empty() ? MMain::AppPath() + "\\Sorlix.exe" : set;
}

void setProgramFile(const std::string& windowsPath) { programFileOverride() = windowsPath; }

void OpenProgramResources(CResource& module) { module.Init(ProgramFile()); }

QByteArray LoadPngResource(const CResource& module, int id) {
    auto data = module.resource(winsys::ResourceId::text("PNG"), winsys::ResourceId::number(static_cast<win::WORD>(id)));
    if (!data) return {};
    const auto& bytes = data.value();
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
}

} // namespace sorlix::ui
