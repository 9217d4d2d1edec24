#pragma once
// DeleteFlow: the main window's delete command. After the user confirms, an
// add-on is backed up, what its removal records list is deleted, its type
// is collected again and the add-on tree rebuilt where the user was.
// Nothing is deleted unless the backup succeeded.

#include <functional>
#include <string>

#include "common/interfaces/records.h"

namespace winsys::controls {
class TaskDialog;
}

namespace sorlix::ui {

class FObjectList;

class DeleteFlow {
public:
    // focusTablePane gives the add-on tree's pane the focus.
    DeleteFlow(FObjectList& list, winsys::controls::TaskDialog& dialog, std::function<void()> focusTablePane);

    // Deletes the selected add-on; a type group or no selection does nothing.
    void MenuRemove();
    // Deletes the add-on with this id, then shows the type again.
    void RemoveObject(const std::string& ObjectID);
    // Confirmation, backup and removal; true when the type is to be
    // collected again (also after a failed backup, which deleted nothing).
    bool RemoveAddon(halvenlib::_CParams* AddonInfo, const std::string& TypeTitle,
                     const std::string& BackupObjectName);

private:
    FObjectList& list_;
    winsys::controls::TaskDialog& dialog_;
    std::function<void()> focusTablePane_;
};

} // namespace sorlix::ui
