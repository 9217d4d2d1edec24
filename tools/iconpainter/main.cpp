// iconpainter: draws the program's images and writes them as PNG files
// named by image id into the folder it is given, each also at twice its
// size for screens at 200 % (<id>@2x.png). Run at build time; the images
// then go into the program file as PNG resources.
//
//   iconpainter <folder>

#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

// Every picture is drawn on a 32-unit square and scaled to its size.
using Drawing = std::function<void(QPainter&)>;

// One pixel of the image being drawn, in units: outlines are never thinner,
// so that they stay sharp at 16 pixels.
double g_pixel = 1.0;

QPainterPath puzzlePiece(QRectF r) {
    const double k = r.width() / 2.3; // knob diameter: readable at 16 pixels
    QPainterPath body;
    body.addRoundedRect(r, r.width() * 0.08, r.width() * 0.08);
    QPainterPath knobs;
    knobs.addEllipse(QPointF(r.center().x(), r.top()), k / 2, k / 2);
    knobs.addEllipse(QPointF(r.right(), r.center().y()), k / 2, k / 2);
    QPainterPath hole;
    hole.addEllipse(QPointF(r.left(), r.center().y()), k / 2.4, k / 2.4);
    return body.united(knobs).subtracted(hole);
}

void fillGradient(QPainter& p, const QPainterPath& path, QColor light, QColor dark, QColor outline) {
    const QRectF b = path.boundingRect();
    QLinearGradient g(b.topLeft(), b.bottomRight());
    g.setColorAt(0, light);
    g.setColorAt(1, dark);
    p.setBrush(g);
    p.setPen(QPen(outline, std::max(1.2, g_pixel)));
    p.drawPath(path);
}

void sheet(QPainter& p, QRectF r) {
    QPainterPath page;
    const double fold = r.width() * 0.3;
    page.moveTo(r.topLeft());
    page.lineTo(r.right() - fold, r.top());
    page.lineTo(r.right(), r.top() + fold);
    page.lineTo(r.bottomRight());
    page.lineTo(r.bottomLeft());
    page.closeSubpath();
    fillGradient(p, page, Qt::white, QColor(0xdd, 0xe4, 0xee), QColor(0x6b, 0x7a, 0x90));
    p.setPen(QPen(QColor(0x9a, 0xa8, 0xbb), 1.2));
    for (double y = r.top() + r.height() * 0.35; y < r.bottom() - 2; y += r.height() * 0.16)
        p.drawLine(QPointF(r.left() + 3, y), QPointF(r.right() - 3, y));
}

void redCross(QPainter& p, QPointF c, double s) {
    QPainterPath x;
    x.moveTo(c + QPointF(-s, -s));
    x.lineTo(c + QPointF(s, s));
    x.moveTo(c + QPointF(s, -s));
    x.lineTo(c + QPointF(-s, s));
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0x7a, 0x10, 0x10), s * 0.9, Qt::SolidLine, Qt::RoundCap));
    p.drawPath(x);
    p.setPen(QPen(QColor(0xe8, 0x3a, 0x2e), s * 0.55, Qt::SolidLine, Qt::RoundCap));
    p.drawPath(x);
}

void badge(QPainter& p, QPointF c, double r, QColor colour, const QString& letter) {
    QRadialGradient g(c - QPointF(r / 3, r / 3), r * 1.4);
    g.setColorAt(0, colour.lighter(150));
    g.setColorAt(1, colour.darker(120));
    p.setBrush(g);
    p.setPen(QPen(colour.darker(170), 1));
    p.drawEllipse(c, r, r);
    QFont f("DejaVu Sans");
    f.setBold(true);
    f.setPixelSize(static_cast<int>(r * 1.5));
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRectF(c.x() - r, c.y() - r, 2 * r, 2 * r), Qt::AlignCenter, letter);
}

void circleArrows(QPainter& p, QColor colour) {
    p.setBrush(Qt::NoBrush);
    for (int half = 0; half < 2; ++half) {
        p.save();
        p.translate(16, 16);
        p.rotate(half * 180);
        p.setPen(QPen(colour.darker(160), 5.5, Qt::SolidLine, Qt::FlatCap));
        p.drawArc(QRectF(-10, -10, 20, 20), 20 * 16, 130 * 16);
        p.setPen(QPen(colour, 3.5, Qt::SolidLine, Qt::FlatCap));
        p.drawArc(QRectF(-10, -10, 20, 20), 20 * 16, 130 * 16);
        QPainterPath head;
        head.moveTo(4.5, -13.5);
        head.lineTo(13.5, -6);
        head.lineTo(3, -3.5);
        head.closeSubpath();
        p.setPen(QPen(colour.darker(160), 1));
        p.setBrush(colour);
        p.drawPath(head);
        p.setBrush(Qt::NoBrush);
        p.restore();
    }
}

void undoArrow(QPainter& p) {
    const QColor blue(0x2f, 0x6f, 0xd0);
    QPainterPath curve;
    curve.moveTo(9, 13);
    curve.cubicTo(16, 5, 29, 9, 27, 20);
    curve.cubicTo(26, 25, 21, 28, 16, 28);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(blue.darker(170), 6.5, Qt::SolidLine, Qt::RoundCap));
    p.drawPath(curve);
    p.setPen(QPen(blue.lighter(130), 4, Qt::SolidLine, Qt::RoundCap));
    p.drawPath(curve);
    QPainterPath head;
    head.moveTo(2, 13);
    head.lineTo(13, 5);
    head.lineTo(14, 20);
    head.closeSubpath();
    fillGradient(p, head, blue.lighter(140), blue, blue.darker(170));
}

void magnifier(QPainter& p) {
    p.setPen(QPen(QColor(0x5a, 0x3a, 0x1a), 6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(19, 19), QPointF(28, 28));
    QRadialGradient glass(QPointF(10, 10), 12);
    glass.setColorAt(0, QColor(0xf4, 0xfa, 0xff));
    glass.setColorAt(1, QColor(0x9c, 0xc8, 0xf0));
    p.setBrush(glass);
    p.setPen(QPen(QColor(0x3a, 0x4a, 0x60), 3));
    p.drawEllipse(QPointF(13, 13), 9, 9);
    QFont f("DejaVu Sans");
    f.setBold(true);
    f.setPixelSize(12);
    p.setFont(f);
    p.setPen(QColor(0x2f, 0x6f, 0xd0));
    p.drawText(QRectF(4, 4, 18, 18), Qt::AlignCenter, "G");
}

void addon(QPainter& p, QRectF r, QColor colour) {
    fillGradient(p, puzzlePiece(r), colour.lighter(150), colour, colour.darker(180));
}

void copyIcon(QPainter& p) {
    sheet(p, QRectF(3, 2, 17, 21));
    sheet(p, QRectF(12, 9, 17, 21));
}

void folder(QPainter& p, bool open) {
    const QColor yellow(0xf0, 0xc0, 0x40);
    QPainterPath back;
    back.moveTo(2, 7);
    back.lineTo(11, 7);
    back.lineTo(14, 10);
    back.lineTo(29, 10);
    back.lineTo(29, 27);
    back.lineTo(2, 27);
    back.closeSubpath();
    fillGradient(p, back, yellow.lighter(120), yellow.darker(120), QColor(0x9a, 0x70, 0x10));
    QPainterPath front;
    if (open) {
        front.moveTo(6, 14);
        front.lineTo(31, 14);
        front.lineTo(27, 27);
        front.lineTo(2, 27);
    } else {
        front.addRect(2, 13, 27, 14);
    }
    front.closeSubpath();
    fillGradient(p, front, yellow.lighter(140), yellow, QColor(0x9a, 0x70, 0x10));
}

void globeLetter(QPainter& p, QColor a, QColor b, const QString& letter) {
    QRadialGradient g(QPointF(11, 10), 20);
    g.setColorAt(0, a);
    g.setColorAt(1, b);
    p.setBrush(g);
    p.setPen(QPen(b.darker(150), 1.2));
    p.drawEllipse(QPointF(16, 16), 13.5, 13.5);
    QFont f("DejaVu Sans");
    f.setBold(true);
    f.setPixelSize(19);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRectF(2, 1, 28, 28), Qt::AlignCenter, letter);
}

void browserIE(QPainter& p) {
    globeLetter(p, QColor(0x6a, 0xb4, 0xf5), QColor(0x14, 0x5c, 0xb4), "e");
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0xf2, 0xc0, 0x2a), 2.4));
    p.save();
    p.translate(16, 16);
    p.rotate(-30);
    p.drawEllipse(QPointF(0, 0), 15, 6.5);
    p.restore();
}

void browserFirefox(QPainter& p) {
    globeLetter(p, QColor(0x5a, 0x7a, 0xd8), QColor(0x26, 0x2f, 0x8a), "");
    QPainterPath tail;
    tail.moveTo(4, 22);
    tail.cubicTo(2, 10, 14, 1, 24, 5);
    tail.cubicTo(18, 6, 17, 10, 21, 12);
    tail.cubicTo(28, 14, 27, 27, 16, 29.5);
    tail.cubicTo(10, 30, 5, 27, 4, 22);
    fillGradient(p, tail, QColor(0xff, 0xc8, 0x30), QColor(0xe6, 0x50, 0x10), QColor(0xa0, 0x30, 0x08));
}

void browserChrome(QPainter& p) {
    const QColor colours[] = {QColor(0xdb, 0x44, 0x37), QColor(0xf4, 0xc2, 0x0d), QColor(0x0f, 0x9d, 0x58)};
    const QRectF outer(2.5, 2.5, 27, 27);
    for (int i = 0; i < 3; ++i) {
        p.setBrush(colours[i]);
        p.setPen(Qt::NoPen);
        p.drawPie(outer, (90 + i * 120) * 16, 120 * 16);
    }
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(16, 16), 7, 7);
    p.setBrush(QColor(0x42, 0x85, 0xf4));
    p.drawEllipse(QPointF(16, 16), 5.2, 5.2);
}

void browserSafari(QPainter& p) {
    globeLetter(p, QColor(0xe8, 0xf4, 0xff), QColor(0x1e, 0x88, 0xe5), "");
    p.setPen(QPen(Qt::white, 1));
    for (int a = 0; a < 360; a += 30) {
        p.save();
        p.translate(16, 16);
        p.rotate(a);
        p.drawLine(QPointF(0, -12), QPointF(0, -10));
        p.restore();
    }
    p.save();
    p.translate(16, 16);
    p.rotate(45);
    QPainterPath north, south;
    north.moveTo(-2.6, 0);
    north.lineTo(0, -11);
    north.lineTo(2.6, 0);
    north.closeSubpath();
    south.moveTo(-2.6, 0);
    south.lineTo(0, 11);
    south.lineTo(2.6, 0);
    south.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xe5, 0x2d, 0x27));
    p.drawPath(north);
    p.setBrush(Qt::white);
    p.drawPath(south);
    p.restore();
}

void browserOpera(QPainter& p) {
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0x8a, 0x05, 0x10), 7.5));
    p.drawEllipse(QRectF(5, 3, 22, 26));
    p.setPen(QPen(QColor(0xef, 0x2a, 0x3a), 5));
    p.drawEllipse(QRectF(5, 3, 22, 26));
}

void browserWaterfox(QPainter& p) {
    globeLetter(p, QColor(0x6f, 0xe0, 0xf0), QColor(0x0a, 0x6a, 0x9a), "");
    QPainterPath wave;
    wave.moveTo(3, 19);
    wave.cubicTo(9, 13, 13, 24, 19, 18);
    wave.cubicTo(23, 14, 26, 16, 29.5, 18);
    wave.lineTo(28, 24);
    wave.cubicTo(22, 31, 10, 31, 4, 24);
    wave.closeSubpath();
    fillGradient(p, wave, QColor(0xe6, 0xfa, 0xff), QColor(0x6a, 0xc8, 0xe8), QColor(0x0a, 0x5a, 0x80));
}

void showAll(QPainter& p) {
    const QColor colours[] = {QColor(0x1e, 0x88, 0xe5), QColor(0xe6, 0x6a, 0x10), QColor(0x0f, 0x9d, 0x58),
                              QColor(0xd8, 0x2a, 0x3a)};
    for (int i = 0; i < 4; ++i) {
        QRectF r(3 + (i % 2) * 14, 3 + (i / 2) * 14, 12, 12);
        QPainterPath cell;
        cell.addRoundedRect(r, 2.5, 2.5);
        fillGradient(p, cell, colours[i].lighter(140), colours[i], colours[i].darker(160));
    }
}

void backup(QPainter& p) {
    const QColor brown(0xc8, 0x96, 0x5a);
    QPainterPath box;
    box.addRect(4, 12, 24, 16);
    fillGradient(p, box, brown.lighter(125), brown.darker(110), brown.darker(190));
    QPainterPath lid;
    lid.addRect(2, 8, 28, 6);
    fillGradient(p, lid, brown.lighter(140), brown, brown.darker(190));
    p.setPen(QPen(brown.darker(190), 1.2));
    p.drawLine(QPointF(12, 18), QPointF(20, 18));
    addon(p, QRectF(11, 3, 8, 8), QColor(0x2f, 0x8f, 0x4f));
}

// A warning: an exclamation mark on a yellow triangle.
void exclamation(QPainter& p) {
    QPainterPath triangle;
    triangle.moveTo(16, 2.5);
    triangle.lineTo(30, 28.5);
    triangle.lineTo(2, 28.5);
    triangle.closeSubpath();
    const QColor yellow(0xf5, 0xc2, 0x1b);
    fillGradient(p, triangle, yellow.lighter(130), yellow.darker(110), QColor(0x9a, 0x6a, 0x08));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x3a, 0x2a, 0x08));
    QPainterPath mark;
    mark.moveTo(14.2, 10);
    mark.lineTo(17.8, 10);
    mark.lineTo(17, 20.5);
    mark.lineTo(15, 20.5);
    mark.closeSubpath();
    p.drawPath(mark);
    p.drawEllipse(QPointF(16, 24.5), 2, 2);
}

void productPicture(QPainter& p) {
    // A browser window with an add-on piece lifted out of it.
    QPainterPath window;
    window.addRoundedRect(QRectF(1.5, 4, 25, 21), 2.5, 2.5);
    fillGradient(p, window, QColor(0xf6, 0xfa, 0xff), QColor(0xc4, 0xd6, 0xee), QColor(0x2a, 0x44, 0x70));
    QPainterPath bar;
    bar.addRoundedRect(QRectF(1.5, 4, 25, 5), 2.5, 2.5);
    fillGradient(p, bar, QColor(0x6a, 0x9a, 0xe0), QColor(0x2a, 0x5a, 0xb0), QColor(0x2a, 0x44, 0x70));
    p.setPen(QPen(QColor(0x9a, 0xb0, 0xd0), 1));
    for (double y = 13; y < 24; y += 3) p.drawLine(QPointF(4, y), QPointF(15, y));
    addon(p, QRectF(16, 15, 11, 11), QColor(0x2f, 0x9f, 0x4f));
}

struct Picture {
    int id;
    int size;
    Drawing draw;
};

const Picture kPictures[] = {
    {1001, 32, [](QPainter& p) { productPicture(p); }},
    {1003, 32, [](QPainter& p) { addon(p, QRectF(4, 6, 19, 19), QColor(0x3f, 0x7f, 0xc0)); redCross(p, {22, 22}, 6); }},
    {1004, 32, [](QPainter& p) { sheet(p, QRectF(5, 2, 19, 26)); badge(p, {23, 23}, 7, QColor(0x2f, 0x6f, 0xd0), "i"); }},
    {1005, 32, [](QPainter& p) { circleArrows(p, QColor(0x2e, 0xa0, 0x44)); }},
    {1006, 32, [](QPainter& p) { undoArrow(p); }},
    {1007, 32, [](QPainter& p) { magnifier(p); }},
    {1101, 16, [](QPainter& p) { badge(p, {16, 16}, 13, QColor(0x2f, 0x6f, 0xd0), "i"); }},
    {1103, 16, [](QPainter& p) { redCross(p, {16, 16}, 10); }},
    {1104, 16, [](QPainter& p) { sheet(p, QRectF(5, 2, 21, 28)); }},
    {1105, 16, [](QPainter& p) { circleArrows(p, QColor(0x2e, 0xa0, 0x44)); }},
    {1107, 16, [](QPainter& p) { magnifier(p); }},
    {1108, 16, [](QPainter& p) { copyIcon(p); }},
    {1301, 16, [](QPainter& p) { showAll(p); }},
    {1302, 16, [](QPainter& p) { browserIE(p); }},
    {1303, 16, [](QPainter& p) { browserFirefox(p); }},
    {1304, 16, [](QPainter& p) { browserChrome(p); }},
    {1305, 16, [](QPainter& p) { browserSafari(p); }},
    {1306, 16, [](QPainter& p) { browserOpera(p); }},
    {1307, 16, [](QPainter& p) { browserWaterfox(p); }},
    {1401, 16, [](QPainter& p) { folder(p, true); }},
    {1402, 16, [](QPainter& p) { folder(p, false); }},
    {1403, 16, [](QPainter& p) { addon(p, QRectF(2, 8, 22, 22), QColor(0x2f, 0x8f, 0x4f)); }},
    {1501, 16, [](QPainter& p) { backup(p); }},
    {1601, 32, [](QPainter& p) { exclamation(p); }},
    // The file-properties sheet's pictures of a file and a folder.
    {1602, 32, [](QPainter& p) { sheet(p, QRectF(6, 2, 20, 28)); }},
    {1603, 32, [](QPainter& p) { folder(p, false); }},
    {2001, 96, [](QPainter& p) { productPicture(p); }},
};

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: iconpainter <folder>\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    for (const Picture& picture : kPictures) {
        // Drawn afresh at each scale, not scaled from the other.
        for (const int scale : {1, 2}) {
            const int size = picture.size * scale;
            QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
            image.fill(Qt::transparent);
            QPainter p(&image);
            p.setRenderHint(QPainter::Antialiasing);
            p.setRenderHint(QPainter::TextAntialiasing);
            g_pixel = 32.0 / size;
            p.scale(size / 32.0, size / 32.0);
            picture.draw(p);
            p.end();
            const QString file = folder + (scale == 1 ? QStringLiteral("/%1.png") : QStringLiteral("/%1@2x.png")).arg(picture.id);
            if (!image.save(file, "PNG")) {
                std::fprintf(stderr, "iconpainter: cannot write %s\n", qPrintable(file));
                return 1;
            }
        }
    }
    return 0;
}
