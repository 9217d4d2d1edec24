#pragma once
// FSelectAddonSet: the pane "All Browser Objects", a fixed tree of the
// twelve add-on sets; a click on a node raises ShowTable with its set.

#include <QWidget>

#include "platform/core/wintypes.h"

namespace sorlix::ui {

class FSelectAddonSet : public QWidget {
    Q_OBJECT
public:
    explicit FSelectAddonSet(QWidget* parent = nullptr);
    // Focus to the tree and its root selected (which shows set 0).
    void InitFocus();
    // The pane's width that shows every set's caption whole.
    int ContentWidth() const;

signals:
    void ShowTable(win::LONG AddonSet);

private:
    struct Impl;
    Impl* d_;
};

} // namespace sorlix::ui
