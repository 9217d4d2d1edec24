#pragma once
// FObjectList: the pane "Table", one group per add-on type of the current
// add-on set holding that type's add-ons by display name; it shows the
// selected add-on's details and opens the add-on context menu.

#include <QWidget>
#include <string>

#include "common/interfaces/records.h"
#include "platform/com/com_ptr.h"
#include "platform/controls/command_control.h"
#include "platform/core/wintypes.h"

namespace sorlix::ui {

class FProperties;

class FObjectList : public QWidget {
    Q_OBJECT
public:
    explicit FObjectList(QWidget* parent = nullptr);
    void Init(FProperties* Properties, winsys::controls::PopupMenu* ContextMenu);
    void Finalize();
    win::LONG CurrentAddonSet() const;
    void RefreshTree(win::LONG AddonSet, bool SaveCursorPosition);
    void ShowDetails();
    void CurrentNodeInfo(bool& IsNodeSelected, bool& IsFolder, win::LONG& AddonType, std::string& ObjectID,
                         winsys::com::ComPtr<halvenlib::_CParams>& AddonInfo);
    win::LONG FirstNodeAddonType();

private:
    struct Impl;
    Impl* d_;
};

} // namespace sorlix::ui
