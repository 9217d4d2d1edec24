// The add-on tree: groups and add-ons built for every add-on set from a
// catalogue made here, the selected position kept across a rebuild, groups
// toggled by a click on their left edge, the context menu (when it opens,
// its captions and enabled commands), the details shown for a click, what
// CurrentNodeInfo answers, and the logged failures.

#include "app/ui/fobjectlist.h"

#include <QAction>
#include <algorithm>

#include "app/ui/fproperties.h"
#include "platform/controls/property_grid.h"
#include "tests/ui/panes/panes_support.h"

namespace {

using panestest::clickNode;
using panestest::Entries;
using panestest::outline;
using panestest::RecordingMenu;
using sorlix::AddonTypeVisor;
using win::LONG;
using winsys::com::ComPtr;
using winsys::controls::PropertyGrid;
using winsys::controls::TreeView;

struct SetRow {
    LONG set;
    std::vector<LONG> types;
    bool multibrowser;
};

const std::vector<SetRow> kSets = {
    {0, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24}, true},
    {1, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, true},
    {2, {1, 2, 3, 4, 5}, false},
    {3, {6, 7, 8, 9, 10}, false},
    {4, {13, 14, 15, 16, 11, 12}, true},
    {5, {13, 14, 11}, false},
    {6, {15, 16, 12}, false},
    {7, {17, 18, 11}, false},
    {8, {19, 20, 11}, false},
    {9, {21, 22, 23, 24, 11, 12}, true},
    {10, {21, 22, 11}, false},
    {11, {23, 24, 11, 12}, false},
};

class ObjectList : public panestest::Machine {
protected:
    ObjectList() {
        props.Init();
        list.Init(&props, &menu);
        list.resize(500, 700);
        list.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&list));
        tv = list.findChild<TreeView*>("tv");
        grid = props.findChild<PropertyGrid*>("PropertyGrid1");
    }

    QTreeWidgetItem* node(const char* text) const {
        for (int i = 1; i <= tv->NodeCount(); ++i)
            if (tv->NodeAt(i)->text(0) == QString::fromUtf8(text)) return tv->NodeAt(i);
        ADD_FAILURE() << "no node " << text;
        return nullptr;
    }
    int detailRows() const { return grid->topLevelItem(0)->childCount(); }

    sorlix::ui::FProperties props;
    RecordingMenu menu;
    sorlix::ui::FObjectList list;
    TreeView* tv = nullptr;
    PropertyGrid* grid = nullptr;
};

TEST_F(ObjectList, BuildsEverySetFromItsTypesAndTheListings) {
    const std::vector<LONG> filled = {1, 11, 13, 17, 21, 24};
    for (LONG t : filled)
        for (const char* name : {"Zulu", "beta", "Alpha"})
            fileAddon(t, {{"originalName", std::string(name) + " " + std::to_string(t)}});
    sortAll();

    for (const SetRow& s : kSets) {
        SCOPED_TRACE("set " + std::to_string(s.set));
        list.RefreshTree(s.set, false);
        EXPECT_EQ(list.CurrentAddonSet(), s.set);
        EXPECT_EQ(list.FirstNodeAddonType(), s.types.front());
        EXPECT_EQ(tv->SelectedNode(), nullptr);

        std::vector<std::string> expected;
        for (LONG t : s.types) {
            expected.push_back(s.multibrowser ? AddonTypeVisor->TreeViewNodeNameIncludingBrowser(t)
                                              : AddonTypeVisor->TreeViewNodeName(t));
            if (std::find(filled.begin(), filled.end(), t) != filled.end())
                for (const char* name : {"Alpha", "Zulu", "beta"})
                    expected.push_back("  " + std::string(name) + " " + std::to_string(t));
        }
        EXPECT_EQ(outline(tv), expected);

        std::set<QString> groupKeys;
        size_t groupIndex = 0;
        for (int i = 1; i <= tv->NodeCount(); ++i) {
            QTreeWidgetItem* n = tv->NodeAt(i);
            bool selected = false, folder = false;
            LONG type = -1;
            std::string id = "<sentinel>";
            ComPtr<halvenlib::_CParams> info = panestest::params({});
            tv->SelectNode(n);
            list.CurrentNodeInfo(selected, folder, type, id, info);
            EXPECT_TRUE(selected);
            if (!n->parent()) {
                const LONG groupType = s.types.at(groupIndex++);
                EXPECT_EQ(TreeView::Image(n), 1);
                EXPECT_TRUE(n->isExpanded());
                EXPECT_EQ(TreeView::Key(n).size(), 38);
                EXPECT_TRUE(groupKeys.insert(TreeView::Key(n)).second);
                EXPECT_TRUE(folder);
                EXPECT_EQ(type, groupType);
                EXPECT_EQ(id, "");
                EXPECT_FALSE(info);
            } else {
                const LONG groupType = s.types.at(groupIndex - 1);
                EXPECT_EQ(TreeView::Image(n), 2);
                EXPECT_FALSE(folder);
                EXPECT_EQ(type, groupType);
                EXPECT_EQ(id, TreeView::Key(n).toStdString());
                EXPECT_EQ(sorlix::DB->AddonType(id), groupType);
                EXPECT_TRUE(info);
            }
        }
        EXPECT_EQ(groupIndex, s.types.size());
    }

    // Captions as the user reads them, where single- and multibrowser sets differ.
    const struct {
        LONG set;
        const char* firstGroup;
        const char* lastGroup;
    } captions[] = {
        {0, "Internet Explorer (32-bit) Toolbars", "Opera (64-bit) Plugins"},
        {2, "Toolbars", "Browser Helper Objects"},
        {4, "Firefox (32-bit) Extensions", "Shared Firefox (64-bit) and Opera (64-bit) Plugins"},
        {6, "Extensions", "Shared Firefox (64-bit) Waterfox and Opera (64-bit) Plugins"},
    };
    for (const auto& c : captions) {
        SCOPED_TRACE("captions of set " + std::to_string(c.set));
        list.RefreshTree(c.set, false);
        EXPECT_EQ(tv->topLevelItem(0)->text(0).toStdString(), c.firstGroup);
        EXPECT_EQ(tv->topLevelItem(tv->topLevelItemCount() - 1)->text(0).toStdString(), c.lastGroup);
    }

    // Group keys are new on every rebuild; add-on keys are the add-on ids.
    list.RefreshTree(5, false);
    const QString before = TreeView::Key(tv->NodeAt(1));
    const QString child = TreeView::Key(tv->NodeAt(2));
    list.RefreshTree(5, false);
    EXPECT_NE(TreeView::Key(tv->NodeAt(1)), before);
    EXPECT_EQ(TreeView::Key(tv->NodeAt(2)), child);
}

// Set 4, as built below:
//  1 Firefox (32-bit) Extensions     6   C1
//  2   A1                            7 Firefox (64-bit) Waterfox Plugins
//  3   A2                            8 Shared ... Plugins (type 11)
//  4 Firefox (32-bit) Plugins        9   B1
//  5 Firefox (64-bit) Waterfox Ext. 10   B2
//                                   11 Shared ... Plugins (type 12)
TEST_F(ObjectList, RebuildKeepsThePositionByTheRules) {
    const struct {
        const char* label;
        int selected; // 0: nothing
        bool save;
        LONG removedType; // its listing dropped before the rebuild
        int expected;     // 0: nothing
    } rows[] = {
        {"group whose next node is its first add-on", 1, true, 0, 1},
        {"add-on followed by one of its type", 2, true, 0, 2},
        {"last add-on of its group, a group follows", 3, true, 0, 2},
        {"empty group, a group follows", 4, true, 0, 3},
        {"only add-on of its group goes to the group", 6, true, 0, 5},
        {"the very last node", 11, true, 0, 11},
        {"the very last node, the tree shorter", 11, true, 11, 9},
        {"last add-on, the tree shorter before it", 10, true, 13, 9},
        {"nothing selected", 0, true, 0, 0},
        {"position not kept", 6, false, 0, 0},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.label);
        sorlix::DB = std::make_unique<sorlix::CDB>(sorlix::Log);
        for (const char* n : {"A1", "A2"}) fileAddon(13, {{"originalName", n}});
        fileAddon(15, {{"originalName", "C1"}});
        for (const char* n : {"B1", "B2"}) fileAddon(11, {{"originalName", n}});
        sortAll();
        list.RefreshTree(4, false);
        ASSERT_EQ(tv->NodeCount(), 11);
        ASSERT_EQ(tv->NodeAt(6)->text(0), "C1");
        tv->SelectNode(tv->NodeAt(r.selected));

        if (r.removedType) sorlix::DB->RemoveTypeInfo(r.removedType);
        list.RefreshTree(4, r.save);
        EXPECT_EQ(tv->PositionOf(tv->SelectedNode()), r.expected);
    }
}

TEST_F(ObjectList, GroupTogglesLeftOf210Twips) {
    ASSERT_DOUBLE_EQ(tv->TwipsPerPixelX(), 15.0); // 96 dpi offscreen
    for (const char* n : {"A1", "A2"}) fileAddon(13, {{"originalName", n}});
    sortAll();
    list.RefreshTree(5, false);
    QTreeWidgetItem* group = tv->NodeAt(1);

    const struct {
        const char* label;
        const char* target; // null: the group
        double x;
        bool expanded;
        int image;
    } steps[] = {
        {"209 twips collapses", nullptr, 209, false, 11},
        {"209 twips again expands", nullptr, 209, true, 1},
        {"210 twips does nothing", nullptr, 210, true, 1},
        {"0 twips collapses", nullptr, 0, false, 11},
        {"1000 twips does nothing", nullptr, 1000, false, 11},
        {"100 twips expands", nullptr, 100, true, 1},
        {"an add-on at 100 twips toggles nothing", "A1", 100, true, 1},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.label);
        clickNode(tv, s.target ? node(s.target) : group, Qt::LeftButton, Qt::NoModifier, s.x);
        EXPECT_EQ(group->isExpanded(), s.expanded);
        EXPECT_EQ(TreeView::Image(group), s.image);
        EXPECT_EQ(TreeView::Image(node("A1")), 2);
    }

    // Closing and opening with the keys changes the image as well.
    tv->SelectNode(group);
    tv->setFocus();
    QTest::keyClick(tv, Qt::Key_Left);
    EXPECT_FALSE(group->isExpanded());
    EXPECT_EQ(TreeView::Image(group), 11);
    QTest::keyClick(tv, Qt::Key_Right);
    EXPECT_TRUE(group->isExpanded());
    EXPECT_EQ(TreeView::Image(group), 1);
}

TEST_F(ObjectList, RightClickOpensTheMenuOnlyForAnAddonWithoutModifiers) {
    for (const char* n : {"A1", "A2"}) fileAddon(13, {{"originalName", n}, {"dLL", "C:\\x\\a.dll"}});
    sortAll();
    list.RefreshTree(5, false);

    const struct {
        const char* label;
        const char* target;
        Qt::KeyboardModifiers modifiers;
        int menus;
    } rows[] = {
        {"add-on", "A2", Qt::NoModifier, 1},
        {"add-on with Shift", "A2", Qt::ShiftModifier, 0},
        {"add-on with Ctrl", "A2", Qt::ControlModifier, 0},
        {"add-on with Alt", "A2", Qt::AltModifier, 0},
        {"group", "Extensions", Qt::NoModifier, 0},
        {"empty group", "Plugins", Qt::NoModifier, 0},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.label);
        tv->SelectNode(node("A1"));
        menu.shown = 0;
        clickNode(tv, node(r.target), Qt::RightButton, r.modifiers);
        EXPECT_EQ(menu.shown, r.menus);
        // The pressed node is selected first, with or without a menu.
        EXPECT_EQ(tv->SelectedNode(), node(r.target));
    }
    clickNode(tv, node("A2"), Qt::MiddleButton);
    EXPECT_EQ(menu.shown, 0);
}

TEST_F(ObjectList, ContextMenuCaptionsAndEnabledCommands) {
    const struct {
        const char* label;
        Entries record;
        bool named;
        bool hasFile;
        const char* copy;
        const char* searchFile;
        const char* searchName;
        const char* shownCopy; // as the menu shows it
    } rows[] = {
        {"name and file", {{"originalName", "Foo Bar"}, {"dLL", "C:\\Program Files\\Foo\\foo.dll"}}, true, true,
         "Copy \"Foo Bar\"", "Search Google for \"foo.dll\"", "Search Google for \"Foo Bar\"", "Copy \"Foo Bar\""},
        {"folder", {{"originalName", "Ext"}, {"dLL", "C:\\ext\\abc\\"}}, true, true, "Copy \"Ext\"",
         "Search Google for \"abc\"", "Search Google for \"Ext\"", "Copy \"Ext\""},
        {"no originalName", {{"dLL", "C:\\x\\n.dll"}}, false, true, "Copy \"\"", "Search Google for \"n.dll\"",
         "Search Google for \"\"", "Copy \"\""},
        {"named (noname)", {{"originalName", "(noname)"}, {"dLL", "C:\\x\\m.dll"}}, false, true,
         "Copy \"(noname)\"", "Search Google for \"m.dll\"", "Search Google for \"(noname)\"", "Copy \"(noname)\""},
        {"empty originalName", {{"originalName", ""}, {"dLL", "C:\\x\\e.dll"}}, false, true, "Copy \"\"",
         "Search Google for \"e.dll\"", "Search Google for \"\"", "Copy \"\""},
        {"no dLL", {{"originalName", "Lonely"}}, true, false, "Copy \"Lonely\"", "Search Google for \"\"",
         "Search Google for \"Lonely\"", "Copy \"Lonely\""},
        {"empty dLL", {{"originalName", "Blank"}, {"dLL", ""}}, true, false, "Copy \"Blank\"",
         "Search Google for \"\"", "Search Google for \"Blank\"", "Copy \"Blank\""},
        {"ampersands", {{"originalName", "Tom & Jerry"}, {"dLL", "C:\\x\\R&D.dll"}}, true, true,
         "Copy \"Tom && Jerry\"", "Search Google for \"R&&D.dll\"", "Search Google for \"Tom && Jerry\"",
         "Copy \"Tom & Jerry\""},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.label);
        sorlix::DB = std::make_unique<sorlix::CDB>(sorlix::Log);
        const std::string id = fileAddon(17, r.record);
        list.RefreshTree(7, false);
        QTreeWidgetItem* addon = tv->Node(QString::fromStdString(id));
        ASSERT_NE(addon, nullptr);
        // Every command starts the opposite of what it should become.
        for (auto& [cmdId, cmd] : menu.commands) cmd.SetCaption("<unset>");
        menu.commands.at(7001).SetEnabled(false);
        menu.commands.at(7002).SetEnabled(!r.hasFile);
        menu.commands.at(7003).SetEnabled(!r.hasFile);
        menu.commands.at(7004).SetEnabled(!r.named);
        menu.commands.at(7005).SetEnabled(!r.named);
        menu.shown = 0;

        clickNode(tv, addon, Qt::RightButton);
        ASSERT_EQ(menu.shown, 1);
        EXPECT_TRUE(menu.commands.at(7001).Enabled());
        EXPECT_EQ(menu.commands.at(7001).Caption(), "<unset>");
        EXPECT_EQ(menu.commands.at(7002).Enabled(), r.hasFile);
        EXPECT_EQ(menu.commands.at(7002).Caption(), "<unset>");
        EXPECT_EQ(menu.commands.at(7003).Enabled(), r.hasFile);
        EXPECT_EQ(menu.commands.at(7003).Caption().toStdString(), r.searchFile);
        EXPECT_EQ(menu.commands.at(7004).Enabled(), r.named);
        EXPECT_EQ(menu.commands.at(7004).Caption().toStdString(), r.searchName);
        EXPECT_EQ(menu.commands.at(7005).Enabled(), r.named);
        EXPECT_EQ(menu.commands.at(7005).Caption().toStdString(), r.copy);
        // What a menu entry shows: "&" is a shortcut mark, "&&" an ampersand.
        QAction shown(menu.commands.at(7005).Caption());
        EXPECT_EQ(shown.iconText().toStdString(), r.shownCopy);
    }
}

TEST_F(ObjectList, ClicksShowDetailsAndAGroupClearsThem) {
    const std::string a1 = fileAddon(13, {{"originalName", "A1"}}, {{"File", "C:\\a1.dll"}, {"Version", "1.0"}});
    fileAddon(13, {{"originalName", "A2"}}, {{"File", "C:\\a2.dll"}});
    sortAll();
    list.RefreshTree(5, false);

    clickNode(tv, node("A1"), Qt::LeftButton);
    ASSERT_EQ(detailRows(), 2);
    EXPECT_EQ(PropertyGrid::Value(grid->topLevelItem(0)->child(0)), "C:\\a1.dll");
    clickNode(tv, node("Extensions"), Qt::LeftButton);
    EXPECT_EQ(detailRows(), 0);
    EXPECT_EQ(grid->topLevelItem(0)->text(0), "Details");

    // A rebuild shows the details of the node it lands on: the last add-on
    // of a group hands the selection to the one above it, and the grid
    // follows; a rebuild that selects nothing clears the grid.
    clickNode(tv, node("A2"), Qt::LeftButton);
    ASSERT_EQ(detailRows(), 1);
    list.RefreshTree(5, true);
    ASSERT_EQ(tv->SelectedNode(), tv->Node(QString::fromStdString(a1)));
    ASSERT_EQ(detailRows(), 2);
    EXPECT_EQ(PropertyGrid::Value(grid->topLevelItem(0)->child(0)), "C:\\a1.dll");
    list.RefreshTree(5, false);
    EXPECT_EQ(tv->SelectedNode(), nullptr);
    EXPECT_EQ(detailRows(), 0);
    tv->SelectNode(tv->Node(QString::fromStdString(a1)));
    list.ShowDetails();
    EXPECT_EQ(detailRows(), 2);

    // With nothing selected, ShowDetails selects the first node, a group.
    tv->SelectNode(nullptr);
    list.ShowDetails();
    EXPECT_EQ(tv->SelectedNode(), tv->NodeAt(1));
    EXPECT_EQ(detailRows(), 0);

    // The keys move the selection and the details with it.
    tv->setFocus();
    QTest::keyClick(tv, Qt::Key_Down);
    EXPECT_EQ(tv->SelectedNode(), node("A1"));
    EXPECT_EQ(detailRows(), 2);
}

// The details pane describes the add-on that the menu and a delete act
// on, whichever button selected it.
TEST_F(ObjectList, ARightClickShowsTheDetailsOfTheAddonItSelects) {
    fileAddon(13, {{"originalName", "A1"}}, {{"File", "C:\\a1.dll"}});
    fileAddon(13, {{"originalName", "A2"}}, {{"File", "C:\\a2.dll"}});
    sortAll();
    list.RefreshTree(5, false);

    clickNode(tv, node("A1"), Qt::LeftButton);
    clickNode(tv, node("A2"), Qt::RightButton);
    ASSERT_EQ(menu.shown, 1);
    ASSERT_EQ(detailRows(), 1);
    EXPECT_EQ(PropertyGrid::Value(grid->topLevelItem(0)->child(0)), "C:\\a2.dll");
    // A right click on a group selects it and clears the grid, as a left click does.
    clickNode(tv, node("Extensions"), Qt::RightButton);
    EXPECT_EQ(detailRows(), 0);
}

TEST_F(ObjectList, ShiftF10AndTheMenuKeyOpenTheMenuOfTheSelectedAddon) {
    fileAddon(13, {{"originalName", "A1"}, {"dLL", "C:\\x\\a1.dll"}});
    sortAll();
    list.RefreshTree(5, false);
    tv->setFocus();

    const struct {
        const char* label;
        const char* selected;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        int menus;
    } rows[] = {
        {"Shift+F10 on an add-on", "A1", Qt::Key_F10, Qt::ShiftModifier, 1},
        {"Menu key on an add-on", "A1", Qt::Key_Menu, Qt::NoModifier, 1},
        {"Shift+F10 on a group", "Extensions", Qt::Key_F10, Qt::ShiftModifier, 0},
        {"F10 alone", "A1", Qt::Key_F10, Qt::NoModifier, 0},
        {"Ctrl+Shift+F10", "A1", Qt::Key_F10, Qt::ShiftModifier | Qt::ControlModifier, 0},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.label);
        tv->SelectNode(node(r.selected));
        menu.shown = 0;
        menu.shownAt.reset();
        menu.commands.at(7005).SetCaption("<unset>");
        QTest::keyClick(tv, r.key, r.modifiers);
        EXPECT_EQ(menu.shown, r.menus);
        if (r.menus == 0) continue;
        // Prepared as for a right click, and shown by the node, not the pointer.
        EXPECT_EQ(menu.commands.at(7005).Caption(), "Copy \"A1\"");
        ASSERT_TRUE(menu.shownAt.has_value());
        const QRect nodeRect(tv->viewport()->mapToGlobal(tv->visualItemRect(node("A1")).topLeft()),
                             tv->visualItemRect(node("A1")).size());
        EXPECT_TRUE(nodeRect.adjusted(0, 0, 0, 1).contains(*menu.shownAt));
    }
}

TEST_F(ObjectList, ImagesFromTheProgramFileWhenItHasThem) {
    fileAddon(13, {{"originalName", "A1"}});
    list.RefreshTree(5, false);
    EXPECT_TRUE(tv->NodeAt(1)->icon(0).isNull()); // no program file: no images, same tree
    EXPECT_EQ(TreeView::Image(tv->NodeAt(1)), 1);

    writeProgramFile({1401, 1402, 1403});
    sorlix::ui::FObjectList withImages;
    withImages.Init(&props, &menu);
    withImages.RefreshTree(5, false);
    auto* t = withImages.findChild<TreeView*>("tv");
    EXPECT_FALSE(t->NodeAt(1)->icon(0).isNull());
    EXPECT_FALSE(t->NodeAt(2)->icon(0).isNull());
    const qint64 expandedIcon = t->NodeAt(1)->icon(0).cacheKey();
    t->SetExpanded(t->NodeAt(1), false);
    t->SetImage(t->NodeAt(1), 11);
    EXPECT_FALSE(t->NodeAt(1)->icon(0).isNull());
    EXPECT_NE(t->NodeAt(1)->icon(0).cacheKey(), expandedIcon);
}

TEST_F(ObjectList, NothingSelectedAndEmptyTree) {
    bool selected = true, folder = true;
    LONG type = 99;
    std::string id = "<sentinel>";
    ComPtr<halvenlib::_CParams> info = panestest::params({});
    list.CurrentNodeInfo(selected, folder, type, id, info);
    EXPECT_FALSE(selected);
    EXPECT_TRUE(folder); // left as the caller set it
    EXPECT_EQ(type, 0);
    EXPECT_EQ(id, "");
    EXPECT_FALSE(info);
    EXPECT_EQ(list.FirstNodeAddonType(), 0);
    EXPECT_EQ(list.CurrentAddonSet(), 0);
    list.ShowDetails(); // no node to select
    EXPECT_EQ(tv->SelectedNode(), nullptr);
}

TEST_F(ObjectList, FailuresAreLoggedWithTheirMember) {
    fileAddon(13, {{"originalName", "A1"}});
    list.RefreshTree(5, false);

    {
        SCOPED_TRACE("context menu missing");
        sorlix::ui::FObjectList bare;
        bare.Init(&props, nullptr);
        bare.resize(400, 400);
        bare.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&bare));
        bare.RefreshTree(5, false);
        auto* bareTree = bare.findChild<TreeView*>("tv");
        program.log->lines.clear();
        clickNode(bareTree, bareTree->NodeAt(2), Qt::RightButton);
        ASSERT_EQ(program.log->lines.size(), 1u);
        EXPECT_EQ(program.log->lines[0].source, "FObjectList.PrepareAndShowContextMenu");
        EXPECT_EQ(program.log->lines[0].severity, halvenlib::sevError);
    }
    {
        SCOPED_TRACE("type table missing");
        AddonTypeVisor.reset();
        program.log->lines.clear();
        list.RefreshTree(5, false);
        ASSERT_EQ(program.log->lines.size(), 1u);
        EXPECT_EQ(program.log->lines[0].source, "FObjectList.RefreshTree");
        EXPECT_EQ(program.log->lines[0].severity, halvenlib::sevError);
        EXPECT_EQ(tv->NodeCount(), 0);
        EXPECT_EQ(list.CurrentAddonSet(), 5);
    }
}

} // namespace
