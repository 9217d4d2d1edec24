// The core's plain message box as the program shows it: a property list that
// does not load reaches the task dialog (answered here by the test) with its
// text, an OK button alone and the program's name as title.

#include "app/ui/msgbox_dialog.h"

#include <vector>

#include "app/core/msgbox.h"
#include "app/enumerators/cplistparser.h"
#include "platform/controls/task_dialog.h"
#include "tests/ui/panes/panes_support.h"

namespace {

using winsys::controls::TaskDialog;
using winsys::controls::TaskDialogSettings;

class MsgBoxDialog : public panestest::Machine {
protected:
    MsgBoxDialog() {
        TaskDialog::setTestResponder([this](const TaskDialogSettings& s) {
            shown.push_back(s);
            return TaskDialog::kOk;
        });
        sorlix::ui::InstallMsgBoxDialog();
    }
    ~MsgBoxDialog() override {
        sorlix::SetMsgBoxHook(nullptr);
        TaskDialog::setTestResponder(nullptr);
    }
    std::vector<TaskDialogSettings> shown;
};

TEST_F(MsgBoxDialog, ParseErrorOfAPropertyListIsAnOkBoxUnderTheProgramsName) {
    EXPECT_FALSE(sorlix::CPlistParser().Parse("<plist><dict>"));
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].windowTitle, "Vendrel Sorlix");
    EXPECT_TRUE(shown[0].content.startsWith("Parse Error line 1, character ")) << shown[0].content.toStdString();
    EXPECT_EQ(shown[0].commonButtons, TaskDialog::kOk);
}

} // namespace
