#pragma once
// One command of the command bars (a ribbon button, a menu entry, a
// context-menu entry) as the windows see it, and a popup menu of commands.
// Windows that only change captions and open a menu (the add-on tree) need
// no more than this, so tests can give them a recording menu.

#include <QPoint>
#include <QString>

namespace winsys::controls {

class CommandControl {
public:
    virtual ~CommandControl() = default;
    virtual int Id() const = 0;
    virtual QString Caption() const = 0;
    virtual void SetCaption(const QString& caption) = 0;
    virtual bool Enabled() const = 0;
    virtual void SetEnabled(bool enabled) = 0;
};

class PopupMenu {
public:
    virtual ~PopupMenu() = default;
    // Null when the menu has no command with this id.
    virtual CommandControl* FindControl(int id) = 0;
    // Shows the menu at the pointer; a chosen entry reaches the command
    // bars' execute notification with its id.
    virtual void ShowPopup() = 0;
    // The same at a point of the screen: opened from the keyboard, the menu
    // goes by the selection, not by a pointer that may be anywhere.
    virtual void ShowPopupAt(const QPoint& globalPos) = 0;
};

} // namespace winsys::controls
