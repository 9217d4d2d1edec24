#pragma once
// Shared by the main-window tests: the Qt application (offscreen), a test
// machine with both component libraries and the program-wide objects, the
// built program file with the program's images, add-on records filed
// straight into the catalogue, and a guard that closes modal windows.

#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "app/core/mmain.h"
#include "app/ui/program_images.h"
#include "common/interfaces/records.h"
#include "platform/com/class_registry.h"
#include "platform/com/variant.h"
#include "platform/controls/task_dialog.h"
#include "platform/files/paths.h"
#include "tests/support/com_library.h"
#include "tests/support/program_objects.h"
#include "tests/support/records.h"
#include "tests/support/test_prefix.h"
#include "tests/ui/application.h"

namespace shelltest {

using winsys::com::ComPtr;
using Entries = std::vector<std::pair<std::string, win::VARIANT>>;

using uitest::ensureApplication;

// The program file that the build made, as the program sees it (drive Z:).
inline std::string builtProgramFile() { return winsys::toWindowsPath(SORLIX_PROGRAM_FILE); }

inline win::VARIANT text(const char* s) { return winsys::com::makeText(s); }

inline ComPtr<halvenlib::_CParams> params(const Entries& entries) {
    ComPtr<halvenlib::_CParams> p = testsupport::newParams();
    for (const auto& [name, value] : entries) testsupport::addParam(p.get(), name, value);
    return p;
}

// Rejects every modal window that opens while it lives (about box,
// restore window, properties sheet) and counts them by class name.
class ModalCloser {
public:
    ModalCloser() {
        timer_.setInterval(20);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                closed.push_back(modal->metaObject()->className());
                modal->close();
            }
        });
        timer_.start();
    }
    std::vector<std::string> closed;

private:
    QTimer timer_;
};

// Answers every task dialog with OK and keeps its settings.
class AnsweredDialogs {
public:
    AnsweredDialogs() {
        winsys::controls::TaskDialog::setTestResponder([this](const winsys::controls::TaskDialogSettings& s) {
            shown.push_back(s);
            return winsys::controls::TaskDialog::kOk;
        });
    }
    ~AnsweredDialogs() { winsys::controls::TaskDialog::setTestResponder(nullptr); }
    std::vector<winsys::controls::TaskDialogSettings> shown;
};

class Machine : public ::testing::Test {
protected:
    Machine() {
        ensureApplication();
        sorlix::ui::setProgramFile(builtProgramFile());
    }
    ~Machine() override { sorlix::ui::setProgramFile(""); }

    // Files an add-on of the type straight into the catalogue.
    void fileAddon(win::LONG type, const Entries& record) {
        sorlix::DB->Add(type, params(record).get(), params({}).get());
        sorlix::DB->Sort(type);
    }

    testsupport::TestPrefix prefix;
    testsupport::ComLibrary common{HALVENLIB_PATH}, product{QUARNCUST_PATH};
    testsupport::ProgramObjects program;
};

} // namespace shelltest
