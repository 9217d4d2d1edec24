#include "platform/controls/elided_text_tips.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QHelpEvent>
#include <QStyle>
#include <QToolTip>

namespace winsys::controls {

void ElidedTextTips::Install(QAbstractItemView* view) {
    view->setItemDelegate(new ElidedTextTips(view));
    view->setTextElideMode(Qt::ElideRight);
}

bool ElidedTextTips::IsCut(const QAbstractItemView* view, const QModelIndex& index) {
    const auto* self = qobject_cast<const ElidedTextTips*>(view->itemDelegateForIndex(index));
    if (!self) return false;
    QStyleOptionViewItem option;
    option.initFrom(view->viewport());
    option.rect = view->visualRect(index);
    option.features |= QStyleOptionViewItem::HasDisplay;
    self->initStyleOption(&option, index);
    if (option.text.isEmpty()) return false;
    const QWidget* widget = view->viewport();
    QStyle* style = widget->style();
    QRect textRect = style->subElementRect(QStyle::SE_ItemViewItemText, &option, widget);
    // A cell that runs on past the view's edge is cut there.
    textRect = textRect.intersected(widget->rect());
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
    return option.fontMetrics.horizontalAdvance(option.text) > textRect.width() - 2 * margin;
}

bool ElidedTextTips::helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                               const QModelIndex& index) {
    if (event->type() != QEvent::ToolTip || !index.isValid() || index.data(Qt::ToolTipRole).isValid())
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    if (IsCut(view, index))
        QToolTip::showText(event->globalPos(), index.data(Qt::DisplayRole).toString(), view->viewport(),
                           view->visualRect(index));
    else
        QToolTip::hideText();
    return true;
}

} // namespace winsys::controls
