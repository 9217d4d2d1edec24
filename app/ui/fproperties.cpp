#include "app/ui/fproperties.h"

#include <QEvent>
#include <QKeyEvent>
#include <QVBoxLayout>
#include <exception>
#include <stdexcept>

#include "app/core/comcalls.h"
#include "platform/com/com_ptr.h"
#include "platform/com/variant.h"
#include "platform/controls/property_grid.h"

namespace sorlix::ui {

using winsys::com::call;
using winsys::com::ComPtr;
using winsys::controls::PropertyGrid;

// A child of the form, so it goes with it.
struct FProperties::Impl : QObject {
    FProperties* form = nullptr;
    PropertyGrid* PropertyGrid1 = nullptr;
    QTreeWidgetItem* m_Category = nullptr;

    // Tab reaches the grid (or the pane) before focus moves on.
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() == Qt::Key_Backtab || (key->key() == Qt::Key_Tab && (key->modifiers() & Qt::ShiftModifier)))
                emit form->ShiftTabPressed();
            else if (key->key() == Qt::Key_Tab)
                emit form->TabPressed();
        }
        return QObject::eventFilter(watched, event);
    }

    void InitGrid() {
        PropertyGrid1->setIndentation(8);
        m_Category = PropertyGrid1->AddCategory(QStringLiteral("Details"));
        m_Category->setExpanded(true);
    }
};

FProperties::FProperties(QWidget* parent) : QWidget(parent), d_(new Impl) {
    d_->setParent(this);
    d_->form = this;
    d_->PropertyGrid1 = new PropertyGrid(this);
    d_->PropertyGrid1->setObjectName(QStringLiteral("PropertyGrid1"));
    d_->PropertyGrid1->setAccessibleName(QStringLiteral("Properties"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(d_->PropertyGrid1);
    // Focus given to the pane goes to the grid.
    setFocusProxy(d_->PropertyGrid1);
    d_->PropertyGrid1->installEventFilter(d_);
    installEventFilter(d_);
}

void FProperties::Init() { d_->InitGrid(); }

void FProperties::ShowDetails(halvenlib::_CParams* oDetails) {
    try {
        if (!d_->m_Category) throw std::logic_error("the grid is not set up (Init)");
        d_->PropertyGrid1->RemoveItems(d_->m_Category);
        if (!oDetails) return;
        win::LONG count = 0;
        call([&] { return oDetails->get_Count(&count); });
        for (win::LONG i = 1; i <= count; ++i) {
            win::VARIANT index = winsys::com::makeLong(i);
            ComPtr<halvenlib::_CParam> entry;
            call([&] { return oDetails->get_Item(&index, entry.put()); });
            std::string name, value;
            win::VARIANT first;
            call([&] { return entry->get_Name(&name); });
            call([&] { return entry->get_Value(&first); });
            value = VariantText(first);
            QString shown = QString::fromStdString(value);
            const bool multiline = shown.contains(QLatin1Char('\n'));
            if (multiline) shown.replace(QLatin1Char('\n'), QLatin1Char(' '));
            d_->PropertyGrid1->AddItem(d_->m_Category,
                                       multiline ? PropertyGrid::kItemMultilineText : PropertyGrid::kItemText,
                                       QString::fromStdString(name), shown);
        }
    } catch (const std::exception& e) {
        LogError(e, "FProperties.ShowDetails");
    }
}

} // namespace sorlix::ui
