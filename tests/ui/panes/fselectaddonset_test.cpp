// The add-on set tree: its twelve fixed nodes (keys, captions, images,
// parents, order, what starts expanded and selected), the set that a click
// or a key move raises, the root's set raised by InitFocus, and the images
// with and without the program file.

#include "app/ui/fselectaddonset.h"

#include <QSignalSpy>

#include "tests/ui/panes/panes_support.h"

namespace {

using panestest::clickNode;
using panestest::Machine;
using winsys::controls::TreeView;

class SetTree : public Machine {
protected:
    TreeView* tree(sorlix::ui::FSelectAddonSet& form) {
        auto* tv = form.findChild<TreeView*>("tv");
        EXPECT_NE(tv, nullptr);
        return tv;
    }
};

TEST_F(SetTree, TwelveNodesInOrderWithParentsImagesAndInitialState) {
    sorlix::ui::FSelectAddonSet form;
    TreeView* tv = tree(form);
    struct Row {
        const char* key;
        const char* caption;
        int image;
        const char* parent;
        bool expanded;
    };
    const Row rows[] = {
        {"_0", "Show All Add-ons", 1, "", true},
        {"_1", "Internet Explorer", 2, "_0", true},
        {"_2", "Internet Explorer (32-bit)", 2, "_1", false},
        {"_3", "Internet Explorer (64-bit)", 2, "_1", false},
        {"_4", "Firefox", 3, "_0", true},
        {"_5", "Firefox (32-bit)", 3, "_4", false},
        {"_6", "Firefox (64-bit) Waterfox", 7, "_4", false},
        {"_7", "Chrome", 4, "_0", false},
        {"_8", "Safari", 5, "_0", false},
        {"_9", "Opera", 6, "_0", true},
        {"_10", "Opera (32-bit)", 6, "_9", false},
        {"_11", "Opera (64-bit)", 6, "_9", false},
    };
    ASSERT_EQ(tv->NodeCount(), 12);
    int position = 0;
    for (const Row& r : rows) {
        SCOPED_TRACE(r.caption);
        const QTreeWidgetItem* node = tv->NodeAt(++position);
        ASSERT_NE(node, nullptr);
        EXPECT_EQ(TreeView::Key(node).toStdString(), r.key);
        EXPECT_EQ(node->text(0).toStdString(), r.caption);
        EXPECT_EQ(TreeView::Image(node), r.image);
        EXPECT_EQ(TreeView::Key(node->parent()).toStdString(), r.parent);
        EXPECT_EQ(node->isExpanded(), r.expanded);
    }
    EXPECT_EQ(tv->SelectedNode(), tv->NodeAt(1));
}

TEST_F(SetTree, ClickAndKeyMoveRaiseTheNodesSet) {
    sorlix::ui::FSelectAddonSet form;
    form.resize(300, 500);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    TreeView* tv = tree(form);
    QSignalSpy spy(&form, &sorlix::ui::FSelectAddonSet::ShowTable);

    const struct {
        const char* key;
        win::LONG set;
    } clicks[] = {{"_11", 11}, {"_0", 0}, {"_6", 6}, {"_8", 8}, {"_2", 2}};
    for (const auto& c : clicks) {
        SCOPED_TRACE(c.key);
        spy.clear();
        clickNode(tv, tv->Node(c.key), Qt::LeftButton);
        ASSERT_EQ(spy.count(), 1);
        EXPECT_EQ(spy.at(0).at(0).value<win::LONG>(), c.set);
        EXPECT_EQ(tv->SelectedNode(), tv->Node(c.key));
    }

    // A right click selects no set of its own accord.
    spy.clear();
    clickNode(tv, tv->Node("_7"), Qt::RightButton);
    EXPECT_EQ(spy.count(), 0);

    // Moving down from "Internet Explorer (32-bit)" reaches "(64-bit)".
    clickNode(tv, tv->Node("_2"), Qt::LeftButton);
    spy.clear();
    tv->setFocus();
    QTest::keyClick(tv, Qt::Key_Down);
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).value<win::LONG>(), 3);
}

TEST_F(SetTree, InitFocusSelectsTheRootAndRaisesSetZero) {
    sorlix::ui::FSelectAddonSet form;
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    TreeView* tv = tree(form);
    tv->SelectNode(tv->Node("_9"));
    QSignalSpy spy(&form, &sorlix::ui::FSelectAddonSet::ShowTable);
    form.InitFocus();
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).value<win::LONG>(), 0);
    EXPECT_EQ(tv->SelectedNode(), tv->Node("_0"));
    EXPECT_TRUE(tv->hasFocus());
}

TEST_F(SetTree, ImagesComeFromTheProgramFileAndAreNotNeeded) {
    {
        SCOPED_TRACE("no program file");
        sorlix::ui::FSelectAddonSet form;
        TreeView* tv = tree(form);
        ASSERT_EQ(tv->NodeCount(), 12);
        for (int i = 1; i <= 12; ++i) EXPECT_TRUE(tv->NodeAt(i)->icon(0).isNull()) << i;
    }
    {
        SCOPED_TRACE("program file with images 1301 to 1307");
        writeProgramFile({1301, 1302, 1303, 1304, 1305, 1306, 1307});
        sorlix::ui::FSelectAddonSet form;
        TreeView* tv = tree(form);
        for (int i = 1; i <= 12; ++i) EXPECT_FALSE(tv->NodeAt(i)->icon(0).isNull()) << i;
    }
    {
        SCOPED_TRACE("program file without 1307");
        writeProgramFile({1301, 1302, 1303, 1304, 1305, 1306});
        sorlix::ui::FSelectAddonSet form;
        TreeView* tv = tree(form);
        EXPECT_TRUE(tv->Node("_6")->icon(0).isNull());
        EXPECT_FALSE(tv->Node("_5")->icon(0).isNull());
    }
}

} // namespace
