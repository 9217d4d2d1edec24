// e2e_screenshots: runs the program on a fresh demo machine on an X screen
// (Xvfb) and writes the README's pictures into <folder>: the main window as
// it opens on that screen, and each dialog over it with a strip of the
// window round it, named <what>-<width>x<height>.png (with "@2x" before
// ".png" at a scale factor of 2):
//   main-window       an add-on selected, its details shown
//   confirmation      the delete question over the main window
//   file-properties   the file-properties sheet of the selected add-on,
//                     and file-properties-details its last page
//   restore-window    the restore window listing the backups of two
//                     deleted add-ons
//   about-box         the about box
//   safari-set        the Safari set chosen in "All Browser Objects", its
//                     first add-on selected
//   opera-set         the same for the Opera set (both builds)
// The add-on shown is the demo's "Bluebird Search Toolbar", or the first
// add-on of the tree when the demo holds no such toolbar.
//
//   QT_QPA_PLATFORM=xcb e2e_screenshots <folder>
//
// scripts/screenshots.sh runs it at each screen size.

#include <QCursor>
#include <QComboBox>
#include <QGuiApplication>
#include <QLinearGradient>
#include <QMessageBox>
#include <QPainter>
#include <QTabWidget>
#include <QPixmap>
#include <QScreen>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

#include <cstdio>
#include <functional>
#include <utility>

#include "app/core/mfileprops.h"
#include "app/ui/fabout.h"
#include "app/ui/file_properties_sheet.h"
#include "app/ui/fobjectlist.h"
#include "app/ui/frestore.h"
#include "app/ui/fselectaddonset.h"
#include "common/interfaces/table.h"
#include "platform/com/variant.h"
#include "platform/controls/task_dialog.h"
#include "platform/controls/tree_view.h"
#include "tests/e2e/window/e2e_support.h"

namespace {

using winsys::controls::TaskDialog;
using winsys::controls::TaskDialogSettings;
using winsys::controls::TreeView;

void settle() {
    for (int i = 0; i < 20; ++i) QApplication::processEvents();
    QTest::qWait(150); // the X server draws what it was sent
    for (int i = 0; i < 5; ++i) QApplication::processEvents();
}

std::string idOf(win::LONG type, const std::string& displayName) {
    for (const auto& [name, id] : testsupport::listingRows(sorlix::DB->TypeObjects(type).get()))
        if (name == displayName) return id;
    return {};
}

// The first add-on of the tree: a node under a group.
QTreeWidgetItem* firstAddonNode(TreeView* tv) {
    for (int g = 0; g < tv->topLevelItemCount(); ++g)
        if (tv->topLevelItem(g)->childCount() > 0) return tv->topLevelItem(g)->child(0);
    return nullptr;
}

// The node of the named add-on; else the first add-on of the tree, so that
// a changed demo still gets its pictures.
QTreeWidgetItem* addonNode(TreeView* tv, win::LONG type, const std::string& name) {
    if (QTreeWidgetItem* node = tv->Node(QString::fromStdString(idOf(type, name)))) return node;
    return firstAddonNode(tv);
}

// Selects the node with a click, as the user would; false when the click
// did not select it.
bool clickNode(TreeView* tv, QTreeWidgetItem* node) {
    tv->scrollToItem(node);
    settle();
    QTest::mouseClick(tv->viewport(), Qt::LeftButton, Qt::NoModifier, tv->visualItemRect(node).center());
    settle();
    return tv->SelectedNode() == node;
}

// Selects an add-on's node with a click.
bool select(sorlix::ui::FMain& form, win::LONG type, const std::string& name) {
    auto* tv = form.objectList()->findChild<TreeView*>();
    QTreeWidgetItem* node = tv ? addonNode(tv, type, name) : nullptr;
    if (!node) return false;
    if (node->parent()) node->parent()->setExpanded(true);
    return clickNode(tv, node);
}

// Chooses a set in "All Browser Objects" with a click, then selects the
// first add-on it lists with another.
bool selectSet(sorlix::ui::FMain& form, win::LONG set) {
    auto* sets = form.addonSetPane()->findChild<TreeView*>("tv");
    QTreeWidgetItem* node = sets ? sets->Node(QStringLiteral("_%1").arg(set)) : nullptr;
    if (!node || !clickNode(sets, node)) return false;
    auto* tv = form.objectList()->findChild<TreeView*>();
    QTreeWidgetItem* first = tv ? firstAddonNode(tv) : nullptr;
    return first && clickNode(tv, first);
}

void pointerAway(QWidget& w) {
    QCursor::setPos(w.mapToGlobal(QPoint(w.width() - 5, w.height() - 5)));
    settle();
}

// What the screen shows over the main window: the window and the dialog
// open over it. Xvfb runs no window manager, so the dialog gets a plain
// frame with its title drawn round it here.
QPixmap screenOver(const QWidget& form, const QWidget* dialog = nullptr) {
    settle();
    QScreen* screen = form.screen();
    if (!screen) return {};
    QPixmap shot = screen->grabWindow(0);
    // The picture has the screen's device pixels; geometry is logical.
    const qreal ratio = shot.devicePixelRatio();
    const auto devicePixels = [ratio](const QRect& r) {
        return QRectF(QPointF(r.topLeft()) * ratio, QSizeF(r.size()) * ratio).toRect();
    };
    if (dialog) {
        constexpr int kTitle = 24;
        const QRect inner = dialog->frameGeometry();
        const QRect frame = inner.adjusted(-1, -kTitle - 1, 1, 1);
        QPainter p(&shot);
        // A shadow right of and below the frame, a line round it.
        p.fillRect(QRect(frame.right() + 1, frame.top() + 3, 3, frame.height()), QColor(0, 0, 0, 50));
        p.fillRect(QRect(frame.left() + 3, frame.bottom() + 1, frame.width() - 3, 3), QColor(0, 0, 0, 50));
        p.setPen(QColor(0x6f, 0x8f, 0xbf));
        p.drawRect(frame.adjusted(0, 0, -1, -1));
        const QRect title(inner.left(), inner.top() - kTitle, inner.width(), kTitle);
        QLinearGradient g(title.topLeft(), title.bottomLeft());
        g.setColorAt(0, QColor(0xe4, 0xee, 0xfa));
        g.setColorAt(1, QColor(0xc4, 0xd6, 0xee));
        p.fillRect(title, g);
        p.setPen(QColor(0x15, 0x42, 0x8b));
        p.drawText(title.adjusted(8, 0, -8, 0), Qt::AlignVCenter | Qt::AlignLeft, dialog->windowTitle());
        p.end();
        // The dialog with a strip of the window round it, which is what the
        // picture is about; the whole window has a picture of its own.
        constexpr int kAround = 40;
        return shot.copy(devicePixels(frame.adjusted(-kAround, -kAround, kAround, kAround)
                                          .intersected(form.frameGeometry().united(frame.adjusted(0, 0, 3, 3)))));
    }
    return shot.copy(devicePixels(form.frameGeometry()));
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: e2e_screenshots <folder>\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    e2e::ensureApplication();
    if (QGuiApplication::platformName() != QStringLiteral("xcb")) {
        std::fprintf(stderr, "e2e_screenshots: needs an X screen (QT_QPA_PLATFORM=xcb, under Xvfb)\n");
        return 2;
    }
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QSize screenSize = screen->size();
    // At a scale factor the size is the screen's in logical pixels, so the
    // factor goes into the name too: main-window-1280x800@2x.png.
    const qreal ratio = screen->devicePixelRatio();
    const QString suffix = QStringLiteral("-%1x%2%3.png")
                               .arg(screenSize.width())
                               .arg(screenSize.height())
                               .arg(ratio == 1.0 ? QString() : QStringLiteral("@%1x").arg(ratio));
    e2e::DemoMachine demo;
    if (!demo.built()) {
        std::fprintf(stderr, "%s", demo.output().c_str());
        return 1;
    }
    if (const std::string error = demo.open(); !error.empty()) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    sorlix::MFileProps::setFilePropertiesSheet(sorlix::ui::ShowFilePropertiesSheet);

    bool ok = true;
    const auto fail = [&](const char* what) {
        std::fprintf(stderr, "e2e_screenshots: %s\n", what);
        ok = false;
    };
    const auto save = [&](const QPixmap& picture, const char* name) {
        const QString file = folder + "/" + name + suffix;
        // Quality 0: the strongest compression, the pictures live in the repository.
        const bool saved = !picture.isNull() && picture.save(file, "PNG", 0);
        if (!saved) std::fprintf(stderr, "e2e_screenshots: could not write %s\n", qPrintable(file));
        ok = ok && saved;
    };
    // Shows a modal window by `open`, pictures it over the main window, closes it.
    const auto modalPicture = [&]<class W>(sorlix::ui::FMain& form, const char* name, const std::function<void()>& open,
                                          const std::function<void(W&)>& prepare) {
        const bool shown = e2e::whileModal<W>(open, [&](W& w) {
            if (prepare) prepare(w);
            pointerAway(w);
            save(screenOver(form, &w), name);
            w.close();
        });
        if (!shown) fail(name);
    };
    const auto click = [](sorlix::ui::FMain& form, const char* command) {
        return [&form, command] {
            if (auto* button = form.findChild<QToolButton*>(command)) button->click();
        };
    };

    e2e::runProgram(
        [&](sorlix::ui::FMain& form) {
            settle();
            if (!select(form, sorlix::atIE32Toolbar, "Bluebird Search Toolbar")) {
                fail("no add-on in the tree");
                return;
            }
            pointerAway(form);
            save(screenOver(form), "main-window");

            // The question as the user sees it, answered No by closing it.
            modalPicture.operator()<QMessageBox>(form, "confirmation", click(form, "cmd_5001"), {});
            modalPicture.operator()<sorlix::ui::FilePropertiesSheet>(form, "file-properties", click(form, "cmd_5002"),
                                                                     {});
            modalPicture.operator()<sorlix::ui::FilePropertiesSheet>(
                form, "file-properties-details", click(form, "cmd_5002"),
                [](sorlix::ui::FilePropertiesSheet& w) { w.pages()->setCurrentIndex(w.pages()->count() - 1); });
            modalPicture.operator()<sorlix::ui::FAbout>(
                form, "about-box", [&form] { form.CommandBars_Execute(6006); }, {});

            // The last two browsers' sets, each chosen as the user would.
            for (const auto& [set, name] : {std::pair{8, "safari-set"}, std::pair{9, "opera-set"}}) {
                if (!selectSet(form, set)) {
                    fail(name);
                    continue;
                }
                pointerAway(form);
                save(screenOver(form), name);
            }
            // Back to every add-on for the deletions below.
            if (!selectSet(form, 0)) fail("the set of all add-ons");

            // Two add-ons deleted for real, then the restore window lists them.
            TaskDialog::setTestResponder([](const TaskDialogSettings& s) {
                return (s.commonButtons & TaskDialog::kYes) ? TaskDialog::kYes : TaskDialog::kOk;
            });
            win::LONG deletedType = sorlix::atIE32Toolbar;
            QString deletedName;
            for (const char* name : {"Bluebird Search Toolbar", "Marmot Mail Notifier"}) {
                if (!select(form, sorlix::atIE32Toolbar, name)) continue;
                auto* tv = form.objectList()->findChild<TreeView*>();
                if (deletedName.isEmpty()) deletedName = tv->SelectedNode()->text(0);
                form.findChild<QToolButton*>("cmd_5001")->click();
                settle();
            }
            TaskDialog::setTestResponder(nullptr);
            modalPicture.operator()<sorlix::ui::FRestore>(
                form, "restore-window", click(form, "cmd_5011"), [&](sorlix::ui::FRestore& w) {
                    QComboBox* combo = w.addonTypeCombo();
                    if (const int at = combo->findData(static_cast<int>(deletedType)); at >= 0)
                        combo->setCurrentIndex(at);
                    QTreeWidget* lv = w.backupList();
                    const auto rows = lv->findItems(deletedName, Qt::MatchExactly, 0);
                    if (!rows.isEmpty()) lv->setCurrentItem(rows.front());
                    lv->setFocus();
                });
        },
        [&](const std::string& message, const std::string&, sorlix::MessageIcon) {
            std::fprintf(stderr, "start-up: %s\n", message.c_str());
            ok = false;
        });
    sorlix::MFileProps::setFilePropertiesSheet(nullptr);
    winsys::setMachine(nullptr);
    return ok ? 0 : 1;
}
