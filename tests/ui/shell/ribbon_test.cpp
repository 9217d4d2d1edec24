// The ribbon, file menu, quick-access bar, context menu, key bindings and
// command icons that the main window builds from its commands table.

#include <QAction>
#include <QBuffer>
#include <QImage>
#include <QMenu>
#include <QToolButton>

#include "app/ui/fmain.h"
#include "app/ui/ribbon.h"
#include "platform/controls/image_store.h"
#include "tests/support/pe_writer.h"
#include "tests/ui/shell/shell_support.h"

namespace {

using shelltest::Machine;
using winsys::controls::CommandButton;

struct Expected {
    int id;
    const char* caption;
    bool beginGroup = false;
};

std::vector<std::pair<int, std::string>> described(const std::vector<std::unique_ptr<CommandButton>>& controls) {
    std::vector<std::pair<int, std::string>> out;
    for (const auto& c : controls)
        out.emplace_back(c->Id(), c->Caption().toStdString() + (c->BeginGroup() ? " |" : ""));
    return out;
}

std::vector<std::pair<int, std::string>> described(const std::vector<Expected>& rows) {
    std::vector<std::pair<int, std::string>> out;
    for (const auto& r : rows) out.emplace_back(r.id, std::string(r.caption) + (r.beginGroup ? " |" : ""));
    return out;
}

class Ribbon : public Machine {};

TEST_F(Ribbon, BuildsTheWholeCommandsTable) {
    sorlix::ui::FMain form;
    form.Load();
    winsys::controls::RibbonBar* ribbon = sorlix::ui::GetRibbonBar(form.commandBars());
    ASSERT_NE(ribbon, nullptr);
    EXPECT_EQ(ribbon->Title(), "The Ribbon");

    ASSERT_NE(ribbon->fileMenuButton(), nullptr);
    EXPECT_EQ(ribbon->fileMenuButton()->Id(), 5007);
    EXPECT_EQ(ribbon->fileMenuButton()->Caption(), "&File");
    EXPECT_EQ(described(ribbon->fileMenuControls()), described({{6006, "About"}, {6008, "&Exit", true}}));
    EXPECT_EQ(ribbon->fileMenu()->actions().size(), 3) << "About, a separator, Exit";

    ASSERT_EQ(ribbon->tabCount(), 1);
    winsys::controls::RibbonTab* home = ribbon->tab(0);
    EXPECT_EQ(home->Caption(), "Home");
    const struct {
        const char* caption;
        int id;
        std::vector<Expected> buttons;
    } groups[] = {
        {"List", 0, {{5003, "Refresh"}}},
        {"Delete", 1, {{5001, "&Delete"}}},
        {"Add-on Information", 2, {{5002, "File Properties"}, {5006, "Google Add-on Name"}, {5005, "Google File Name"}}},
        {"&Undo", 7, {{5011, "Restore"}}},
    };
    ASSERT_EQ(home->groups().size(), std::size(groups));
    for (std::size_t g = 0; g < std::size(groups); ++g) {
        SCOPED_TRACE(groups[g].caption);
        const winsys::controls::RibbonGroup* group = home->groups()[g];
        EXPECT_EQ(group->Caption(), groups[g].caption);
        EXPECT_EQ(group->Id(), groups[g].id);
        EXPECT_EQ(described(group->controls()), described(groups[g].buttons));
        for (const auto& control : group->controls()) {
            // A ribbon button: large icon above its caption.
            auto* tool = group->findChild<QToolButton*>(QStringLiteral("cmd_%1").arg(control->Id()));
            ASSERT_NE(tool, nullptr);
            EXPECT_EQ(tool->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
            EXPECT_GE(tool->iconSize().width(), 32);
            EXPECT_FALSE(tool->icon().isNull());
            EXPECT_TRUE(control->Enabled());
        }
    }
    // Groups follow each other left to right in that order.
    form.show();
    QApplication::processEvents();
    for (std::size_t g = 1; g < home->groups().size(); ++g)
        EXPECT_LT(home->groups()[g - 1]->x(), home->groups()[g]->x());

    EXPECT_EQ(described(ribbon->quickAccessControls()), described({{6009, "&Refresh"}}));

    winsys::controls::ContextMenu* menu = form.commandBars().FindContextMenu(sorlix::ui::kContextMenuId);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->Title(), "Context Menu");
    EXPECT_EQ(described(menu->controls()), described({{7001, "&Delete"},
                                                      {7005, "Copy", true},
                                                      {7003, "Google File Name", true},
                                                      {7004, "Google Add-on Name"},
                                                      {7002, "&Properties", true}}));

    const struct {
        int id;
        QKeySequence key;
    } keys[] = {{5001, QKeySequence(Qt::Key_Delete)},
                {5011, QKeySequence(Qt::CTRL | Qt::Key_Z)},
                {5002, QKeySequence(Qt::ALT | Qt::Key_Return)},
                {5002, QKeySequence(Qt::ALT | Qt::Key_Enter)},
                {5003, QKeySequence(Qt::Key_F5)}};
    for (const auto& k : keys) {
        SCOPED_TRACE(k.key.toString().toStdString());
        EXPECT_TRUE(form.commandBars().KeysOf(k.id).contains(k.key));
    }
    EXPECT_TRUE(form.commandBars().KeysOf(6009).isEmpty());
}

TEST_F(Ribbon, IconsComeFromTheProgramFile) {
    sorlix::ui::FMain form;
    form.Load();
    winsys::controls::ImageManager& icons = form.commandBars().Icons();
    for (int id : {5007, 5001, 5003, 5005, 5006, 5002, 5011, 6006, 6009, 7001, 7002, 7003, 7004, 7005}) {
        SCOPED_TRACE(id);
        EXPECT_TRUE(icons.Has(id));
    }
    EXPECT_FALSE(icons.Has(6008)) << "Exit has no image";
    EXPECT_TRUE(winsys::controls::GlobalImageManager().Has(5011)) << "the restore window's icon";
    auto* exitAction = form.findChild<QAction*>("cmd_6008");
    ASSERT_NE(exitAction, nullptr);
    EXPECT_TRUE(exitAction->icon().isNull());
}

// A program file holding every command image but PNG 1007 (both ribbon
// searches), and none at all.
TEST_F(Ribbon, MissingImagesLeaveOnlyTheirCommandsWithoutIcons) {
    QImage image(8, 8, QImage::Format_ARGB32);
    image.fill(Qt::darkBlue);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    testsupport::PeSpec spec;
    for (int id : {1001, 1003, 1004, 1005, 1006, 1101, 1103, 1104, 1105, 1107, 1108})
        spec.extra.push_back({winsys::ResourceId::text("PNG"), winsys::ResourceId::number(static_cast<win::WORD>(id)),
                              0, std::vector<std::uint8_t>(png.begin(), png.end())});
    const char* kPartial = "C:\\Program Files\\Vendrel Sorlix\\Sorlix.exe";
    testsupport::writePe(prefix.host(kPartial), spec);

    const struct {
        const char* label;
        std::string programFile;
        std::set<int> withoutIcon;
    } rows[] = {
        {"PNG 1007 missing", kPartial, {5005, 5006}},
        {"no program file", "C:\\nowhere\\Sorlix.exe",
         {5007, 5001, 5003, 5005, 5006, 5002, 5011, 6006, 6009, 7001, 7002, 7003, 7004, 7005}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.label);
        sorlix::ui::setProgramFile(r.programFile);
        sorlix::ui::FMain form;
        form.Load();
        for (int id : {5007, 5001, 5003, 5005, 5006, 5002, 5011, 6006, 6009, 7001, 7002, 7003, 7004, 7005}) {
            SCOPED_TRACE(id);
            auto* action = form.findChild<QAction*>(QStringLiteral("cmd_%1").arg(id));
            ASSERT_NE(action, nullptr) << "the command is there all the same";
            EXPECT_EQ(action->icon().isNull(), r.withoutIcon.count(id) == 1);
        }
    }
}

} // namespace

namespace {

// The quick-access bar shares the tab strip's row with the file-menu
// button, so the ribbon spends no line of its own on it.
TEST_F(Ribbon, TheQuickAccessBarSitsInTheTabStripsRow) {
    sorlix::ui::FMain form;
    form.Load();
    form.show();
    QApplication::processEvents();
    auto* file = form.findChild<QToolButton*>("cmd_5007");
    auto* quick = form.findChild<QToolButton*>("cmd_6009");
    ASSERT_NE(file, nullptr);
    ASSERT_NE(quick, nullptr);
    const QRect fileRect(file->mapTo(&form, QPoint(0, 0)), file->size());
    const QRect quickRect(quick->mapTo(&form, QPoint(0, 0)), quick->size());
    EXPECT_LT(quickRect.top(), fileRect.bottom());
    EXPECT_GT(quickRect.bottom(), fileRect.top());
    EXPECT_GT(quickRect.left(), fileRect.right());
}

} // namespace
