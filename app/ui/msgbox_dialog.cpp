#include "app/ui/msgbox_dialog.h"

#include <QString>
#include <string>

#include "app/core/msgbox.h"
#include "app/core/strings.h"
#include "platform/controls/task_dialog.h"

namespace sorlix::ui {

void InstallMsgBoxDialog() {
    SetMsgBoxHook([](const std::string& prompt) {
        winsys::controls::TaskDialog dialog;
        dialog.SetWindowTitle(QString::fromStdString(LoadResString(100)));
        dialog.SetContent(QString::fromStdString(prompt));
        dialog.SetCommonButtons(winsys::controls::TaskDialog::kOk);
        dialog.ShowDialog();
    });
}

} // namespace sorlix::ui
