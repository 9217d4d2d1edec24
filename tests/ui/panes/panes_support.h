#pragma once
// Shared by the pane tests: the Qt application (offscreen), a test machine
// with both component libraries and the program-wide objects, a catalogue
// filled by the test, a recording context menu, and mouse clicks at exact
// positions (fractions of a pixel included) on a tree view.

#include <gtest/gtest.h>

#include <QApplication>
#include <QBuffer>
#include <QImage>
#include <QMouseEvent>
#include <QTest>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "app/core/mmain.h"
#include "app/ui/program_images.h"
#include "common/interfaces/records.h"
#include "common/interfaces/table.h"
#include "platform/com/class_registry.h"
#include "platform/com/variant.h"
#include "platform/controls/command_control.h"
#include "platform/controls/tree_view.h"
#include "tests/support/com_library.h"
#include "tests/support/pe_writer.h"
#include "tests/support/program_objects.h"
#include "tests/support/records.h"
#include "tests/support/test_prefix.h"
#include "tests/ui/application.h"

namespace panestest {

using winsys::com::ComPtr;
using Entries = std::vector<std::pair<std::string, std::string>>;

using uitest::ensureApplication;

// A CParams of the entries in order; an entry whose value is "<no value>"
// gets no value at all.
inline ComPtr<halvenlib::_CParams> params(const Entries& entries) {
    ComPtr<halvenlib::_CParams> p = testsupport::newParams();
    for (const auto& [name, value] : entries) {
        win::VARIANT n = winsys::com::makeText(name);
        win::VARIANT v = winsys::com::makeText(value);
        ComPtr<halvenlib::_CParam> param;
        EXPECT_EQ(p->Add(&n, value == "<no value>" ? nullptr : &v, param.put()), win::S_OK);
    }
    return p;
}

// A command that keeps what it is told.
class RecordingCommand : public winsys::controls::CommandControl {
public:
    RecordingCommand(int id, QString caption) : id_(id), caption_(std::move(caption)) {}
    int Id() const override { return id_; }
    QString Caption() const override { return caption_; }
    void SetCaption(const QString& caption) override { caption_ = caption; }
    bool Enabled() const override { return enabled_; }
    void SetEnabled(bool enabled) override { enabled_ = enabled; }

private:
    int id_;
    QString caption_;
    bool enabled_ = true;
};

// The add-on context menu with its five commands; counts its popups.
class RecordingMenu : public winsys::controls::PopupMenu {
public:
    RecordingMenu() {
        const std::map<int, const char*> initial{
            {7001, "&Delete"}, {7002, "&Properties"}, {7003, "search file"}, {7004, "search name"}, {7005, "copy"}};
        for (const auto& [id, caption] : initial) commands.emplace(id, RecordingCommand(id, caption));
    }
    winsys::controls::CommandControl* FindControl(int id) override {
        const auto it = commands.find(id);
        return it == commands.end() ? nullptr : &it->second;
    }
    void ShowPopup() override { ++shown; }
    void ShowPopupAt(const QPoint& globalPos) override {
        ++shown;
        shownAt = globalPos;
    }

    std::map<int, RecordingCommand> commands;
    int shown = 0;
    std::optional<QPoint> shownAt; // set by a popup at a given point
};

class Machine : public ::testing::Test {
protected:
    Machine() { ensureApplication(); }
    ~Machine() override { sorlix::ui::setProgramFile(""); }

    // A program file whose PNG resources are the given images (8 x 8 pixels).
    void writeProgramFile(const std::vector<int>& pngIds) {
        static constexpr const char* kProgramFile = "C:\\Program Files\\Vendrel Sorlix\\Sorlix.exe";
        QImage image(8, 8, QImage::Format_ARGB32);
        image.fill(Qt::darkGreen);
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
        testsupport::PeSpec spec;
        for (int id : pngIds)
            spec.extra.push_back({winsys::ResourceId::text("PNG"),
                                  winsys::ResourceId::number(static_cast<win::WORD>(id)), 0,
                                  std::vector<std::uint8_t>(bytes.begin(), bytes.end())});
        testsupport::writePe(prefix.host(kProgramFile), spec);
        sorlix::ui::setProgramFile(kProgramFile);
    }

    // Files an add-on of the type with the record's entries and the details
    // list; answers its new add-on id. Call sortAll() before reading listings.
    std::string fileAddon(win::LONG type, const Entries& record, const Entries& details = {}) {
        const std::set<std::string> before = ids(type);
        sorlix::DB->Add(type, params(record).get(), params(details).get());
        for (const std::string& id : ids(type))
            if (!before.count(id)) return id;
        ADD_FAILURE() << "nothing filed for type " << type;
        return {};
    }
    static void sortAll() {
        for (win::LONG t = sorlix::kFirstAddonType; t <= sorlix::kLastAddonType; ++t) sorlix::DB->Sort(t);
    }
    // (display name, add-on id) of the type's listing, in its order.
    static testsupport::ListingRows listing(win::LONG type) {
        return testsupport::listingRows(sorlix::DB->TypeObjects(type).get());
    }

    testsupport::TestPrefix prefix;
    testsupport::ComLibrary common{HALVENLIB_PATH}, product{QUARNCUST_PATH};
    testsupport::ProgramObjects program;

private:
    static std::set<std::string> ids(win::LONG type) {
        std::set<std::string> r;
        for (const auto& row : listing(type)) r.insert(row.second);
        return r;
    }
};

// Presses and releases `button` over the node, at `xTwips` from the tree's
// left edge when given (else over the node's middle).
inline void clickNode(winsys::controls::TreeView* tv, QTreeWidgetItem* node, Qt::MouseButton button,
                      Qt::KeyboardModifiers modifiers = Qt::NoModifier, std::optional<double> xTwips = {}) {
    tv->scrollToItem(node);
    const QRect rect = tv->visualItemRect(node);
    const QPointF at(xTwips ? *xTwips / tv->TwipsPerPixelX() : rect.center().x(), rect.center().y());
    const QPointF global = tv->viewport()->mapToGlobal(at);
    QMouseEvent press(QEvent::MouseButtonPress, at, global, button, button, modifiers);
    QApplication::sendEvent(tv->viewport(), &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, global, button, Qt::NoButton, modifiers);
    QApplication::sendEvent(tv->viewport(), &release);
}

// The texts of the tree's nodes, top to bottom, each level indented by "  ".
inline std::vector<std::string> outline(const winsys::controls::TreeView* tv) {
    std::vector<std::string> lines;
    for (int i = 1; i <= tv->NodeCount(); ++i) {
        const QTreeWidgetItem* node = tv->NodeAt(i);
        std::string indent;
        for (const QTreeWidgetItem* p = node->parent(); p; p = p->parent()) indent += "  ";
        lines.push_back(indent + node->text(0).toStdString());
    }
    return lines;
}

} // namespace panestest
