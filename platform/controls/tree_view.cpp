#include "platform/controls/tree_view.h"

#include "platform/controls/elided_text_tips.h"
#include "platform/controls/image_store.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPixmap>
#include <QStyle>
#include <algorithm>
#include <QTreeWidgetItemIterator>
#include <cmath>
#include <stdexcept>

namespace winsys::controls {

namespace {

constexpr int kKeyRole = Qt::UserRole;
constexpr int kImageRole = Qt::UserRole + 1;
constexpr double kTwipsPerInch = 1440.0;

} // namespace

TreeView::TreeView(QWidget* parent) : QTreeWidget(parent) {
    setColumnCount(1);
    header()->hide();
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    ElidedTextTips::Install(this);
    connect(this, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* node) {
        if (!changing_) emit NodeExpand(node);
    });
    connect(this, &QTreeWidget::itemCollapsed, this, [this](QTreeWidgetItem* node) {
        if (!changing_) emit NodeCollapse(node);
    });
}

bool TreeView::AddImage(int index, const QByteArray& png, const QByteArray& png2x) {
    QIcon icon = IconFromPng(png, png2x);
    if (icon.isNull()) return false;
    images_[index] = icon;
    return true;
}

QTreeWidgetItem* TreeView::AddNode(const QString& parentKey, const QString& key, const QString& text, int image) {
    if (byKey_.contains(key)) throw std::invalid_argument("Key is not unique in collection: " + key.toStdString());
    QTreeWidgetItem* parent = nullptr;
    if (!parentKey.isEmpty()) {
        parent = Node(parentKey);
        if (!parent) throw std::invalid_argument("No parent node with key " + parentKey.toStdString());
    }
    auto* node = new QTreeWidgetItem(QStringList{text});
    node->setData(0, kKeyRole, key);
    if (parent) parent->addChild(node);
    else addTopLevelItem(node);
    byKey_.insert(key, node);
    SetImage(node, image);
    return node;
}

void TreeView::ClearNodes() {
    pressed_ = nullptr;
    byKey_.clear();
    clear();
}

QTreeWidgetItem* TreeView::Node(const QString& key) const { return byKey_.value(key, nullptr); }

QTreeWidgetItem* TreeView::NodeAt(int position) const {
    if (position < 1) return nullptr;
    int at = 0;
    for (QTreeWidgetItemIterator it(const_cast<TreeView*>(this)); *it; ++it)
        if (++at == position) return *it;
    return nullptr;
}

int TreeView::PositionOf(const QTreeWidgetItem* node) const {
    if (!node) return 0;
    int at = 0;
    for (QTreeWidgetItemIterator it(const_cast<TreeView*>(this)); *it; ++it) {
        ++at;
        if (*it == node) return at;
    }
    return 0;
}

QString TreeView::Key(const QTreeWidgetItem* node) { return node ? node->data(0, kKeyRole).toString() : QString(); }

int TreeView::Image(const QTreeWidgetItem* node) { return node ? node->data(0, kImageRole).toInt() : 0; }

void TreeView::SetImage(QTreeWidgetItem* node, int image) {
    node->setData(0, kImageRole, image);
    const auto it = images_.find(image);
    node->setIcon(0, it == images_.end() ? QIcon() : it->second);
}

void TreeView::SetExpanded(QTreeWidgetItem* node, bool expanded) {
    changing_ = true;
    node->setExpanded(expanded);
    changing_ = false;
}

QTreeWidgetItem* TreeView::SelectedNode() const {
    const QList<QTreeWidgetItem*> selected = selectedItems();
    return selected.isEmpty() ? nullptr : selected.first();
}

void TreeView::SelectNode(QTreeWidgetItem* node) {
    if (!node) {
        clearSelection();
        setCurrentItem(nullptr);
        return;
    }
    setCurrentItem(node);
    node->setSelected(true);
}

QTreeWidgetItem* TreeView::HitTest(double x, double y) const {
    const QPoint pixel(static_cast<int>(std::floor(x / TwipsPerPixelX())),
                       static_cast<int>(std::floor(y / TwipsPerPixelY())));
    return itemAt(pixel);
}

double TreeView::TwipsPerPixelX() const { return kTwipsPerInch / logicalDpiX(); }

double TreeView::TwipsPerPixelY() const { return kTwipsPerInch / logicalDpiY(); }

void TreeView::mousePressEvent(QMouseEvent* event) {
    const QPointF at = event->position();
    pressed_ = itemAt(at.toPoint());
    emit MouseDown(event->button(), event->modifiers(), at.x() * TwipsPerPixelX(), at.y() * TwipsPerPixelY());
    if (!arrowToggles_ && onArrow(at.toPoint())) {
        event->accept();
        return;
    }
    QTreeWidget::mousePressEvent(event);
}

// The arrow lies in the indentation left of the node's icon.
bool TreeView::onArrow(const QPoint& pixel) const {
    const QModelIndex index = indexAt(pixel);
    if (!index.isValid()) return false;
    const QRect rect = visualRect(index);
    return pixel.x() < rect.left() && pixel.x() >= rect.left() - indentation();
}

void TreeView::mouseReleaseEvent(QMouseEvent* event) {
    const QPointF at = event->position();
    QTreeWidgetItem* released = itemAt(at.toPoint());
    const bool click = event->button() == Qt::LeftButton && released && released == pressed_;
    pressed_ = nullptr;
    QTreeWidget::mouseReleaseEvent(event);
    emit MouseUp(event->button(), event->modifiers(), at.x() * TwipsPerPixelX(), at.y() * TwipsPerPixelY());
    // The MouseUp handlers may have moved the selection elsewhere.
    if (click && SelectedNode() == released) emit NodeClick(released);
}

// A click selects its node whatever the keys held: Ctrl does not take a
// selection away here.
QItemSelectionModel::SelectionFlags TreeView::selectionCommand(const QModelIndex& index, const QEvent* event) const {
    if (index.isValid() && event &&
        (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonRelease))
        return QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows;
    return QTreeWidget::selectionCommand(index, event);
}

int TreeView::ContentWidth() const {
    int widest = 0;
    for (QTreeWidgetItemIterator it(const_cast<TreeView*>(this)); *it; ++it) {
        int depth = 0;
        for (const QTreeWidgetItem* p = (*it)->parent(); p; p = p->parent()) ++depth;
        const int text = QFontMetrics((*it)->font(0)).horizontalAdvance((*it)->text(0));
        widest = std::max(widest, depth * indentation() + iconSize().width() + text);
    }
    // Room for the item's margins and the space between icon and text.
    const int margins = 4 * style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 8;
    return widest + margins + (rootIsDecorated() ? indentation() : 0) + 2 * frameWidth() +
           style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
}

QPoint TreeView::ContextMenuPosition() const {
    const QTreeWidgetItem* node = SelectedNode();
    const QRect rect = node ? visualItemRect(node) : QRect();
    const QPoint at = rect.isValid() ? QPoint(rect.left() + indentation(), rect.bottom()) : QPoint(0, 0);
    return viewport()->mapToGlobal(at);
}

// Moving the selection with the keys counts as a click on the new node.
void TreeView::keyPressEvent(QKeyEvent* event) {
    const Qt::KeyboardModifiers held = event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    if ((event->key() == Qt::Key_Menu && held == Qt::NoModifier) ||
        (event->key() == Qt::Key_F10 && held == Qt::ShiftModifier)) {
        event->accept();
        emit ContextMenuKey();
        return;
    }
    QTreeWidgetItem* before = SelectedNode();
    QTreeWidget::keyPressEvent(event);
    QTreeWidgetItem* after = SelectedNode();
    if (after && after != before) emit NodeClick(after);
}

} // namespace winsys::controls
