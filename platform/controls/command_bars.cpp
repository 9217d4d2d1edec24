#include "platform/controls/command_bars.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QTimer>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QShortcut>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

namespace winsys::controls {

namespace {

constexpr int kLargeIcon = 32;
constexpr int kSmallIcon = 16;

QString controlName(int id) { return QStringLiteral("cmd_%1").arg(id); }

QToolButton* makeTool(QAction* action, bool large, QWidget* parent) {
    auto* tool = new QToolButton(parent);
    tool->setDefaultAction(action);
    tool->setObjectName(action->objectName());
    tool->setAutoRaise(true);
    tool->setFocusPolicy(Qt::NoFocus);
    if (large) {
        tool->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        tool->setIconSize(QSize(kLargeIcon, kLargeIcon));
        tool->setMinimumWidth(kLargeIcon + 24);
        // Never narrower than its caption.
        tool->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Expanding);
    } else {
        tool->setToolButtonStyle(Qt::ToolButtonIconOnly);
        tool->setIconSize(QSize(kSmallIcon, kSmallIcon));
    }
    return tool;
}

void addToMenu(QMenu* menu, CommandButton& control) {
    if (control.BeginGroup() && !menu->isEmpty()) menu->addSeparator();
    menu->addAction(control.action());
}

// "Enter" in a binding means either Enter key, as users expect.
QList<QKeySequence> parseKeys(const QString& keys) {
    QList<QKeySequence> sequences{QKeySequence::fromString(keys, QKeySequence::PortableText)};
    if (keys.endsWith(QLatin1String("Enter"), Qt::CaseInsensitive)) {
        QString main = keys;
        main.chop(5);
        sequences.append(QKeySequence::fromString(main + QLatin1String("Return"), QKeySequence::PortableText));
    }
    return sequences;
}

} // namespace

QString StripMnemonic(const QString& caption) {
    QString out;
    out.reserve(caption.size());
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] == QLatin1Char('&')) {
            if (i + 1 < caption.size() && caption[i + 1] == QLatin1Char('&')) {
                out += QLatin1Char('&');
                ++i;
            }
            continue;
        }
        out += caption[i];
    }
    return out;
}

// --- CommandButton ---

CommandButton::CommandButton(CommandBars& bars, int id, const QString& caption, QObject* owner)
    : bars_(bars), id_(id), action_(new QAction(caption, owner)) {
    action_->setObjectName(controlName(id));
    // Menus and the ribbon show mnemonics; the keys are ours (key bindings).
    action_->setShortcutContext(Qt::WidgetShortcut);
    if (bars.Icons().Has(id)) action_->setIcon(bars.Icons().Icon(id));
    QObject::connect(action_, &QAction::triggered, &bars, [&bars, id] { bars.ExecuteCommand(id); });
    bars_.buttons_.emplace(id, this);
    updateToolTip();
}

CommandButton::~CommandButton() {
    auto [first, last] = bars_.buttons_.equal_range(id_);
    for (auto it = first; it != last; ++it) {
        if (it->second == this) {
            bars_.buttons_.erase(it);
            break;
        }
    }
}

QString CommandButton::Caption() const { return action_->text(); }

void CommandButton::SetCaption(const QString& caption) {
    action_->setText(caption);
    updateToolTip();
}

bool CommandButton::Enabled() const { return action_->isEnabled(); }
void CommandButton::SetEnabled(bool enabled) { action_->setEnabled(enabled); }

void CommandButton::updateToolTip() { action_->setToolTip(bars_.ToolTipText(id_, action_->text())); }

// --- ContextMenu ---

ContextMenu::ContextMenu(CommandBars& bars, int id, const QString& title)
    : bars_(bars), id_(id), menu_(new QMenu(title, bars.window_)) {
    menu_->setObjectName(QStringLiteral("menu_%1").arg(id));
}

ContextMenu::~ContextMenu() {
    controls_.clear();
    delete menu_;
}

QString ContextMenu::Title() const { return menu_->title(); }

CommandButton* ContextMenu::Add(int id, const QString& caption, bool beginGroup) {
    auto control = std::make_unique<CommandButton>(bars_, id, caption, menu_);
    control->SetBeginGroup(beginGroup);
    addToMenu(menu_, *control);
    controls_.push_back(std::move(control));
    return controls_.back().get();
}

CommandControl* ContextMenu::FindControl(int id) {
    for (const auto& control : controls_)
        if (control->Id() == id) return control.get();
    return nullptr;
}

void ContextMenu::ShowPopup() { ShowPopupAt(QCursor::pos()); }

void ContextMenu::ShowPopupAt(const QPoint& globalPos) { menu_->exec(globalPos); }

// --- RibbonGroup ---

RibbonGroup::RibbonGroup(CommandBars& bars, int id, const QString& caption, QWidget* parent)
    : QFrame(parent), bars_(bars), id_(id), caption_(caption) {
    setObjectName(QStringLiteral("group_%1").arg(id));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(4, 2, 4, 2);
    column->setSpacing(2);
    buttons_ = new QHBoxLayout;
    buttons_->setSpacing(2);
    column->addLayout(buttons_, 1);
    auto* label = new QLabel(StripMnemonic(caption), this);
    label->setObjectName(QStringLiteral("groupCaption"));
    label->setAlignment(Qt::AlignHCenter | Qt::AlignBottom);
    column->addWidget(label);
}

RibbonGroup::~RibbonGroup() = default;

CommandButton* RibbonGroup::AddButton(int id, const QString& caption) {
    controls_.push_back(std::make_unique<CommandButton>(bars_, id, caption, this));
    buttons_->addWidget(makeTool(controls_.back()->action(), true, this));
    return controls_.back().get();
}

// --- RibbonTab ---

RibbonTab::RibbonTab(CommandBars& bars, const QString& caption, QWidget* parent)
    : QWidget(parent), bars_(bars), caption_(caption) {
    row_ = new QHBoxLayout(this);
    row_->setContentsMargins(2, 2, 2, 2);
    row_->setSpacing(0);
    row_->addStretch(1);
}

RibbonGroup* RibbonTab::AddGroup(const QString& caption, int id) {
    if (!groups_.empty()) {
        auto* line = new QFrame(this);
        line->setFrameShape(QFrame::VLine);
        line->setFrameShadow(QFrame::Sunken);
        row_->insertWidget(row_->count() - 1, line);
    }
    auto* group = new RibbonGroup(bars_, id, caption, this);
    row_->insertWidget(row_->count() - 1, group);
    groups_.push_back(group);
    return group;
}

// --- RibbonBar ---

RibbonBar::RibbonBar(CommandBars& bars, const QString& title, QWidget* parent)
    : QWidget(parent), bars_(bars), title_(title) {
    setObjectName(QStringLiteral("ribbon"));
    setAutoFillBackground(true);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(2, 2, 2, 0);
    column->setSpacing(1);

    tabs_ = new QTabWidget(this);
    tabs_->setObjectName(QStringLiteral("ribbonTabs"));
    tabs_->setDocumentMode(false);
    // The quick-access bar shares the tab strip's row, at its right end:
    // a row of its own would take a line of the window for a few icons.
    quickBar_ = new QWidget(tabs_);
    quickBar_->setObjectName(QStringLiteral("quickAccess"));
    quickRow_ = new QHBoxLayout(quickBar_);
    quickRow_->setContentsMargins(0, 0, 2, 0);
    quickRow_->setSpacing(1);
    tabs_->setCornerWidget(quickBar_, Qt::TopRightCorner);
    fileMenu_ = new QMenu(this);
    fileMenu_->setObjectName(QStringLiteral("fileMenu"));
    fileTool_ = new QToolButton(tabs_);
    fileTool_->setPopupMode(QToolButton::InstantPopup);
    fileTool_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    fileTool_->setIconSize(QSize(kSmallIcon, kSmallIcon));
    fileTool_->setMenu(fileMenu_);
    fileTool_->hide();
    tabs_->setCornerWidget(fileTool_, Qt::TopLeftCorner);
    column->addWidget(tabs_);
}

RibbonBar::~RibbonBar() = default;

// Every caption whole: the ribbon does not shrink below what it shows.
// (The tab widget's own hints leave its pages out.)
QSize RibbonBar::minimumSizeHint() const {
    const QMargins margins = layout()->contentsMargins();
    int width = fileTool_->sizeHint().width() + tabs_->tabBar()->sizeHint().width() + quickBar_->sizeHint().width();
    for (int i = 0; i < tabs_->count(); ++i) width = std::max(width, tabs_->widget(i)->sizeHint().width() + 4);
    return {width + margins.left() + margins.right(), sizeHint().height()};
}

CommandButton* RibbonBar::SetFileMenuButton(int id, const QString& caption) {
    fileButton_ = std::make_unique<CommandButton>(bars_, id, caption, this);
    fileButton_->action()->setMenu(fileMenu_);
    fileTool_->setDefaultAction(fileButton_->action());
    fileTool_->setObjectName(fileButton_->action()->objectName());
    // Polished already with the ribbon: a style sheet's rules by name apply
    // only after a new polish.
    fileTool_->style()->unpolish(fileTool_);
    fileTool_->style()->polish(fileTool_);
    fileTool_->show();
    return fileButton_.get();
}

CommandButton* RibbonBar::AddFileMenuControl(int id, const QString& caption, bool beginGroup) {
    auto control = std::make_unique<CommandButton>(bars_, id, caption, fileMenu_);
    control->SetBeginGroup(beginGroup);
    addToMenu(fileMenu_, *control);
    fileMenuControls_.push_back(std::move(control));
    return fileMenuControls_.back().get();
}

RibbonTab* RibbonBar::InsertTab(int index, const QString& caption) {
    auto* tab = new RibbonTab(bars_, caption, tabs_);
    tabs_->insertTab(index, tab, StripMnemonic(caption));
    return tab;
}

int RibbonBar::tabCount() const { return tabs_->count(); }

RibbonTab* RibbonBar::tab(int index) const { return qobject_cast<RibbonTab*>(tabs_->widget(index)); }

CommandButton* RibbonBar::AddQuickAccessControl(int id, const QString& caption) {
    quickAccess_.push_back(std::make_unique<CommandButton>(bars_, id, caption, this));
    quickRow_->addWidget(makeTool(quickAccess_.back()->action(), false, quickBar_));
    return quickAccess_.back().get();
}

// --- CommandBars ---

CommandBars::CommandBars(QWidget* window) : QObject(window), window_(window) {
    window_->installEventFilter(this);
    // Keys go to the focused child, so the key tips watch the application.
    if (qApp) qApp->installEventFilter(this);
}

CommandBars::~CommandBars() {
    if (qApp) qApp->removeEventFilter(this);
    window_->removeEventFilter(this);
    for (auto& [id, shortcut] : bindings_) delete shortcut;
    contextMenus_.clear();
    delete ribbon_;
}

RibbonBar* CommandBars::AddRibbonBar(const QString& title) {
    if (!ribbon_) {
        ribbon_ = new RibbonBar(*this, title, window_);
        ribbon_->show();
        layoutRibbon();
    }
    return ribbon_;
}

ContextMenu* CommandBars::AddContextMenu(int id, const QString& title) {
    contextMenus_.push_back(std::make_unique<ContextMenu>(*this, id, title));
    return contextMenus_.back().get();
}

ContextMenu* CommandBars::FindContextMenu(int id) const {
    for (const auto& menu : contextMenus_)
        if (menu->Id() == id) return menu.get();
    return nullptr;
}

void CommandBars::AddKeyBinding(const QString& keys, int id) {
    auto* shortcut = new QShortcut(window_);
    shortcut->setObjectName(QStringLiteral("key_%1").arg(id));
    shortcut->setKeys(parseKeys(keys));
    shortcut->setContext(Qt::WindowShortcut);
    connect(shortcut, &QShortcut::activated, this, [this, id] { ExecuteCommand(id); });
    bindings_.emplace_back(id, shortcut);
    auto [first, last] = buttons_.equal_range(id);
    for (auto it = first; it != last; ++it) it->second->updateToolTip();
}

QList<QKeySequence> CommandBars::KeysOf(int id) const {
    QList<QKeySequence> keys;
    for (const auto& [bound, shortcut] : bindings_)
        if (bound == id) keys += shortcut->keys();
    return keys;
}

void CommandBars::SetToolTipOptions(const ToolTipOptions& options) {
    tips_ = options;
    for (auto& [id, button] : buttons_) button->updateToolTip();
}

QString CommandBars::ToolTipText(int id, const QString& caption) const {
    QString text = StripMnemonic(caption);
    if (!tips_.showShortcuts) return text;
    for (const auto& [bound, shortcut] : bindings_) {
        if (bound == id && !shortcut->keys().isEmpty())
            return text + QStringLiteral(" (") + shortcut->keys().first().toString(QKeySequence::NativeText) +
                   QLatin1Char(')');
    }
    return text;
}

QRect CommandBars::GetClientRect() const {
    const int top = ribbon_ ? ribbon_->geometry().bottom() + 1 : 0;
    return QRect(0, top, window_->width(), std::max(0, window_->height() - top));
}

bool CommandBars::eventFilter(QObject* watched, QEvent* event) {
    if (ribbon_ && keyTipEvent(event)) return true;
    if (watched == window_ && (event->type() == QEvent::Resize || event->type() == QEvent::Show)) layoutRibbon();
    return QObject::eventFilter(watched, event);
}

void CommandBars::layoutRibbon() {
    if (ribbon_) ribbon_->setGeometry(0, 0, window_->width(), ribbon_->sizeHint().height());
    emit Resize();
}

} // namespace winsys::controls

namespace winsys::controls {

namespace {

// The letters a caption offers for its key tip, best first: its mnemonic,
// the initials of its words, then its other letters.
QString tipCandidates(const QString& caption) {
    QString out;
    const int mark = static_cast<int>(caption.indexOf(QLatin1Char('&')));
    if (mark >= 0 && mark + 1 < caption.size() && caption[mark + 1] != QLatin1Char('&')) out += caption[mark + 1];
    const QString plain = StripMnemonic(caption);
    for (qsizetype i = 0; i < plain.size(); ++i)
        if (plain[i].isLetter() && (i == 0 || !plain[i - 1].isLetterOrNumber())) out += plain[i];
    out += plain;
    QString letters;
    for (const QChar c : out)
        if (c.isLetter()) letters += c.toUpper();
    return letters;
}

} // namespace

std::vector<std::pair<CommandButton*, QToolButton*>> CommandBars::ribbonCommands() const {
    std::vector<std::pair<CommandButton*, QToolButton*>> out;
    if (!ribbon_) return out;
    const auto add = [&](CommandButton* control) {
        if (!control) return;
        if (auto* tool = ribbon_->findChild<QToolButton*>(control->action()->objectName())) out.emplace_back(control, tool);
    };
    add(ribbon_->fileMenuButton());
    for (const auto& c : ribbon_->quickAccessControls()) add(c.get());
    for (int t = 0; t < ribbon_->tabCount(); ++t)
        for (RibbonGroup* group : ribbon_->tab(t)->groups())
            for (const auto& c : group->controls()) add(c.get());
    return out;
}

std::vector<CommandBars::KeyTip> CommandBars::KeyTips() const {
    std::vector<KeyTip> tips;
    QString used;
    int quick = 0;
    for (const auto& [control, tool] : ribbonCommands()) {
        QChar letter;
        const bool quickAccess = std::any_of(ribbon_->quickAccessControls().begin(), ribbon_->quickAccessControls().end(),
                                             [target = control](const auto& c) { return c.get() == target; });
        if (quickAccess) {
            // Ribbons number the quick-access bar.
            letter = QChar(u'1' + quick++);
        } else {
            QString candidates = tipCandidates(control->Caption());
            if (auto* group = qobject_cast<RibbonGroup*>(control->action()->parent()))
                candidates += tipCandidates(group->Caption());
            for (const QChar c : candidates)
                if (!used.contains(c)) {
                    letter = c;
                    break;
                }
        }
        if (letter.isNull()) continue;
        used += letter;
        tips.push_back({letter, control->Id()});
    }
    return tips;
}

// Where a key tip goes, in window coordinates: never over the caption that
// the user reads to find the command. A large button's tip sits on the
// lower right of its icon, just above the caption; a small one's (the file
// menu, the quick-access bar) hangs below the button.
QPoint CommandBars::keyTipPlace(const QToolButton* tool, const QSize& tip) const {
    if (tool->toolButtonStyle() == Qt::ToolButtonTextUnderIcon) {
        // The icon sits at the button's top, below its frame and a margin;
        // the caption is centred in the room below the icon.
        constexpr int kIconTop = 5;
        const QPoint corner(tool->width() / 2 + tool->iconSize().width() / 2, kIconTop + tool->iconSize().height());
        const QPoint at = tool->mapTo(window_, corner);
        return {at.x() - tip.width() / 2, at.y() - tip.height()};
    }
    const QPoint at = tool->mapTo(window_, QPoint(tool->width() / 2, tool->height()));
    return {at.x() - tip.width() / 2, at.y() - 2};
}

void CommandBars::showKeyTips() {
    hideKeyTips();
    const std::vector<KeyTip> tips = KeyTips();
    for (const auto& [control, tool] : ribbonCommands()) {
        if (!tool->isVisible()) continue;
        for (const KeyTip& tip : tips) {
            if (tip.id != control->Id()) continue;
            auto* label = new QLabel(QString(tip.letter), window_);
            label->setObjectName(QStringLiteral("keyTip"));
            label->setProperty("commandId", tip.id);
            label->adjustSize();
            label->move(keyTipPlace(tool, label->size()));
            label->show();
            label->raise();
            keyTipLabels_.push_back(label);
        }
    }
}

void CommandBars::hideKeyTips() {
    for (QLabel* label : keyTipLabels_) delete label;
    keyTipLabels_.clear();
}

bool CommandBars::keyTipEvent(QEvent* event) {
    const QEvent::Type type = event->type();
    if (type == QEvent::MouseButtonPress || type == QEvent::WindowDeactivate) {
        altAlone_ = false;
        if (KeyTipsShown() && type == QEvent::MouseButtonPress) hideKeyTips();
        return false;
    }
    if (type == QEvent::ShortcutOverride) {
        // A key binding such as Alt+Enter takes its key before it is pressed.
        if (static_cast<QKeyEvent*>(event)->key() != Qt::Key_Alt) altAlone_ = false;
        return false;
    }
    if (type != QEvent::KeyPress && type != QEvent::KeyRelease) return false;
    if (!window_->isActiveWindow() || QApplication::activePopupWidget() || QApplication::activeModalWidget())
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    if (type == QEvent::KeyPress) {
        if (key->key() == Qt::Key_Alt) {
            if (!key->isAutoRepeat()) altAlone_ = true;
            return KeyTipsShown();
        }
        altAlone_ = false;
        if (!KeyTipsShown()) return false;
        if (key->key() == Qt::Key_Escape) {
            hideKeyTips();
            return true;
        }
        const QString typed = key->text().toUpper();
        if (typed.size() == 1) {
            for (const KeyTip& tip : KeyTips()) {
                if (tip.letter != typed[0]) continue;
                hideKeyTips();
                const int id = tip.id;
                // After this key event: a menu runs a loop of its own.
                QTimer::singleShot(0, this, [this, id] {
                    for (const auto& [control, tool] : ribbonCommands())
                        if (control->Id() == id) {
                            if (tool->menu()) tool->showMenu();
                            else control->action()->trigger();
                            return;
                        }
                });
                return true;
            }
        }
        return true; // the letters stay until one fits or Esc
    }
    if (key->key() == Qt::Key_Alt && altAlone_ && !key->isAutoRepeat()) {
        altAlone_ = false;
        if (KeyTipsShown()) hideKeyTips();
        else showKeyTips();
        return true;
    }
    return false;
}

} // namespace winsys::controls
