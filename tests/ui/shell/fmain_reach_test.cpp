// The main window as a user meets it: its first size and its minimum size
// (every ribbon caption whole, every pane there), the keyboard route to
// every ribbon command and the file menu, Enter on a focused ribbon button,
// whole texts in tooltips where a pane cuts them, and a name for every
// pane, tree header and button.

#include <QAccessible>
#include <QAbstractButton>
#include <QDockWidget>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include "app/ui/fmain.h"
#include "app/ui/fobjectlist.h"
#include "app/ui/fproperties.h"
#include "app/ui/fselectaddonset.h"
#include "platform/controls/elided_text_tips.h"
#include "platform/controls/property_grid.h"
#include "platform/controls/tree_view.h"
#include "tests/ui/shell/shell_support.h"
#include "tests/ui/tooltip_at.h"

namespace {

using shelltest::Machine;
using shelltest::text;
using sorlix::ui::FMain;
using uitest::toolTipAt;

class Reach : public Machine {
protected:
    void open(FMain& form) {
        form.Load();
        form.show();
        form.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    }
};

TEST_F(Reach, OpensAtThreeQuartersOfTheScreenAndKeepsTheRibbonWholeAtItsMinimum) {
    FMain form;
    open(form);
    const QRect available = form.screen()->availableGeometry();
    // (Never below the minimum: the offscreen screen is small.)
    EXPECT_NEAR(form.width(), std::max(available.width() * 3 / 4, form.minimumWidth()), 2);
    EXPECT_NEAR(form.height(), std::max(available.height() * 3 / 4, form.minimumHeight()), 2);
    EXPECT_NEAR(form.geometry().center().x(), available.center().x(), 2);
    EXPECT_NEAR(form.geometry().center().y(), available.center().y(), 2);
    // The set tree starts as wide as its widest caption.
    auto* sets = form.addonSetPane()->findChild<winsys::controls::TreeView*>("tv");
    ASSERT_NE(sets, nullptr);
    for (int i = 1; i <= sets->NodeCount(); ++i) {
        QTreeWidgetItem* node = sets->NodeAt(i);
        if (!node->parent() || node->parent()->isExpanded()) {
            SCOPED_TRACE(node->text(0).toStdString());
            EXPECT_FALSE(winsys::controls::ElidedTextTips::IsCut(sets, sets->indexFromItem(node)));
        }
    }

    form.resize(1, 1);
    QApplication::processEvents();
    ASSERT_EQ(form.size(), form.minimumSize());
    EXPECT_GT(form.minimumWidth(), 300);
    for (QToolButton* tool : form.commandBars().ActiveMenuBar()->findChildren<QToolButton*>()) {
        if (!tool->objectName().startsWith("cmd_")) continue;
        SCOPED_TRACE(tool->objectName().toStdString());
        EXPECT_TRUE(tool->isVisible());
        EXPECT_GE(tool->width(), tool->sizeHint().width());
        EXPECT_TRUE(form.rect().contains(QRect(tool->mapTo(&form, QPoint(0, 0)), tool->size())));
    }
    for (QLabel* caption : form.findChildren<QLabel*>("groupCaption")) {
        SCOPED_TRACE(caption->text().toStdString());
        EXPECT_GE(caption->width(), caption->sizeHint().width());
        EXPECT_TRUE(form.rect().contains(QRect(caption->mapTo(&form, QPoint(0, 0)), caption->size())));
    }
    for (int id = 1; id <= 3; ++id) {
        SCOPED_TRACE(id);
        QDockWidget* dock = form.dockingPaneManager().FindPane(id)->dock();
        EXPECT_TRUE(dock->isVisible());
        EXPECT_GT(dock->widget()->width(), 40);
        EXPECT_GT(dock->widget()->height(), 20);
        EXPECT_TRUE(form.rect().contains(QRect(dock->mapTo(&form, QPoint(0, 0)), dock->size())))
            << form.width() << "x" << form.height() << " " << dock->mapTo(&form, QPoint(0, 0)).x() << ","
            << dock->mapTo(&form, QPoint(0, 0)).y() << " " << dock->width() << "x" << dock->height() << " client "
            << form.clientArea()->height();
    }
}

// Alt and a letter reach every command of the ribbon; the file menu's
// entries follow with the arrow keys.
TEST_F(Reach, KeyTipsReachEveryRibbonCommandAndTheFileMenu) {
    shelltest::AnsweredDialogs dialogs;
    shelltest::ModalCloser closer;
    FMain form;
    open(form);
    QSignalSpy spy(&form, &FMain::CommandDispatched);
    const auto tips = form.commandBars().KeyTips();

    std::set<int> reached;
    std::set<QChar> letters;
    for (const auto& tip : tips) {
        SCOPED_TRACE(QString(tip.letter).toStdString());
        EXPECT_TRUE(letters.insert(tip.letter).second) << "one letter, one command";
        if (tip.id == 5007) continue; // the file menu: below
        form.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
        QWidget* focus = QApplication::focusWidget();
        ASSERT_NE(focus, nullptr);
        spy.clear();
        QTest::keyClick(focus, Qt::Key_Alt);
        ASSERT_TRUE(form.commandBars().KeyTipsShown());
        EXPECT_EQ(static_cast<std::size_t>(form.findChildren<QLabel*>("keyTip").size()), tips.size());
        QTest::keyClick(focus, tip.letter.toLatin1());
        EXPECT_FALSE(form.commandBars().KeyTipsShown());
        QTRY_COMPARE(spy.count(), 1);
        reached.insert(spy.at(0).at(0).toInt());
    }
    EXPECT_EQ(reached, (std::set<int>{5003, 5001, 5002, 5006, 5005, 5011, 6009}));

    // Esc takes the letters away and runs nothing.
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    spy.clear();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Alt);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    EXPECT_FALSE(form.commandBars().KeyTipsShown());
    // Alt+Enter stays a key binding: no letters come up.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return, Qt::AltModifier);
    EXPECT_FALSE(form.commandBars().KeyTipsShown());
    spy.clear();

    // F opens the file menu; Down, Enter choose About, Down twice Exit.
    const auto fileLetter = std::find_if(tips.begin(), tips.end(), [](const auto& t) { return t.id == 5007; });
    ASSERT_NE(fileLetter, tips.end());
    EXPECT_EQ(fileLetter->letter, QChar('F'));
    for (const auto& [downs, id] : {std::pair{1, 6006}, std::pair{2, 6008}}) {
        SCOPED_TRACE(id);
        form.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
        spy.clear();
        bool menuOpened = false;
        QTimer::singleShot(100, [&, downs = downs] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (!menu) return;
            menuOpened = menu->objectName() == "fileMenu";
            for (int i = 0; i < downs; ++i) QTest::keyClick(menu, Qt::Key_Down);
            QTest::keyClick(menu, Qt::Key_Return);
        });
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Alt);
        QTest::keyClick(QApplication::focusWidget(), 'f');
        QTRY_VERIFY(spy.count() >= 1);
        EXPECT_TRUE(menuOpened);
        EXPECT_EQ(spy.at(0).at(0).toInt(), id);
    }
    EXPECT_NE(std::find(closer.closed.begin(), closer.closed.end(), "sorlix::ui::FAbout"), closer.closed.end());
    EXPECT_TRUE(form.closeRequested());
}

// As on Windows, Enter presses the focused ribbon button: the File button
// opens its menu, a command's button runs it. Alt+Enter stays a command of
// its own.
TEST_F(Reach, EnterPressesTheFocusedRibbonButton) {
    shelltest::AnsweredDialogs dialogs;
    FMain form;
    open(form);
    QSignalSpy spy(&form, &FMain::CommandDispatched);
    struct Row {
        const char* label;
        const char* button;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        int dispatched; // 0: none
        bool opensFileMenu;
    };
    const Row rows[] = {
        {"Space on File", "cmd_5007", Qt::Key_Space, Qt::NoModifier, 0, true},
        {"Enter on File", "cmd_5007", Qt::Key_Return, Qt::NoModifier, 0, true},
        {"Enter on Refresh", "cmd_5003", Qt::Key_Return, Qt::NoModifier, 5003, false},
        {"the keypad's Enter on Refresh", "cmd_5003", Qt::Key_Enter, Qt::KeypadModifier, 5003, false},
        {"Alt+Enter on Refresh", "cmd_5003", Qt::Key_Return, Qt::AltModifier, 5002, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        form.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
        auto* button = form.findChild<QToolButton*>(row.button);
        ASSERT_NE(button, nullptr);
        button->setFocus();
        ASSERT_EQ(QApplication::focusWidget(), button);
        spy.clear();
        bool menuOpened = false;
        QTimer::singleShot(100, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (!menu) return;
            menuOpened = menu->objectName() == "fileMenu";
            menu->close();
        });
        QTest::keyClick(button, row.key, row.modifiers);
        QTest::qWait(200);
        for (int waited = 0; row.dispatched && spy.count() == 0 && waited < 5000; waited += 20) QTest::qWait(20);
        EXPECT_EQ(menuOpened, row.opensFileMenu);
        ASSERT_EQ(spy.count(), row.dispatched ? 1 : 0);
        if (row.dispatched) {
            EXPECT_EQ(spy.at(0).at(0).toInt(), row.dispatched);
        }
    }
}

TEST_F(Reach, CutTextsShowWholeInTooltips) {
    const std::string longName(160, 'n');
    fileAddon(1, {{"originalName", text(longName.c_str())}});
    fileAddon(1, {{"originalName", text("Short")}});
    sorlix::DB->Sort(1);
    FMain form;
    open(form);
    form.objectList()->RefreshTree(0, false);
    auto* tv = form.objectList()->findChild<winsys::controls::TreeView*>("tv");
    ASSERT_NE(tv, nullptr);
    QTreeWidgetItem* longNode = nullptr;
    QTreeWidgetItem* shortNode = nullptr;
    for (int i = 1; i <= tv->NodeCount(); ++i) {
        if (tv->NodeAt(i)->text(0).toStdString() == longName) longNode = tv->NodeAt(i);
        if (tv->NodeAt(i)->text(0) == "Short") shortNode = tv->NodeAt(i);
    }
    ASSERT_TRUE(longNode && shortNode);
    tv->scrollToItem(longNode);
    EXPECT_EQ(toolTipAt(tv, tv->indexFromItem(longNode)).toStdString(), longName);
    EXPECT_EQ(toolTipAt(tv, tv->indexFromItem(shortNode)), "");

    auto* grid = form.propertiesPane()->findChild<winsys::controls::PropertyGrid*>("PropertyGrid1");
    ASSERT_NE(grid, nullptr);
    QTreeWidgetItem* category = grid->topLevelItem(0);
    QTreeWidgetItem* longRow = grid->AddItem(category, winsys::controls::PropertyGrid::kItemText, "Description",
                                             QString::fromStdString(longName));
    QTreeWidgetItem* shortRow = grid->AddItem(category, winsys::controls::PropertyGrid::kItemText, "File", "x.dll");
    QApplication::processEvents();
    EXPECT_EQ(toolTipAt(grid, grid->indexFromItem(longRow, 1)).toStdString(), longName);
    EXPECT_EQ(toolTipAt(grid, grid->indexFromItem(shortRow, 1)), "");
    EXPECT_EQ(toolTipAt(grid, grid->indexFromItem(shortRow, 0)), "");
    QToolTip::hideText();
}

QString accessibleName(QObject* object) {
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(object);
    return face ? face->text(QAccessible::Name) : QString();
}

TEST_F(Reach, EveryPaneTreeHeaderAndButtonHasAName) {
    FMain form;
    open(form);
    for (QDockWidget* dock : form.findChildren<QDockWidget*>())
        EXPECT_FALSE(accessibleName(dock).isEmpty()) << dock->objectName().toStdString();
    for (QAbstractButton* button : form.findChildren<QAbstractButton*>()) {
        if (!button->isVisible()) continue;
        SCOPED_TRACE(button->objectName().toStdString());
        EXPECT_FALSE(accessibleName(button).isEmpty());
    }
    for (QTreeWidget* tree : form.findChildren<QTreeWidget*>()) {
        SCOPED_TRACE(tree->objectName().toStdString());
        EXPECT_FALSE(accessibleName(tree).isEmpty());
        for (int column = 0; column < tree->columnCount(); ++column) {
            const QString header = tree->headerItem()->text(column);
            bool number = false;
            header.toInt(&number);
            EXPECT_FALSE(header.isEmpty() || number) << header.toStdString();
        }
    }
}

} // namespace
