#pragma once
// FProperties: the pane "Properties", a property grid whose one category
// "Details" shows the details list of the selected add-on.

#include <QWidget>

#include "common/interfaces/records.h"

namespace sorlix::ui {

class FProperties : public QWidget {
    Q_OBJECT
public:
    explicit FProperties(QWidget* parent = nullptr);
    void Init();
    // Replaces the rows by the entries of the list, in its order.
    void ShowDetails(halvenlib::_CParams* oDetails);

signals:
    void TabPressed();
    void ShiftTabPressed();

private:
    struct Impl;
    Impl* d_;
};

} // namespace sorlix::ui
