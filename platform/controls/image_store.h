#pragma once
// ImageManager: the icon store of the command bars, images keyed by command
// id. The program has one application-wide store as well, from which other
// windows take a command's image (the restore window its large icon).

#include <QIcon>
#include <QImage>
#include <map>

namespace winsys::controls {

// An icon from PNG data and, when given, the same image drawn at twice the
// size, which screens at 200 % take instead of a scaled copy. Null when
// `png` is no image; a `png2x` that is none is left out.
QIcon IconFromPng(const QByteArray& png, const QByteArray& png2x = {});

class ImageManager {
public:
    // Adds the PNG data (and its double-size image) as the image of `id`;
    // false when it is no image.
    bool SetIcon(int id, const QByteArray& png, const QByteArray& png2x = {});
    // Null icon when `id` has none.
    QIcon Icon(int id) const;
    bool Has(int id) const { return icons_.count(id) != 0; }

private:
    std::map<int, QIcon> icons_;
};

// The application-wide store.
ImageManager& GlobalImageManager();

} // namespace winsys::controls
