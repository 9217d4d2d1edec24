#include "app/ui/fobjectlist.h"

#include <QVBoxLayout>
#include <algorithm>
#include <exception>
#include <optional>

#include "app/core/caddontypevisor.h"
#include "app/core/comcalls.h"
#include "app/core/cresource.h"
#include "app/core/mapi.h"
#include "app/core/mmain.h"
#include "app/core/strings.h"
#include "app/ui/fproperties.h"
#include "app/ui/program_images.h"
#include "common/interfaces/table.h"
#include "platform/com/com_error.h"
#include "platform/com/variant.h"
#include "platform/controls/tree_view.h"

namespace sorlix::ui {

namespace {

using halvenlib::_CCollection;
using halvenlib::_CParams;
using win::LONG;
using winsys::com::call;
using winsys::com::check;
using winsys::com::ComPtr;
using winsys::controls::TreeView;

// Tree images: an expanded group, a collapsed group, an add-on.
constexpr int kImageGroup = 1;
constexpr int kImageGroupCollapsed = 11;
constexpr int kImageAddon = 2;

// A click this close to a group's left edge, on its image, toggles it.
constexpr double kToggleEdgeTwips = 210;

// Commands of the add-on context menu.
constexpr int kCmdDelete = 7001;
constexpr int kCmdProperties = 7002;
constexpr int kCmdSearchFileName = 7003;
constexpr int kCmdSearchAddonName = 7004;
constexpr int kCmdCopy = 7005;

template <class T>
T& required(T* p) {
    if (!p) throw ObjectNotSet();
    return *p;
}

// Menus take "&" as the mark of a shortcut letter; a name shows as itself.
std::string menuText(const std::string& text) {
    std::string out;
    for (const char c : text) {
        out += c;
        if (c == '&') out += '&';
    }
    return out;
}

// The record's value under `name` as text, or empty when it has none.
std::string paramText(_CParams* record, const std::string& name) {
    return HasParam(record, name) ? ParamText(record, name) : std::string();
}

} // namespace

// A child of the form, so it goes with it.
struct FObjectList::Impl : QObject {
    TreeView* tv = nullptr;
    FProperties* m_Properties = nullptr;
    winsys::controls::PopupMenu* m_ContextMenu = nullptr;
    ComPtr<_CCollection> m_KeyType;
    LONG m_CurrentAddonSet = 0;

    void addKeyType(const QString& key, LONG addonType) {
        win::VARIANT item = winsys::com::makeLong(addonType);
        win::VARIANT k = winsys::com::makeText(key.toStdString());
        call([&] { return required(m_KeyType.get()).Add(&item, &k, nullptr, nullptr); });
    }

    LONG AddonTypeByKey(const QString& key) const {
        if (!m_KeyType) return 0;
        const std::string k = key.toStdString();
        if (!HasItem(m_KeyType.get(), k)) return 0;
        LONG addonType = 0;
        check(winsys::com::toLong(CollectionItem(m_KeyType.get(), k), &addonType));
        return addonType;
    }

    void loadImages() {
        try {
            CResource module;
            OpenProgramResources(module);
            tv->AddImage(kImageGroup, LoadPngResource(module, 1401), LoadPngResource2x(module, 1401));
            tv->AddImage(kImageGroupCollapsed, LoadPngResource(module, 1402), LoadPngResource2x(module, 1402));
            tv->AddImage(kImageAddon, LoadPngResource(module, 1403), LoadPngResource2x(module, 1403));
        } catch (const std::exception&) {
            // The tree works without its images.
        }
    }

    void RefreshTree(LONG AddonSet, bool SaveCursorPosition) {
        try {
            m_CurrentAddonSet = AddonSet;
            int position = 0;
            if (QTreeWidgetItem* selected = SaveCursorPosition ? tv->SelectedNode() : nullptr) {
                position = tv->PositionOf(selected);
                if (position < tv->NodeCount()) {
                    const QTreeWidgetItem* next = tv->NodeAt(position + 1);
                    // The last add-on of a group (usually just deleted) hands the
                    // selection to the node above it.
                    if (AddonTypeByKey(TreeView::Key(selected)) != AddonTypeByKey(TreeView::Key(next))) --position;
                }
            }

            tv->ClearNodes();
            call([&] { return required(m_KeyType.get()).Clear(); });

            const CAddonTypeVisor& visor = required(AddonTypeVisor.get());
            const ComPtr<halvenlib::_CGumArray> types = visor.AddonSetTypes(AddonSet);
            const bool multibrowser = visor.AddonSetIsMultibrowser(AddonSet);
            const LONG rows = RowCount(types.get());
            for (LONG row = 1; row <= rows; ++row) AddAddonType(CellLong(types.get(), row, 1), multibrowser);

            if (SaveCursorPosition && position > 0) {
                try {
                    tv->SelectNode(tv->NodeAt(std::min(position, tv->NodeCount())));
                } catch (const std::exception&) {
                    // Nothing stays selected.
                }
            }
            // The grid never describes an add-on the tree no longer selects:
            // the node the position landed on, or nothing.
            ShowSelectedDetails();
        } catch (const std::exception& e) {
            LogError(e, "FObjectList.RefreshTree");
        }
    }

    void AddAddonType(LONG AddonType, bool Multibrowser) {
        try {
            const CAddonTypeVisor& visor = required(AddonTypeVisor.get());
            const QString groupKey = QString::fromStdString(NewGuid());
            const std::string caption =
                Multibrowser ? visor.TreeViewNodeNameIncludingBrowser(AddonType) : visor.TreeViewNodeName(AddonType);
            QTreeWidgetItem* group = tv->AddNode(QString(), groupKey, QString::fromStdString(caption), kImageGroup);
            addKeyType(groupKey, AddonType);
            tv->SetExpanded(group, true);
            QFont bold = group->font(0);
            bold.setBold(true);
            group->setFont(0, bold);

            const ComPtr<halvenlib::_CGumArray> listing = required(DB.get()).TypeObjects(AddonType);
            if (!listing) return;
            const LONG rows = RowCount(listing.get());
            for (LONG row = 1; row <= rows; ++row) {
                const QString key = QString::fromStdString(CellText(listing.get(), row, 2));
                tv->AddNode(groupKey, key, QString::fromStdString(CellText(listing.get(), row, 1)), kImageAddon);
                addKeyType(key, AddonType);
            }
        } catch (const std::exception& e) {
            LogError(e, "FObjectList.AddAddonType");
        }
    }

    void tv_NodeClick() {
        try {
            if (!tv->SelectedNode()) {
                QTreeWidgetItem* first = tv->NodeAt(1);
                if (!first) return;
                tv->SelectNode(first);
            }
            ShowSelectedDetails();
        } catch (const std::exception& e) {
            LogError(e, "FObjectList.tv_NodeClick");
        }
    }

    // The selected add-on's details in the grid; a group, an add-on gone
    // from the catalogue or no selection at all leaves the grid empty.
    void ShowSelectedDetails() {
        if (!m_Properties) return;
        const QTreeWidgetItem* node = tv->SelectedNode();
        const QString key = node ? TreeView::Key(node) : QString();
        ComPtr<_CParams> details = key.isEmpty() ? nullptr : required(DB.get()).Details(key.toStdString());
        if (!details) details = NewParams();
        m_Properties->ShowDetails(details.get());
    }

    void ShowDetails() {
        try {
            if (!tv->SelectedNode()) tv->SelectNode(tv->NodeAt(1));
            tv_NodeClick();
        } catch (const std::exception& e) {
            LogError(e, "FObjectList.ShowDetails");
        }
    }

    void tv_MouseDown(Qt::MouseButton button, double x, double y) {
        try {
            QTreeWidgetItem* node = tv->HitTest(x, y);
            if (!node) return;
            tv->SelectNode(node);
            // A left click shows the details when it is released; any other
            // button selects here, and the details pane must describe the
            // add-on that its menu (and a delete) will act on.
            if (button != Qt::LeftButton) tv_NodeClick();
        } catch (const std::exception&) {
            // Only the selection would change.
        }
    }

    void tv_MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, double x, double y) {
        try {
            if (button == Qt::LeftButton) {
                QTreeWidgetItem* node = tv->HitTest(x, y);
                if (!node || node->parent() || x >= kToggleEdgeTwips) return;
                if (node->isExpanded()) {
                    tv->SetExpanded(node, false);
                    tv_Collapse(node);
                } else {
                    tv->SetExpanded(node, true);
                    tv_Expand(node);
                }
            } else if (button == Qt::RightButton &&
                       !(modifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier))) {
                if (addonSelected()) PrepareAndShowContextMenu();
            }
        } catch (const std::exception& e) {
            LogError(e, "FObjectList.tv_MouseUp");
        }
    }

    // Shift+F10 or the Menu key: the menu of the selected add-on, by it.
    void tv_ContextMenuKey() {
        try {
            if (addonSelected()) PrepareAndShowContextMenu(tv->ContextMenuPosition());
        } catch (const std::exception& e) {
            LogError(e, "FObjectList.tv_ContextMenuKey");
        }
    }

    bool addonSelected() {
        bool selected = false, folder = false;
        LONG addonType = 0;
        std::string id;
        ComPtr<_CParams> info;
        CurrentNodeInfo(selected, folder, addonType, id, info);
        return selected && !folder;
    }

    void tv_Collapse(QTreeWidgetItem* node) {
        if (TreeView::Image(node) == kImageGroup) tv->SetImage(node, kImageGroupCollapsed);
    }

    void tv_Expand(QTreeWidgetItem* node) {
        if (TreeView::Image(node) == kImageGroupCollapsed) tv->SetImage(node, kImageGroup);
    }

    // At the pointer unless `at` (global) is given.
    void PrepareAndShowContextMenu(std::optional<QPoint> at = std::nullopt) {
        try {
            QTreeWidgetItem* node = tv->SelectedNode();
            if (!node) return;
            const ComPtr<_CParams> record = required(DB.get()).AddonInfo(TreeView::Key(node).toStdString());
            const std::string name = paramText(record.get(), "originalName");
            const std::string dll = paramText(record.get(), "dLL");
            const std::string file = dll.empty() ? std::string() : MAPI::GetFileNameFromPath(dll);
            const bool named = !name.empty() && name != LoadResString(110);

            winsys::controls::PopupMenu& menu = required(m_ContextMenu);
            if (auto* c = menu.FindControl(kCmdCopy)) {
                c->SetEnabled(named);
                c->SetCaption(QString::fromStdString(FormatString(LoadResString(184), {menuText(name)})));
            }
            if (auto* c = menu.FindControl(kCmdSearchFileName)) {
                c->SetEnabled(!file.empty());
                c->SetCaption(QString::fromStdString(FormatString(LoadResString(185), {menuText(file)})));
            }
            if (auto* c = menu.FindControl(kCmdSearchAddonName)) {
                c->SetEnabled(named);
                c->SetCaption(QString::fromStdString(FormatString(LoadResString(185), {menuText(name)})));
            }
            if (auto* c = menu.FindControl(kCmdProperties)) c->SetEnabled(!file.empty());
            if (auto* c = menu.FindControl(kCmdDelete)) c->SetEnabled(true);
            if (at)
                menu.ShowPopupAt(*at);
            else
                menu.ShowPopup();
        } catch (const std::exception& e) {
            LogError(e, "FObjectList.PrepareAndShowContextMenu");
        }
    }

    void CurrentNodeInfo(bool& IsNodeSelected, bool& IsFolder, LONG& AddonType, std::string& ObjectID,
                         ComPtr<_CParams>& AddonInfo) {
        ObjectID.clear();
        AddonInfo = nullptr;
        QTreeWidgetItem* node = tv->SelectedNode();
        if (!node) {
            IsNodeSelected = false;
            AddonType = 0;
            return;
        }
        IsNodeSelected = true;
        IsFolder = node->parent() == nullptr;
        const QString key = TreeView::Key(node);
        AddonType = AddonTypeByKey(key);
        if (!IsFolder) {
            ObjectID = key.toStdString();
            AddonInfo = required(DB.get()).AddonInfo(ObjectID);
        }
    }
};

FObjectList::FObjectList(QWidget* parent) : QWidget(parent), d_(new Impl) {
    d_->setParent(this);
    d_->tv = new TreeView(this);
    d_->tv->setObjectName(QStringLiteral("tv"));
    // What a screen reader says of the tree and its (hidden) header.
    d_->tv->setHeaderLabel(QStringLiteral("Add-ons"));
    d_->tv->setAccessibleName(QStringLiteral("Table"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(d_->tv);
    // Focus given to the pane goes to the tree, where the keys act.
    setFocusProxy(d_->tv);

    Impl* d = d_;
    connect(d->tv, &TreeView::NodeClick, d, [d](QTreeWidgetItem*) { d->tv_NodeClick(); });
    connect(d->tv, &TreeView::MouseDown, d,
            [d](Qt::MouseButton button, Qt::KeyboardModifiers, double x, double y) { d->tv_MouseDown(button, x, y); });
    connect(d->tv, &TreeView::ContextMenuKey, d, [d] { d->tv_ContextMenuKey(); });
    connect(d->tv, &TreeView::MouseUp, d, [d](Qt::MouseButton button, Qt::KeyboardModifiers modifiers, double x,
                                               double y) { d->tv_MouseUp(button, modifiers, x, y); });
    connect(d->tv, &TreeView::NodeExpand, d, [d](QTreeWidgetItem* node) { d->tv_Expand(node); });
    connect(d->tv, &TreeView::NodeCollapse, d, [d](QTreeWidgetItem* node) { d->tv_Collapse(node); });
}

void FObjectList::Init(FProperties* Properties, winsys::controls::PopupMenu* ContextMenu) {
    d_->m_Properties = Properties;
    d_->m_ContextMenu = ContextMenu;
    d_->m_KeyType = NewCollection();
    // Groups show their state by an arrow at the left edge, and open and
    // close by a click there (tv_MouseUp), not by Qt's own arrow press.
    d_->tv->setRootIsDecorated(true);
    d_->tv->SetArrowToggles(false);
    d_->tv->setIndentation(16);
    d_->loadImages();
}

void FObjectList::Finalize() { d_->m_Properties = nullptr; }

win::LONG FObjectList::CurrentAddonSet() const { return d_->m_CurrentAddonSet; }

void FObjectList::RefreshTree(win::LONG AddonSet, bool SaveCursorPosition) {
    d_->RefreshTree(AddonSet, SaveCursorPosition);
}

void FObjectList::ShowDetails() { d_->ShowDetails(); }

void FObjectList::CurrentNodeInfo(bool& IsNodeSelected, bool& IsFolder, win::LONG& AddonType, std::string& ObjectID,
                                  ComPtr<halvenlib::_CParams>& AddonInfo) {
    d_->CurrentNodeInfo(IsNodeSelected, IsFolder, AddonType, ObjectID, AddonInfo);
}

win::LONG FObjectList::FirstNodeAddonType() {
    const QTreeWidgetItem* first = d_->tv->NodeAt(1);
    return first ? d_->AddonTypeByKey(TreeView::Key(first)) : 0;
}

} // namespace sorlix::ui
