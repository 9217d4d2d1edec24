// The program's images in the built program file: each drawn at its size
// and again at twice it, and icons that take the double-size drawing at
// 200 % instead of a scaled copy.

#include <QAbstractButton>
#include <QIcon>
#include <QImage>
#include <QPixmap>

#include "app/ui/program_images.h"
#include "app/ui/startup_message.h"
#include "platform/controls/image_store.h"
#include "tests/ui/restore/ui_support.h"

namespace {

using sorlix::CResource;
using sorlix::ui::LoadIconResource;
using sorlix::ui::LoadPngResource;
using sorlix::ui::LoadPngResource2x;

class ProgramImages : public uitest::Machine {};

// The smallest rectangle holding every pixel that is more than half opaque.
QRect opaqueBounds(const QImage& image) {
    QRect bounds;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) > 128) bounds |= QRect(x, y, 1, 1);
    return bounds;
}

TEST_F(ProgramImages, EachAtItsSizeAndTwiceIt) {
    CResource module;
    sorlix::ui::OpenProgramResources(module);
    const struct {
        int id;
        int size;
    } images[] = {{1001, 32}, {1006, 32}, {1101, 16}, {1403, 16}, {1501, 16}, {1601, 32}, {1602, 32}, {1603, 32}, {2001, 96}};
    for (const auto& i : images) {
        QImage once, twice;
        ASSERT_TRUE(once.loadFromData(LoadPngResource(module, i.id), "PNG")) << i.id;
        ASSERT_TRUE(twice.loadFromData(LoadPngResource2x(module, i.id), "PNG")) << i.id;
        EXPECT_EQ(once.size(), QSize(i.size, i.size)) << i.id;
        EXPECT_EQ(twice.size(), QSize(2 * i.size, 2 * i.size)) << i.id;
        // At 200 % the icon gives the double-size drawing itself.
        const QIcon icon = LoadIconResource(module, i.id);
        const QImage at200 = icon.pixmap(QSize(i.size, i.size), 2.0).toImage().convertToFormat(twice.format());
        EXPECT_EQ(at200, twice) << i.id;
        const QImage at100 = icon.pixmap(QSize(i.size, i.size), 1.0).toImage().convertToFormat(once.format());
        EXPECT_EQ(at100, once) << i.id;
    }
}

TEST_F(ProgramImages, TheAddonPieceFillsItsSquare) {
    CResource module;
    sorlix::ui::OpenProgramResources(module);
    QImage piece;
    ASSERT_TRUE(piece.loadFromData(LoadPngResource(module, 1403), "PNG"));
    const QRect bounds = opaqueBounds(piece);
    EXPECT_GE(bounds.width(), 13);
    EXPECT_GE(bounds.height(), 13);
}

TEST_F(ProgramImages, AnIconWithoutAUsableDoubleSizeImage) {
    CResource module;
    sorlix::ui::OpenProgramResources(module);
    const QByteArray png = LoadPngResource(module, 1403);
    EXPECT_FALSE(winsys::controls::IconFromPng(png, "not an image").isNull());
    EXPECT_TRUE(winsys::controls::IconFromPng("not an image", png).isNull());
}

TEST_F(ProgramImages, StartUpWarningsInTheSkinWithTheProgramsImage) {
    CResource module;
    sorlix::ui::OpenProgramResources(module);
    QImage drawn;
    ASSERT_TRUE(drawn.loadFromData(LoadPngResource(module, sorlix::ui::kExclamationImage), "PNG"));
    const auto warning = sorlix::ui::StartupMessageBox("No library", "Vendrel Sorlix", sorlix::MessageIcon::Exclamation);
    EXPECT_EQ(warning->iconPixmap().toImage().convertToFormat(drawn.format()), drawn);
    EXPECT_TRUE(warning->styleSheet().contains("QPushButton"));
    ASSERT_EQ(warning->buttons().size(), 1);
    EXPECT_TRUE(warning->buttons().front()->icon().isNull());
    const auto plain = sorlix::ui::StartupMessageBox("Note", "Vendrel Sorlix", sorlix::MessageIcon::None);
    EXPECT_TRUE(plain->iconPixmap().isNull());
    EXPECT_EQ(plain->text(), "Note");
}

// Start-up may be telling that the program's files are missing: the box
// then still says so, with its OK, in Qt's own look.
TEST_F(ProgramImages, StartUpWarningWithoutTheProgramFile) {
    sorlix::ui::setProgramFile("C:\\nowhere\\Sorlix.exe");
    const auto warning = sorlix::ui::StartupMessageBox("No library", "Vendrel Sorlix", sorlix::MessageIcon::Exclamation);
    EXPECT_EQ(warning->text(), "No library");
    EXPECT_EQ(warning->windowTitle(), "Vendrel Sorlix");
    EXPECT_EQ(warning->buttons().size(), 1);
    EXPECT_TRUE(warning->styleSheet().isEmpty());
}

} // namespace
