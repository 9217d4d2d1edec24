#include "platform/controls/image_store.h"

#include <QPixmap>

namespace winsys::controls {

QIcon IconFromPng(const QByteArray& png, const QByteArray& png2x) {
    QPixmap pixmap;
    if (!pixmap.loadFromData(png, "PNG")) return {};
    QIcon icon(pixmap);
    QPixmap twice;
    if (!png2x.isEmpty() && twice.loadFromData(png2x, "PNG")) {
        twice.setDevicePixelRatio(2.0);
        icon.addPixmap(twice);
    }
    return icon;
}

bool ImageManager::SetIcon(int id, const QByteArray& png, const QByteArray& png2x) {
    QIcon icon = IconFromPng(png, png2x);
    if (icon.isNull()) return false;
    icons_[id] = icon;
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
