// e2e_screenshots: runs the program on a fresh demo machine offscreen and
// writes the README's pictures into <folder>:
//   main-window.png     an add-on selected, its details shown
//   confirmation.png    the delete question over the main window
//   restore-window.png  the restore window listing the backups of two
//                       deleted toolbars
//
//   e2e_screenshots <folder>

#include <QCursor>
#include <QComboBox>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

#include <cstdio>

#include "app/ui/fobjectlist.h"
#include "app/ui/frestore.h"
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
}

std::string idOf(win::LONG type, const std::string& displayName) {
    for (const auto& [name, id] : testsupport::listingRows(sorlix::DB->TypeObjects(type).get()))
        if (name == displayName) return id;
    return {};
}

// Selects the add-on's node with a click, as the user would.
bool select(sorlix::ui::FMain& form, win::LONG type, const std::string& name) {
    auto* tv = form.objectList()->findChild<TreeView*>();
    QTreeWidgetItem* node = tv ? tv->Node(QString::fromStdString(idOf(type, name))) : nullptr;
    if (!node) return false;
    tv->scrollToItem(node);
    QTest::mouseClick(tv->viewport(), Qt::LeftButton, Qt::NoModifier, tv->visualItemRect(node).center());
    settle();
    return tv->SelectedNode() == node;
}

void pointerAway(QWidget& w) {
    QCursor::setPos(w.mapToGlobal(QPoint(w.width() - 5, w.height() - 5)));
    settle();
}

// The message box the task dialog shows for these settings, drawn in a
// plain window frame with its title over the middle of `background`.
QPixmap dialogOver(const QPixmap& background, const TaskDialogSettings& s, QWidget* owner) {
    QMessageBox box(owner);
    box.setWindowTitle(s.windowTitle);
    box.setText(s.content);
    box.setIcon(QMessageBox::NoIcon);
    const int flags = s.commonButtons == 0 ? TaskDialog::kOk : s.commonButtons;
    if (flags & TaskDialog::kOk) box.addButton(QMessageBox::Ok);
    if (flags & TaskDialog::kYes) box.addButton(QMessageBox::Yes);
    if (flags & TaskDialog::kNo) box.addButton(QMessageBox::No);
    box.setModal(false);
    box.show();
    settle();
    const QPixmap content = box.grab();
    box.hide();

    QPixmap out = background.copy();
    QPainter p(&out);
    p.fillRect(out.rect(), QColor(0, 0, 0, 40));
    const int titleHeight = 26;
    const QRect frame(QPoint((out.width() - content.width()) / 2 - 1,
                             (out.height() - content.height() - titleHeight) / 2 - 1),
                      QSize(content.width() + 2, content.height() + titleHeight + 2));
    p.fillRect(frame.translated(4, 4), QColor(0, 0, 0, 60));
    p.fillRect(frame, QColor(0x9a, 0xa8, 0xbc));
    const QRect title(frame.left() + 1, frame.top() + 1, content.width(), titleHeight);
    p.fillRect(title, QColor(0xdf, 0xe8, 0xf5));
    p.setPen(Qt::black);
    p.drawText(title.adjusted(8, 0, -8, 0), Qt::AlignVCenter | Qt::AlignLeft, s.windowTitle);
    p.drawPixmap(title.bottomLeft() + QPoint(0, 1), content);
    return out;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: e2e_screenshots <folder>\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    e2e::ensureApplication();
    e2e::DemoMachine demo;
    if (!demo.built()) {
        std::fprintf(stderr, "%s", demo.output().c_str());
        return 1;
    }
    if (const std::string error = demo.open(); !error.empty()) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    int answer = TaskDialog::kNo;
    TaskDialogSettings asked;
    TaskDialog::setTestResponder([&](const TaskDialogSettings& s) {
        asked = s;
        return (s.commonButtons & TaskDialog::kYes) ? answer : TaskDialog::kOk;
    });

    bool ok = true;
    const auto save = [&](const QPixmap& picture, const char* name) {
        const bool saved = !picture.isNull() && picture.save(folder + "/" + name, "PNG");
        if (!saved) std::fprintf(stderr, "could not write %s\n", name);
        ok = ok && saved;
    };
    e2e::runProgram(
        [&](sorlix::ui::FMain& form) {
            form.resize(1100, 680);
            settle();
            if (!select(form, sorlix::atIE32Toolbar, "Bluebird Search Toolbar")) {
                std::fprintf(stderr, "no Bluebird Search Toolbar in the tree\n");
                ok = false;
                return;
            }
            pointerAway(form);
            const QPixmap window = form.grab();
            save(window, "main-window.png");

            // The question is answered No here; its settings make the picture.
            form.findChild<QToolButton*>("cmd_5001")->click();
            save(dialogOver(window, asked, &form), "confirmation.png");

            // Two toolbars deleted for real, then the restore window lists them.
            answer = TaskDialog::kYes;
            for (const char* name : {"Bluebird Search Toolbar", "Marmot Mail Notifier"}) {
                if (!select(form, sorlix::atIE32Toolbar, name)) ok = false;
                form.findChild<QToolButton*>("cmd_5001")->click();
            }
            QToolButton* restore = form.findChild<QToolButton*>("cmd_5011");
            const bool shown = e2e::whileModal<sorlix::ui::FRestore>([restore] { restore->click(); }, [&](auto& w) {
                QComboBox* combo = w.addonTypeCombo();
                combo->setCurrentIndex(combo->findData(static_cast<int>(sorlix::atIE32Toolbar)));
                QTreeWidget* lv = w.backupList();
                const auto rows = lv->findItems("Bluebird Search Toolbar", Qt::MatchExactly, 0);
                if (!rows.isEmpty()) lv->setCurrentItem(rows.front());
                lv->setFocus();
                pointerAway(w);
                save(w.grab(), "restore-window.png");
                w.close();
            });
            if (!shown) {
                std::fprintf(stderr, "the restore window did not open\n");
                ok = false;
            }
        },
        [&](const std::string& message, const std::string&, sorlix::MessageIcon) {
            std::fprintf(stderr, "start-up: %s\n", message.c_str());
            ok = false;
        });
    TaskDialog::setTestResponder(nullptr);
    winsys::setMachine(nullptr);
    return ok ? 0 : 1;
}
