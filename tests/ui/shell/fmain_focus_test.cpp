// The keyboard in the main window: right after start-up and after each
// dialog (the delete question, the about box, the file-properties sheet,
// the restore window) the focus is on a tree, so the arrow keys move its
// selection at once. The window is activated as a window manager does it:
// after the dialog has gone, with the activation arriving from outside.

#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include "app/core/mfileprops.h"
#include "app/ui/file_properties_sheet.h"
#include "app/ui/fmain.h"
#include "app/ui/fobjectlist.h"
#include "app/ui/fselectaddonset.h"
#include "platform/controls/tree_view.h"
#include "tests/ui/shell/shell_support.h"

namespace {

using shelltest::Machine;
using shelltest::text;
using sorlix::ui::FMain;
using winsys::controls::TreeView;

class Keyboard : public Machine {
protected:
    Keyboard() {
        fileAddon(1, {{"originalName", text("Alpha")}, {"dLL", text("C:\\addons\\alpha.dll")}});
        fileAddon(1, {{"originalName", text("Beta")}, {"dLL", text("C:\\addons\\beta.dll")}});
        fileAddon(1, {{"originalName", text("Gamma")}, {"dLL", text("C:\\addons\\gamma.dll")}});
        prefix.writeFile("C:\\addons\\alpha.dll", "MZ");
        sorlix::MFileProps::setFilePropertiesSheet(sorlix::ui::ShowFilePropertiesSheet);
        elsewhere.resize(50, 50);
    }
    ~Keyboard() override { sorlix::MFileProps::setFilePropertiesSheet(nullptr); }

    static TreeView* sets(FMain& form) { return form.addonSetPane()->findChild<TreeView*>("tv"); }
    static TreeView* addons(FMain& form) { return form.objectList()->findChild<TreeView*>("tv"); }

    // A window manager activates the window once what covered it has gone:
    // the activation comes from outside, after the command's own work.
    void activateAsWindowManager(FMain& form) {
        elsewhere.show();
        elsewhere.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&elsewhere));
        form.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
        QApplication::processEvents();
    }

    // Down, sent where the window system sends keys, moves the tree's
    // selection one node on.
    static void expectArrowsMove(TreeView* tv) {
        ASSERT_EQ(QApplication::focusWidget(), tv);
        const int before = tv->PositionOf(tv->SelectedNode());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
        EXPECT_EQ(tv->PositionOf(tv->SelectedNode()), before + 1);
    }

    QWidget elsewhere; // another program's window
};

TEST_F(Keyboard, ArrowKeysMoveTheSelectionAtStartUpAndAfterEveryDialog) {
    shelltest::ModalCloser closer; // closes each dialog as a user would (Esc, the close button)
    FMain form;
    form.Load();
    form.show();
    ASSERT_NO_FATAL_FAILURE(activateAsWindowManager(form));
    {
        SCOPED_TRACE("start-up");
        expectArrowsMove(sets(form));
    }

    struct Step {
        const char* label;
        int command;
        bool fromAddonTree; // the command given with an add-on selected in the tree
        bool setTreeAfter;  // else the add-on tree has the keys
        const char* dialog;
    };
    const Step steps[] = {
        // The delete asks; No deletes nothing and the keys stay in the tree.
        {"delete question", 5001, true, false, "QMessageBox"},
        {"about box", 6006, false, true, "sorlix::ui::FAbout"},
        {"file-properties sheet", 5002, true, false, "sorlix::ui::FilePropertiesSheet"},
        {"restore window", 5011, true, true, "sorlix::ui::FRestore"},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.label);
        // Every add-on, "Alpha" selected, the keys in the add-on tree.
        QTest::mouseClick(sets(form)->viewport(), Qt::LeftButton, Qt::NoModifier,
                          sets(form)->visualItemRect(sets(form)->NodeAt(1)).center());
        TreeView* tv = addons(form);
        ASSERT_EQ(tv->NodeAt(2)->text(0), "Alpha");
        QTest::mouseClick(tv->viewport(), Qt::LeftButton, Qt::NoModifier, tv->visualItemRect(tv->NodeAt(2)).center());
        ASSERT_EQ(tv->SelectedNode(), tv->NodeAt(2));
        if (!step.fromAddonTree) sets(form)->setFocus();

        closer.closed.clear();
        form.CommandBars_Execute(step.command);
        ASSERT_EQ(closer.closed, std::vector<std::string>{step.dialog});
        ASSERT_NO_FATAL_FAILURE(activateAsWindowManager(form));
        expectArrowsMove(step.setTreeAfter ? sets(form) : addons(form));
    }
    elsewhere.hide();
}

} // namespace
