#pragma once
// What a view's tooltip shows for an index, asked as the pointer resting on
// it would ask: the whole text when the cell cuts it, nothing otherwise.

#include <QAbstractItemView>
#include <QApplication>
#include <QHelpEvent>
#include <QTest>
#include <QToolTip>

namespace uitest {

inline QString toolTipAt(QAbstractItemView* view, const QModelIndex& index) {
    QToolTip::hideText();
    (void)QTest::qWaitFor([] { return !QToolTip::isVisible(); }, 2000);
    const QPoint at = view->visualRect(index).center();
    QHelpEvent help(QEvent::ToolTip, at, view->viewport()->mapToGlobal(at));
    QApplication::sendEvent(view->viewport(), &help);
    return QToolTip::isVisible() ? QToolTip::text() : QString();
}

} // namespace uitest
