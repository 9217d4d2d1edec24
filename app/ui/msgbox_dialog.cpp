#include "app/ui/msgbox_dialog.h"

#include <QString>
#include <string>

#include "app/core/msgbox.h"
#include "app/core/strings.h"
#include "app/ui/fmain.h"
#include "platform/controls/task_dialog.h"

namespace sorlix::ui {

void InstallMsgBoxDialog() {
    SetMsgBoxHook([](const std::string& prompt) {
        // Owned by the main window once there is one, so that the box wears
        // its skin like every other message.
        winsys::controls::TaskDialog dialog(MainForm);
        dialog.SetWindowTitle(QString::fromStdString(LoadResString(100)));
        dialog.SetContent(QString::fromStdString(prompt));
        dialog.SetCommonButtons(winsys::controls::TaskDialog::kOk);
        dialog.ShowDialog();
    });
}

} // namespace sorlix::ui
