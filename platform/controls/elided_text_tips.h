#pragma once
// ElidedTextTips: the item delegate of the program's trees and lists. A
// text that does not fit its cell is drawn cut with "…", as Qt does; when
// the pointer rests on such a cell its whole text shows as a tooltip, and a
// text shown whole gets none (an item's own tooltip still wins).

#include <QStyledItemDelegate>

class QAbstractItemView;

namespace winsys::controls {

class ElidedTextTips : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    // Gives the view this delegate.
    static void Install(QAbstractItemView* view);

    // True when the index's text is cut where the view shows it.
    static bool IsCut(const QAbstractItemView* view, const QModelIndex& index);

    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;
};

} // namespace winsys::controls
