#include "app/ui/messages.h"

#include <QString>

#include "app/core/strings.h"

namespace sorlix::ui {

void ShowMessage(winsys::controls::TaskDialog& dialog, const std::string& Text, win::LONG& Buttons,
                 const std::string& Title, win::LONG& Result) {
    const std::string title = Title.empty() ? LoadResString(100) : Title;
    // The dialog is shared by every message of its window: nothing of the
    // last one may show through.
    dialog.Reset();
    dialog.SetAllowCancellation(true);
    dialog.SetWindowTitle(QString::fromStdString(title));
    dialog.SetContent(QString::fromStdString(Text));
    dialog.SetCommonButtons(Buttons);
    Result = dialog.ShowDialog();
}

std::string PartlyDeletedMessage(const std::string& Name, const std::vector<StayedPart>& Stayed) {
    std::string text = Name + " was not deleted completely. What could not be deleted:";
    for (const StayedPart& part : Stayed) {
        text += "\n" + part.text;
        if (!part.restorable) text += " It has no backup: Restore cannot put it back.";
    }
    return text + "\n\nIts backup is kept: Restore puts back the backed-up parts that were deleted.";
}

} // namespace sorlix::ui
