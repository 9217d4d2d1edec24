#include "platform/controls/skin.h"

#include <QWidget>

#include "platform/files/files.h"

namespace winsys::controls {

bool SkinFramework::LoadSkin(const std::string& skinFile, const std::string& /*iniSection*/) {
    auto bytes = winsys::readFile(skinFile);
    if (!bytes) return false;
    const auto& data = bytes.value();
    sheet_ = QString::fromUtf8(reinterpret_cast<const char*>(data.data()), static_cast<qsizetype>(data.size()));
    loaded_ = true;
    return true;
}

void SkinFramework::ApplyWindow(QWidget* window) const {
    if (loaded_ && window) window->setStyleSheet(sheet_);
}

} // namespace winsys::controls
