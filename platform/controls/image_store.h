#pragma once
// ImageManager: the icon store of the command bars, images keyed by command
// id. The program has one application-wide store as well, from which other
// windows take a command's image (the restore window its large icon).

#include <QIcon>
#include <QImage>
#include <map>

namespace winsys::controls {

class ImageManager {
public:
    // Adds the PNG data as the image of `id`; false when it is no image.
    bool SetIcon(int id, const QByteArray& png);
    // Null icon when `id` has none.
    QIcon Icon(int id) const;
    bool Has(int id) const { return icons_.count(id) != 0; }

private:
    std::map<int, QIcon> icons_;
};

// The application-wide store.
ImageManager& GlobalImageManager();

} // namespace winsys::controls
