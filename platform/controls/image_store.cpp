#include "platform/controls/image_store.h"

#include <QPixmap>

namespace winsys::controls {

bool ImageManager::SetIcon(int id, const QByteArray& png) {
    QPixmap pixmap;
    if (!pixmap.loadFromData(png, "PNG")) return false;
    icons_[id] = QIcon(pixmap);
    return true;
}

QIcon ImageManager::Icon(int id) const {
    const auto it = icons_.find(id);
    return it == icons_.end() ? QIcon() : it->second;
}

ImageManager& GlobalImageManager() {
    static ImageManager store;
    return store;
}

} // namespace winsys::controls
