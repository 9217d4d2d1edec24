// The details grid: one category "Details" holding the details list in its
// order, multi-line values as one multi-line item, replacement on each
// call, a logged failure that keeps the rows before it, and the Tab events.

#include "app/ui/fproperties.h"

#include <QSignalSpy>

#include "platform/controls/property_grid.h"
#include "tests/ui/panes/panes_support.h"

namespace {

using panestest::Entries;
using winsys::controls::PropertyGrid;

struct Item {
    std::string title;
    PropertyGrid::ItemKind kind;
    std::string value;
    bool operator==(const Item&) const = default;
};

void PrintTo(const Item& i, std::ostream* os) { *os << "{" << i.title << ", " << i.kind << ", " << i.value << "}"; }

class DetailsGrid : public panestest::Machine {
protected:
    DetailsGrid() {
        form.Init();
        grid = form.findChild<PropertyGrid*>("PropertyGrid1");
    }
    std::vector<Item> items() const {
        std::vector<Item> r;
        const QTreeWidgetItem* category = grid->topLevelItem(0);
        for (int i = 0; i < category->childCount(); ++i) {
            const QTreeWidgetItem* it = category->child(i);
            r.push_back(
                {PropertyGrid::Title(it).toStdString(), PropertyGrid::Kind(it), PropertyGrid::Value(it).toStdString()});
        }
        return r;
    }

    sorlix::ui::FProperties form;
    PropertyGrid* grid = nullptr;
};

TEST_F(DetailsGrid, ShowsTheListInOrderAndJoinsLinesWithOneBlank) {
    ASSERT_EQ(grid->topLevelItemCount(), 1);
    EXPECT_EQ(grid->topLevelItem(0)->text(0), "Details");
    EXPECT_TRUE(grid->topLevelItem(0)->isExpanded());

    const struct {
        const char* label;
        Entries details;
        std::vector<Item> shown;
    } rows[] = {
        {"order kept, no sorting",
         {{"Type", "Toolbar"}, {"File", "C:\\a.dll"}, {"Description", "two\nlines"}, {"Active", ""}},
         {{"Type", PropertyGrid::kItemText, "Toolbar"},
          {"File", PropertyGrid::kItemText, "C:\\a.dll"},
          {"Description", PropertyGrid::kItemMultilineText, "two lines"},
          {"Active", PropertyGrid::kItemText, ""}}},
        {"every line feed is one blank",
         {{"Permissions", "tabs\n\nstorage\n"}},
         {{"Permissions", PropertyGrid::kItemMultilineText, "tabs  storage "}}},
        {"empty list leaves the category empty", {}, {}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.label);
        form.ShowDetails(panestest::params(r.details).get());
        EXPECT_EQ(items(), r.shown);
        EXPECT_EQ(grid->topLevelItemCount(), 1);
    }
    EXPECT_TRUE(program.log->lines.empty());
}

TEST_F(DetailsGrid, AFailingEntryIsLoggedAndTheRowsBeforeItStay) {
    form.ShowDetails(panestest::params({{"Old", "row"}}).get());
    form.ShowDetails(panestest::params({{"Name", "x"}, {"Broken", "<no value>"}, {"After", "y"}}).get());
    EXPECT_EQ(items(), (std::vector<Item>{{"Name", PropertyGrid::kItemText, "x"}}));
    ASSERT_EQ(program.log->lines.size(), 1u);
    EXPECT_EQ(program.log->lines[0].source, "FProperties.ShowDetails");
    EXPECT_EQ(program.log->lines[0].severity, halvenlib::sevError);
    EXPECT_EQ(program.log->lines[0].number, 9);
}

TEST_F(DetailsGrid, TabAndShiftTabRaiseTheirEvents) {
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    QSignalSpy tab(&form, &sorlix::ui::FProperties::TabPressed);
    QSignalSpy shiftTab(&form, &sorlix::ui::FProperties::ShiftTabPressed);
    const struct {
        const char* label;
        QWidget* target;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        int tabs, shiftTabs;
    } rows[] = {
        {"Tab in the grid", grid, Qt::Key_Tab, Qt::NoModifier, 1, 0},
        {"Shift+Tab in the grid", grid, Qt::Key_Backtab, Qt::ShiftModifier, 0, 1},
        {"Tab with Shift held", grid, Qt::Key_Tab, Qt::ShiftModifier, 0, 1},
        {"Tab on the pane", &form, Qt::Key_Tab, Qt::NoModifier, 1, 0},
        {"another key", grid, Qt::Key_A, Qt::NoModifier, 0, 0},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.label);
        tab.clear();
        shiftTab.clear();
        QTest::keyClick(r.target, r.key, r.modifiers);
        EXPECT_EQ(tab.count(), r.tabs);
        EXPECT_EQ(shiftTab.count(), r.shiftTabs);
    }
}

} // namespace

namespace {

// Every label shows whole with room to spare before its value: the label
// column fits the longest label and a gap, however long the values are.
TEST_F(DetailsGrid, TheLabelColumnKeepsClearOfTheValues) {
    form.resize(400, 200);
    form.show();
    form.ShowDetails(panestest::params({{"File", std::string(200, 'f')},
                                        {"Manufacturer", "Bluebird Labs"},
                                        {"User", "Everyone"}})
                         .get());
    QApplication::processEvents();
    const QTreeWidgetItem* label = grid->topLevelItem(0)->child(1);
    const QRect text = grid->visualItemRect(label);
    const int needed = grid->fontMetrics().horizontalAdvance(PropertyGrid::Title(label));
    // From the text's start to the value column: the whole label and a gap.
    EXPECT_GE(grid->columnViewportPosition(1) - text.left(), needed + 10);
}

} // namespace
