#pragma once
// PropertyGrid: read-only rows of label and value under captioned
// categories, the label beside its value and a line between them, over a
// two-column QTreeWidget whose label column fits the longest label.
// An item keeps its kind: a text item, or a multi-line text item whose
// value the caller has already put on one line.

#include <QTreeWidget>

namespace winsys::controls {

class PropertyGrid : public QTreeWidget {
    Q_OBJECT
public:
    enum ItemKind { kItemText = 0, kItemMultilineText = 11 };

    explicit PropertyGrid(QWidget* parent = nullptr);

    QTreeWidgetItem* AddCategory(const QString& caption);
    // The item goes last in the category.
    QTreeWidgetItem* AddItem(QTreeWidgetItem* category, ItemKind kind, const QString& title, const QString& value);
    void RemoveItems(QTreeWidgetItem* category);

    static ItemKind Kind(const QTreeWidgetItem* item);
    static QString Title(const QTreeWidgetItem* item) { return item->text(0); }
    static QString Value(const QTreeWidgetItem* item) { return item->text(1); }

protected:
    void drawRow(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

} // namespace winsys::controls
