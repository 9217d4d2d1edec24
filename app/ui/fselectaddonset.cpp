#include "app/ui/fselectaddonset.h"

#include <QVBoxLayout>
#include <array>
#include <exception>

#include "app/core/cresource.h"
#include "app/ui/program_images.h"
#include "platform/controls/tree_view.h"

namespace sorlix::ui {

namespace {

struct SetNode {
    win::LONG set;
    const char* caption;
    int image;
    win::LONG parent; // -1: the root
    bool expanded;
};

// The tree of browsers and bitness, parents before their children.
constexpr std::array<SetNode, 12> kSetNodes{{
    {0, "Show All Add-ons", 1, -1, true},
    {1, "Internet Explorer", 2, 0, true},
    {2, "Internet Explorer (32-bit)", 2, 1, false},
    {3, "Internet Explorer (64-bit)", 2, 1, false},
    {4, "Firefox", 3, 0, true},
    {5, "Firefox (32-bit)", 3, 4, false},
    {6, "Firefox (64-bit) Waterfox", 7, 4, false},
    {7, "Chrome", 4, 0, false},
    {8, "Safari", 5, 0, false},
    {9, "Opera", 6, 0, true},
    {10, "Opera (32-bit)", 6, 9, false},
    {11, "Opera (64-bit)", 6, 9, false},
}};

// PNG 1301 to 1307 are tree images 1 to 7.
constexpr int kFirstImageResource = 1301;
constexpr int kImageCount = 7;

// The tree's position inside the pane, 240 and 210 twips at 96 dpi.
constexpr int kTreeLeft = 16;
constexpr int kTreeTop = 14;

QString nodeKey(win::LONG set) { return QStringLiteral("_") + QString::number(set); }

} // namespace

// A child of the form, so it goes with it.
struct FSelectAddonSet::Impl : QObject {
    winsys::controls::TreeView* tv = nullptr;

    void InitTree() {
        try {
            CResource module;
            OpenProgramResources(module);
            for (int i = 0; i < kImageCount; ++i)
                tv->AddImage(i + 1, LoadPngResource(module, kFirstImageResource + i),
                             LoadPngResource2x(module, kFirstImageResource + i));
        } catch (const std::exception&) {
            // The tree works without its images.
        }
        tv->setIndentation(16);
        for (const SetNode& n : kSetNodes)
            tv->AddNode(n.parent < 0 ? QString() : nodeKey(n.parent), nodeKey(n.set), QString::fromUtf8(n.caption),
                        n.image);
        for (const SetNode& n : kSetNodes)
            if (n.expanded) tv->SetExpanded(tv->Node(nodeKey(n.set)), true);
        tv->SelectNode(tv->Node(nodeKey(0)));
    }
};

FSelectAddonSet::FSelectAddonSet(QWidget* parent) : QWidget(parent), d_(new Impl) {
    d_->setParent(this);
    d_->tv = new winsys::controls::TreeView(this);
    d_->tv->setObjectName(QStringLiteral("tv"));
    // What a screen reader says of the tree and its (hidden) header.
    d_->tv->setHeaderLabel(QStringLiteral("All Browser Objects"));
    d_->tv->setAccessibleName(QStringLiteral("All Browser Objects"));
    auto* layout = new QVBoxLayout(this);
    // The tree stays inside the pane, so its scroll bars remain visible.
    layout->setContentsMargins(kTreeLeft, kTreeTop, 0, 0);
    layout->addWidget(d_->tv);
    // The pane gets the focus as a whole (a pane's selection, the window's
    // activation); the keys belong to the tree.
    setFocusProxy(d_->tv);
    connect(d_->tv, &winsys::controls::TreeView::NodeClick, this, [this](QTreeWidgetItem* node) {
        bool ok = false;
        const win::LONG set = winsys::controls::TreeView::Key(node).mid(1).toInt(&ok);
        if (ok) emit ShowTable(set);
    });
    d_->InitTree();
}

void FSelectAddonSet::InitFocus() {
    d_->tv->setFocus();
    QTreeWidgetItem* root = d_->tv->NodeAt(1);
    d_->tv->SelectNode(root);
    // Selecting by code raises no click, yet the add-on tree is to show the
    // root's set from the start.
    emit ShowTable(0);
}

int FSelectAddonSet::ContentWidth() const {
    return kTreeLeft + d_->tv->ContentWidth();
}

} // namespace sorlix::ui
