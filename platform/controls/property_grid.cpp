#include "platform/controls/property_grid.h"

#include <QHeaderView>

#include "platform/controls/elided_text_tips.h"

namespace winsys::controls {

namespace {

constexpr int kKindRole = Qt::UserRole;

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
    // Long values (descriptions, permission lists) rarely fit the column.
    ElidedTextTips::Install(this);
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

PropertyGrid::ItemKind PropertyGrid::Kind(const QTreeWidgetItem* item) {
    return static_cast<ItemKind>(item->data(0, kKindRole).toInt());
}

} // namespace winsys::controls
