#include "platform/controls/property_grid.h"

#include <QHeaderView>
#include <QPainter>

#include "platform/controls/elided_text_tips.h"

namespace winsys::controls {

namespace {

constexpr int kKindRole = Qt::UserRole;
// Room between the longest label and the divider, and after the divider.
constexpr int kLabelGap = 12;

// A label's cell is as wide as its text and a gap, so that the widest
// label keeps clear of its value once the column fits the labels.
class LabelGapDelegate : public ElidedTextTips {
public:
    using ElidedTextTips::ElidedTextTips;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = ElidedTextTips::sizeHint(option, index);
        if (index.column() == 0 && index.parent().isValid()) size.rwidth() += kLabelGap;
        return size;
    }
};

} // namespace

PropertyGrid::PropertyGrid(QWidget* parent) : QTreeWidget(parent) {
    setColumnCount(2);
    // Hidden, but what a screen reader says of the columns.
    setHeaderLabels({QStringLiteral("Property"), QStringLiteral("Value")});
    header()->hide();
    header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    header()->setStretchLastSection(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setAlternatingRowColors(true);
    // Long values (descriptions, permission lists) rarely fit the column:
    // they show whole in tooltips.
    setItemDelegate(new LabelGapDelegate(this));
    setTextElideMode(Qt::ElideRight);
}

QTreeWidgetItem* PropertyGrid::AddCategory(const QString& caption) {
    auto* category = new QTreeWidgetItem(QStringList{caption});
    QFont bold = category->font(0);
    bold.setBold(true);
    category->setFont(0, bold);
    addTopLevelItem(category);
    category->setFirstColumnSpanned(true);
    return category;
}

QTreeWidgetItem* PropertyGrid::AddItem(QTreeWidgetItem* category, ItemKind kind, const QString& title,
                                       const QString& value) {
    auto* item = new QTreeWidgetItem(QStringList{title, value});
    item->setData(0, kKindRole, static_cast<int>(kind));
    category->addChild(item);
    return item;
}

void PropertyGrid::RemoveItems(QTreeWidgetItem* category) { qDeleteAll(category->takeChildren()); }

// A line between label and value on every item row, as property grids draw.
void PropertyGrid::drawRow(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    QTreeWidget::drawRow(painter, option, index);
    if (!index.parent().isValid()) return; // a category spans both columns
    const int x = columnViewportPosition(1) - 1;
    painter->save();
    painter->setPen(palette().color(QPalette::Mid));
    painter->drawLine(x, option.rect.top(), x, option.rect.bottom());
    painter->restore();
}

PropertyGrid::ItemKind PropertyGrid::Kind(const QTreeWidgetItem* item) {
    return static_cast<ItemKind>(item->data(0, kKindRole).toInt());
}

} // namespace winsys::controls
