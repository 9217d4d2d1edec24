#include "app/ui/program_images.h"

#include "app/core/mmain.h"
#include "app/core/mmainhelpers.h"
#include "platform/controls/image_store.h"

#include <exception>

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

std::string ProgramSkinFile() {
    std::string folder = ProgramFile();
    const auto slash = folder.find_last_of('\\');
    folder.erase(slash == std::string::npos ? 0 : slash);
    return MMain::JoinPath(folder, "Office2007.cjstyles");
}

void OpenProgramResources(CResource& module) { module.Init(ProgramFile()); }

namespace {

QByteArray resourceBytes(const CResource& module, const char* type, int id) {
    auto data = module.resource(winsys::ResourceId::text(type), winsys::ResourceId::number(static_cast<win::WORD>(id)));
    if (!data) return {};
    const auto& bytes = data.value();
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
}

} // namespace

QByteArray LoadPngResource(const CResource& module, int id) { return resourceBytes(module, "PNG", id); }

QByteArray LoadPngResource2x(const CResource& module, int id) { return resourceBytes(module, "PNG2X", id); }

QIcon LoadIconResource(const CResource& module, int id) {
    return winsys::controls::IconFromPng(LoadPngResource(module, id), LoadPngResource2x(module, id));
}

QIcon LoadProgramIcon(int id) {
    try {
        CResource module;
        OpenProgramResources(module);
        return LoadIconResource(module, id);
    } catch (const std::exception&) {
        return {};
    }
}

} // namespace sorlix::ui
