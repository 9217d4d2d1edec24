// ui_shell_screenshot: opens the main window on a small test machine with
// a few Internet Explorer add-ons, selects one and writes the window to a
// PNG file.
//
//   ui_shell_screenshot <file.png>

#include <QApplication>
#include <QCursor>
#include <QPixmap>
#include <QTimer>
#include <cstdio>

#include "app/ui/fmain.h"
#include "app/ui/fobjectlist.h"
#include "platform/controls/tree_view.h"
#include "tests/ui/shell/shell_support.h"

namespace {

using shelltest::text;

void fileAddon(win::LONG type, const shelltest::Entries& record, const shelltest::Entries& details) {
    sorlix::DB->Add(type, shelltest::params(record).get(), shelltest::params(details).get());
    sorlix::DB->Sort(type);
}

void fillCatalogue() {
    const struct {
        win::LONG type;
        const char* name;
        const char* file;
        const char* maker;
    } addons[] = {
        {1, "Quickfind Toolbar", "C:\\Program Files (x86)\\Quickfind\\qftoolbar.dll", "Quickfind Ltd."},
        {1, "Weather Bar", "C:\\Program Files (x86)\\Weather Bar\\wbar.dll", "Skyline Software"},
        {2, "Shopping Helper", "C:\\Program Files (x86)\\ShopHelp\\shophelp.dll", "ShopHelp Inc."},
        {2, "Password Keeper", "C:\\Program Files (x86)\\Keeper\\pkbho.dll", "Keeper Labs"},
        {3, "Research", "C:\\Windows\\SysWOW64\\research.dll", "Vendrel Software"},
        {4, "Bookmarks Panel", "C:\\Program Files (x86)\\Marks\\marks.dll", "Marks Co."},
        {5, "Translate Selection", "C:\\Program Files (x86)\\Translate\\tr.dll", "Lingua Tools"},
    };
    for (const auto& a : addons) {
        fileAddon(a.type, {{"originalName", text(a.name)}, {"websearchName", text(a.name)}, {"dLL", text(a.file)}},
                  {{"Name", text(a.name)},
                   {"File", text(a.file)},
                   {"Manufacturer", text(a.maker)},
                   {"Version", text("2.4.1.0")},
                   {"Description", text("Adds its own buttons to the browser window.")}});
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: ui_shell_screenshot <file.png>\n");
        return 2;
    }
    shelltest::ensureApplication();
    testsupport::TestPrefix prefix;
    testsupport::ComLibrary common{HALVENLIB_PATH}, product{QUARNCUST_PATH};
    int code = 1;
    {
        testsupport::ProgramObjects program;
        sorlix::ui::setProgramFile(shelltest::builtProgramFile());
        fillCatalogue();
        sorlix::ui::FMain form;
        form.Load();
        form.resize(1000, 640);
        form.show();
        if (auto* tv = form.objectList()->findChild<winsys::controls::TreeView*>()) {
            if (tv->NodeCount() >= 3) {
                tv->SelectNode(tv->NodeAt(3));
                tv->NodeClick(tv->NodeAt(3));
            }
        }
        // The pointer away from the ribbon, so that no button shows hovered.
        QCursor::setPos(form.mapToGlobal(QPoint(form.width() - 20, form.height() - 20)));
        for (int i = 0; i < 20; ++i) QApplication::processEvents();
        code = form.grab().save(QString::fromLocal8Bit(argv[1]), "PNG") ? 0 : 1;
    }
    return code;
}
