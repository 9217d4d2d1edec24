// The main window's commands: every place a command lives reaches the one
// dispatcher with its id, and the dispatcher's handlers do what they should.

#include <QAction>
#include <QClipboard>
#include <QDockWidget>
#include <QMainWindow>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include "app/core/mfileprops.h"
#include "app/core/msgbox.h"
#include "app/core/minfocollector.h"
#include "app/ui/fmain.h"
#include "app/ui/fobjectlist.h"
#include "app/ui/msgbox_dialog.h"
#include "platform/controls/tree_view.h"
#include "platform/files/paths.h"
#include "platform/system/shell.h"
#include "tests/ui/shell/shell_support.h"

namespace {

using shelltest::Machine;
using shelltest::text;
using sorlix::ui::FMain;

std::vector<int> dispatched(const QSignalSpy& spy) {
    std::vector<int> ids;
    for (const auto& args : spy) ids.push_back(args.at(0).toInt());
    return ids;
}

class MainWindow : public Machine {
protected:
    MainWindow() {
        winsys::clearShellRequests();
        sorlix::MFileProps::setFilePropertiesSheet([this](const sorlix::MFileProps::PropertiesRequest& r) {
            sheets.push_back(r.lpFile);
            return true;
        });
    }
    ~MainWindow() override { sorlix::MFileProps::setFilePropertiesSheet(nullptr); }

    winsys::controls::TreeView* tree(FMain& form) {
        return form.objectList()->findChild<winsys::controls::TreeView*>();
    }
    // Shows add-on set 0 and selects the tree node with this text.
    void select(FMain& form, const QString& caption) {
        form.objectList()->RefreshTree(0, false);
        winsys::controls::TreeView* tv = tree(form);
        ASSERT_NE(tv, nullptr);
        for (int i = 1; i <= tv->NodeCount(); ++i) {
            if (tv->NodeAt(i)->text(0) == caption) {
                tv->SelectNode(tv->NodeAt(i));
                return;
            }
        }
        FAIL() << "no node " << caption.toStdString();
    }
    bool logged(const std::string& source) const {
        for (const auto& line : program.log->lines)
            if (line.source == source && line.severity == halvenlib::sevError) return true;
        return false;
    }

    std::vector<std::string> sheets;
};

TEST_F(MainWindow, EveryPlaceReachesTheDispatcherWithItsId) {
    shelltest::AnsweredDialogs dialogs;
    shelltest::ModalCloser closer;
    FMain form;
    form.Load();
    form.show();
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    QSignalSpy spy(&form, &FMain::CommandDispatched);

    for (int id : {5003, 5001, 5002, 5006, 5005, 5011}) {
        SCOPED_TRACE(id);
        auto* button = form.findChild<QToolButton*>(QStringLiteral("cmd_%1").arg(id));
        ASSERT_NE(button, nullptr);
        button->click();
    }
    EXPECT_EQ(dispatched(spy), (std::vector<int>{5003, 5001, 5002, 5006, 5005, 5011}));

    spy.clear();
    for (int id : {6009, 6006, 7001, 7005, 7003, 7004, 7002, 5007}) {
        SCOPED_TRACE(id);
        auto* action = form.findChild<QAction*>(QStringLiteral("cmd_%1").arg(id));
        ASSERT_NE(action, nullptr);
        action->trigger();
    }
    EXPECT_EQ(dispatched(spy), (std::vector<int>{6009, 6006, 7001, 7005, 7003, 7004, 7002, 5007}));

    spy.clear();
    // A modal window that a key opened takes the activation along.
    const auto press = [&form](Qt::Key key, Qt::KeyboardModifiers modifiers) {
        form.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
        QTest::keyClick(&form, key, modifiers);
    };
    press(Qt::Key_Delete, Qt::NoModifier);
    press(Qt::Key_Z, Qt::ControlModifier);
    press(Qt::Key_Return, Qt::AltModifier);
    press(Qt::Key_Enter, Qt::AltModifier | Qt::KeypadModifier);
    press(Qt::Key_F5, Qt::NoModifier);
    EXPECT_EQ(dispatched(spy), (std::vector<int>{5001, 5011, 5002, 5002, 5003}));

    // The context menu and the about box were real; the restore window too.
    EXPECT_NE(std::find(closer.closed.begin(), closer.closed.end(), "sorlix::ui::FAbout"), closer.closed.end());
    EXPECT_FALSE(form.closeRequested());
    auto* exitAction = form.findChild<QAction*>("cmd_6008");
    ASSERT_NE(exitAction, nullptr);
    exitAction->trigger();
    EXPECT_TRUE(form.closeRequested());
}

TEST_F(MainWindow, RefreshRunsAFullCollectionFromEveryPlace) {
    int runs = 0;
    auto previous = sorlix::MInfoCollector::ReplaceEnumeratorEntryForTesting(1, [&runs](bool) {
        ++runs;
        return winsys::com::ComPtr<halvenlib::_CNodes>();
    });
    FMain form;
    form.Load();
    form.CommandBars_Execute(5003);
    EXPECT_EQ(runs, 1);
    form.CommandBars_Execute(6009);
    EXPECT_EQ(runs, 2);
    sorlix::MInfoCollector::ReplaceEnumeratorEntryForTesting(1, previous);
}

TEST_F(MainWindow, SearchesCopyAndPropertiesActOnTheSelectedAddon) {
    fileAddon(1, {{"originalName", text("Bar & Co")},
                  {"websearchName", text("Bar & Co toolbar")},
                  {"dLL", text("C:\\Program Files\\Bar Co\\bar tool.dll")}});
    fileAddon(1, {{"originalName", text("Folder addon")}, {"dLL", text("C:\\addons\\folder\\")}});
    fileAddon(1, {{"originalName", text("Unnamed search")}, {"websearchName", text("")}});
    prefix.writeFile("C:\\addons\\folder\\x.txt", "x");
    shelltest::AnsweredDialogs dialogs;
    FMain form;
    form.Load();
    const std::string search = "https://www.google.com/search?hl=en&q=";

    select(form, "Bar & Co");
    form.CommandBars_Execute(5006);
    form.CommandBars_Execute(7005); // copy
    form.CommandBars_Execute(7003);
    form.CommandBars_Execute(5002); // the file does not exist
    const auto requests = winsys::recordedShellRequests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].verb, "open");
    EXPECT_EQ(requests[0].file, search + "Bar%20%26%20Co%20toolbar");
    EXPECT_EQ(requests[0].show, win::SW_SHOWNORMAL);
    EXPECT_EQ(requests[1].file, search + "bar%20tool.dll");
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "Bar & Co");
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].content, "File not found:\nC:\\Program Files\\Bar Co\\bar tool.dll");
    EXPECT_EQ(dialogs.shown[0].windowTitle, "Vendrel Sorlix");
    EXPECT_EQ(dialogs.shown[0].commonButtons, winsys::controls::TaskDialog::kOk);
    EXPECT_TRUE(sheets.empty());

    // A folder: the sheet of the folder, without its trailing "\".
    select(form, "Folder addon");
    form.CommandBars_Execute(7002);
    EXPECT_EQ(sheets, std::vector<std::string>{"C:\\addons\\folder"});
    form.CommandBars_Execute(5005);
    EXPECT_EQ(winsys::recordedShellRequests().back().file, search + "folder");

    // An empty search name starts nothing.
    winsys::clearShellRequests();
    select(form, "Unnamed search");
    form.CommandBars_Execute(5006);
    EXPECT_TRUE(winsys::recordedShellRequests().empty());
}

TEST_F(MainWindow, CommandsForNoAddonDoNothing) {
    fileAddon(1, {{"originalName", text("Solo")}, {"websearchName", text("Solo")}, {"dLL", text("C:\\solo.dll")}});
    shelltest::AnsweredDialogs dialogs;
    FMain form;
    form.Load();
    QGuiApplication::clipboard()->setText("untouched");
    const struct {
        const char* label;
        bool selectGroup;
    } rows[] = {{"nothing selected", false}, {"a type group selected", true}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.label);
        form.objectList()->RefreshTree(0, false);
        if (r.selectGroup) tree(form)->SelectNode(tree(form)->NodeAt(1));
        for (int id : {5001, 5002, 5005, 5006, 7001, 7002, 7003, 7004, 7005}) form.CommandBars_Execute(id);
        EXPECT_TRUE(winsys::recordedShellRequests().empty());
        EXPECT_TRUE(dialogs.shown.empty());
        EXPECT_TRUE(sheets.empty());
        EXPECT_EQ(QGuiApplication::clipboard()->text(), "untouched");
    }
}

TEST_F(MainWindow, AddonWithoutFileEntryIsImproperlyInstalled) {
    fileAddon(1, {{"originalName", text("Broken")}});
    shelltest::AnsweredDialogs dialogs;
    FMain form;
    form.Load();
    select(form, "Broken");
    form.CommandBars_Execute(5002);
    form.CommandBars_Execute(5005);
    ASSERT_EQ(dialogs.shown.size(), 2u);
    const std::string title = sorlix::AddonTypeVisor->AddonTypeTitleName(1);
    const std::string expected = std::string(1, static_cast<char>(std::toupper(title[0]))) + title.substr(1) +
                                 " is improperly installed or configured";
    EXPECT_EQ(dialogs.shown[0].content.toStdString(), expected);
    EXPECT_EQ(dialogs.shown[0].commonButtons, 0);
    EXPECT_TRUE(winsys::recordedShellRequests().empty());
    EXPECT_TRUE(sheets.empty());
}

// A file of the 64-bit system folder: redirection is off only around the
// test and the sheet, and back on on every path, a failing one included.
TEST_F(MainWindow, FileOfThe64bitSystemFolderSwitchesRedirectionBackOn) {
    prefix.writeFile("C:\\windows\\system32\\real64.dll", "MZ");
    fileAddon(1, {{"originalName", text("Real")},
                  {"dLL", text("C:\\windows\\system32\\real64.dll")},
                  {"file64bitSystem32", winsys::com::makeBool(true)}});
    fileAddon(1, {{"originalName", text("Gone")},
                  {"dLL", text("C:\\windows\\system32\\gone64.dll")},
                  {"file64bitSystem32", winsys::com::makeBool(true)}});
    std::vector<bool> redirectedDuringSheet;
    sorlix::MFileProps::setFilePropertiesSheet([&](const sorlix::MFileProps::PropertiesRequest& r) {
        sheets.push_back(r.lpFile);
        redirectedDuringSheet.push_back(win::isFsRedirectionActive());
        return true;
    });
    FMain form;
    form.Load();
    ASSERT_TRUE(win::isFsRedirectionActive());

    {
        shelltest::AnsweredDialogs dialogs;
        select(form, "Real");
        form.CommandBars_Execute(5002);
        EXPECT_EQ(sheets, std::vector<std::string>{"C:\\windows\\system32\\real64.dll"});
        EXPECT_EQ(redirectedDuringSheet, std::vector<bool>{false});
        EXPECT_TRUE(win::isFsRedirectionActive());

        select(form, "Gone");
        form.CommandBars_Execute(5002);
        ASSERT_EQ(dialogs.shown.size(), 1u);
        EXPECT_EQ(dialogs.shown[0].content, "File not found:\nC:\\windows\\system32\\gone64.dll");
        EXPECT_TRUE(win::isFsRedirectionActive());
        EXPECT_EQ(sorlix::Wow64RedirectionCount, 0);
    }
    // The message itself fails: the trap logs it and redirection is back on.
    winsys::controls::TaskDialog::setTestResponder(
        [](const winsys::controls::TaskDialogSettings&) -> int { throw std::runtime_error("no dialog"); });
    form.CommandBars_Execute(5002);
    winsys::controls::TaskDialog::setTestResponder(nullptr);
    EXPECT_TRUE(logged("FMain.MenuShowFiledetails"));
    EXPECT_TRUE(win::isFsRedirectionActive());
}

TEST_F(MainWindow, ClosingTheWindowEndsTheLoopLikeExit) {
    FMain form;
    form.Load();
    form.show();
    EXPECT_FALSE(form.closeRequested());
    EXPECT_TRUE(form.close()) << "a close is never refused";
    EXPECT_TRUE(form.closeRequested());
}

TEST_F(MainWindow, PanesAreLaidOutBelowTheRibbon) {
    FMain form;
    form.Load();
    const struct {
        int id;
        const char* title;
        QWidget* content;
    } panes[] = {{1, "All Browser Objects", reinterpret_cast<QWidget*>(form.addonSetPane())},
                 {2, "Table", reinterpret_cast<QWidget*>(form.objectList())},
                 {3, "Properties", reinterpret_cast<QWidget*>(form.propertiesPane())}};
    for (const auto& p : panes) {
        SCOPED_TRACE(p.title);
        winsys::controls::Pane* pane = form.dockingPaneManager().FindPane(p.id);
        ASSERT_NE(pane, nullptr);
        EXPECT_EQ(pane->Title(), p.title);
        EXPECT_EQ(pane->Handle(), p.content);
    }
    form.show();
    form.resize(800, 500);
    QApplication::processEvents();
    const QRect client = form.commandBars().GetClientRect();
    EXPECT_EQ(form.clientArea()->geometry(), client);
    EXPECT_GT(client.top(), 40) << "the ribbon is above";
    EXPECT_EQ(client.bottom(), form.height() - 1);
    const QRect set = form.dockingPaneManager().FindPane(1)->dock()->geometry();
    const QRect table = form.dockingPaneManager().FindPane(2)->dock()->geometry();
    const QRect details = form.dockingPaneManager().FindPane(3)->dock()->geometry();
    EXPECT_LT(set.right(), table.left());
    EXPECT_LT(table.bottom(), details.top());
    EXPECT_LT(set.right(), details.left());
    EXPECT_EQ(form.windowTitle(), "Vendrel Sorlix");
}

// A message of the core (here a property list that does not load) wears the
// main window's skin like the window's own messages; before there is a main
// window it still shows, in Qt's look.
TEST_F(MainWindow, CoreMessagesAreOwnedByTheMainWindowOnceItExists) {
    sorlix::ui::InstallMsgBoxDialog();
    std::vector<QWidget*> owners;
    QTimer closer;
    closer.setInterval(20);
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            owners.push_back(box->parentWidget());
            box->button(QMessageBox::Ok)->click();
        }
    });
    closer.start();

    sorlix::MsgBox("before the window");
    {
        FMain form;
        form.Load();
        sorlix::ui::MainForm = &form;
        ASSERT_TRUE(form.styleSheet().contains("QPushButton")) << "the skin is on the window";
        sorlix::MsgBox("with the window");
        sorlix::ui::MainForm = nullptr;
        ASSERT_EQ(owners.size(), 2u);
        EXPECT_EQ(owners[1], &form);
    }
    EXPECT_EQ(owners[0], nullptr);
    sorlix::SetMsgBoxHook(nullptr);
}

} // namespace
