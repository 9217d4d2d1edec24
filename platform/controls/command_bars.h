#pragma once
// CommandBars: the commands of one window. A ribbon bar across the top of
// the window (a file-menu button with its menu and a quick-access bar at
// either end of the tab strip, tabs of labelled groups of large buttons,
// icon above caption), context menus and
// key bindings. Every control, menu entry and key binding reaches one
// notification, Execute, with the command's id. The icons come from the
// bars' own icon store, keyed by command id, when a control is made.
//
// The ribbon lays itself out across the top of its window and raises
// Resize whenever the window's free client area (below the ribbon)
// changes. Every control's widget and action is named "cmd_<id>" and every
// key binding "key_<id>", so that tests find them.
//
// Key tips: Alt pressed and released alone (as ribbons have it) puts a
// letter over every command of the ribbon (the file-menu button, the
// quick-access bar, the buttons of the tabs); typing a letter runs its
// command (the file-menu button opens its menu, whose entries the arrow keys
// and Enter reach), Esc, Alt again or a click takes the letters away.

#include <QFrame>
#include <QKeySequence>
#include <QObject>
#include <QRect>
#include <map>
#include <memory>
#include <vector>

#include "platform/controls/command_control.h"
#include "platform/controls/image_store.h"

class QAction;
class QHBoxLayout;
class QLabel;
class QMenu;
class QShortcut;
class QTabWidget;
class QToolButton;

namespace winsys::controls {

class CommandBars;

// A plain button command: one QAction shared by every widget that shows it.
class CommandButton : public CommandControl {
public:
    CommandButton(CommandBars& bars, int id, const QString& caption, QObject* owner);
    ~CommandButton() override;
    CommandButton(const CommandButton&) = delete;
    CommandButton& operator=(const CommandButton&) = delete;
    int Id() const override { return id_; }
    QString Caption() const override;
    void SetCaption(const QString& caption) override;
    bool Enabled() const override;
    void SetEnabled(bool enabled) override;
    // Draws a separator before this control in its menu or bar.
    bool BeginGroup() const { return beginGroup_; }
    void SetBeginGroup(bool on) { beginGroup_ = on; }
    QAction* action() const { return action_; }

private:
    friend class CommandBars;
    void updateToolTip();

    CommandBars& bars_;
    int id_;
    bool beginGroup_ = false;
    QAction* action_;
};

// A context menu of commands, shown as a popup.
class ContextMenu : public PopupMenu {
public:
    ContextMenu(CommandBars& bars, int id, const QString& title);
    ~ContextMenu() override;
    int Id() const { return id_; }
    QString Title() const;
    CommandButton* Add(int id, const QString& caption, bool beginGroup = false);
    CommandControl* FindControl(int id) override;
    void ShowPopup() override;
    void ShowPopupAt(const QPoint& globalPos) override;
    QMenu* menu() const { return menu_; }
    const std::vector<std::unique_ptr<CommandButton>>& controls() const { return controls_; }

private:
    CommandBars& bars_;
    int id_;
    QMenu* menu_;
    std::vector<std::unique_ptr<CommandButton>> controls_;
};

// One labelled group of a ribbon tab: large buttons in a row, the group's
// caption below them.
class RibbonGroup : public QFrame {
    Q_OBJECT
public:
    RibbonGroup(CommandBars& bars, int id, const QString& caption, QWidget* parent);
    ~RibbonGroup() override;
    int Id() const { return id_; }
    QString Caption() const { return caption_; }
    CommandButton* AddButton(int id, const QString& caption);
    const std::vector<std::unique_ptr<CommandButton>>& controls() const { return controls_; }

private:
    CommandBars& bars_;
    int id_;
    QString caption_;
    QHBoxLayout* buttons_;
    std::vector<std::unique_ptr<CommandButton>> controls_;
};

// One tab of the ribbon: its groups side by side.
class RibbonTab : public QWidget {
    Q_OBJECT
public:
    RibbonTab(CommandBars& bars, const QString& caption, QWidget* parent);
    QString Caption() const { return caption_; }
    RibbonGroup* AddGroup(const QString& caption, int id);
    const std::vector<RibbonGroup*>& groups() const { return groups_; }

private:
    CommandBars& bars_;
    QString caption_;
    QHBoxLayout* row_;
    std::vector<RibbonGroup*> groups_;
};

class RibbonBar : public QWidget {
    Q_OBJECT
public:
    RibbonBar(CommandBars& bars, const QString& title, QWidget* parent);
    ~RibbonBar() override;
    QString Title() const { return title_; }
    QSize minimumSizeHint() const override;

    // The file-menu button left of the tabs; its menu opens from it.
    CommandButton* SetFileMenuButton(int id, const QString& caption);
    CommandButton* fileMenuButton() const { return fileButton_.get(); }
    CommandButton* AddFileMenuControl(int id, const QString& caption, bool beginGroup = false);
    QMenu* fileMenu() const { return fileMenu_; }
    const std::vector<std::unique_ptr<CommandButton>>& fileMenuControls() const { return fileMenuControls_; }

    RibbonTab* InsertTab(int index, const QString& caption);
    int tabCount() const;
    RibbonTab* tab(int index) const;

    CommandButton* AddQuickAccessControl(int id, const QString& caption);
    const std::vector<std::unique_ptr<CommandButton>>& quickAccessControls() const { return quickAccess_; }

private:
    CommandBars& bars_;
    QString title_;
    QToolButton* fileTool_;
    QMenu* fileMenu_;
    QWidget* quickBar_;
    QHBoxLayout* quickRow_;
    QTabWidget* tabs_;
    std::unique_ptr<CommandButton> fileButton_;
    std::vector<std::unique_ptr<CommandButton>> fileMenuControls_;
    std::vector<std::unique_ptr<CommandButton>> quickAccess_;
};

struct ToolTipOptions {
    bool showShortcuts = true; // the key binding after the caption
};

class CommandBars : public QObject {
    Q_OBJECT
public:
    // The bars of `window`: the ribbon goes across its top.
    explicit CommandBars(QWidget* window);
    ~CommandBars() override;

    ImageManager& Icons() { return icons_; }

    // The window's ribbon; a second call answers the first one.
    RibbonBar* AddRibbonBar(const QString& title);
    // The active menu bar: the ribbon, or null before there is one.
    RibbonBar* ActiveMenuBar() const { return ribbon_; }

    ContextMenu* AddContextMenu(int id, const QString& title);
    ContextMenu* FindContextMenu(int id) const;

    // `keys` as written in menus: "Del", "F5", "Ctrl+Z", "Alt+Enter" (Enter
    // means both the main and the keypad key).
    void AddKeyBinding(const QString& keys, int id);
    QList<QKeySequence> KeysOf(int id) const;

    void SetToolTipOptions(const ToolTipOptions& options);

    // The window's area below the ribbon, in window coordinates.
    QRect GetClientRect() const;

    // Runs the command as if its control had been clicked.
    void ExecuteCommand(int id) { emit Execute(id); }
    // The tooltip text that controls of `id` show: caption and key.
    QString ToolTipText(int id, const QString& caption) const;

    struct KeyTip {
        QChar letter;
        int id;
    };
    // The letters Alt shows, one per ribbon command, in the ribbon's order.
    std::vector<KeyTip> KeyTips() const;
    bool KeyTipsShown() const { return !keyTipLabels_.empty(); }

signals:
    void Execute(int id);
    void Resize();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class CommandButton;
    friend class ContextMenu;
    void layoutRibbon();
    bool keyTipEvent(QEvent* event);
    void showKeyTips();
    void hideKeyTips();
    QPoint keyTipPlace(const QToolButton* tool, const QSize& tip) const;
    // The ribbon's commands with their tool buttons, in the ribbon's order.
    std::vector<std::pair<CommandButton*, QToolButton*>> ribbonCommands() const;

    QWidget* window_;
    ImageManager icons_;
    RibbonBar* ribbon_ = nullptr;
    std::vector<std::unique_ptr<ContextMenu>> contextMenus_;
    std::vector<std::pair<int, QShortcut*>> bindings_;
    std::multimap<int, CommandButton*> buttons_; // every live control, for tooltips
    ToolTipOptions tips_;
    bool altAlone_ = false; // Alt is down and nothing else was pressed since
    std::vector<QLabel*> keyTipLabels_;
};

// Removes the mnemonic marks of a caption: "&Undo" -> "Undo", "a && b" -> "a & b".
QString StripMnemonic(const QString& caption);

} // namespace winsys::controls
