#pragma once
// Shared by the window tests: the Qt application (offscreen), a test machine
// with both component libraries and the program-wide objects, the built
// program file with the images the windows load, dialogs answered by the test,
// removal records and backups made through the backup engine, and registry
// reads.

#include <gtest/gtest.h>

#include <QApplication>
#include <QBuffer>
#include <QImage>
#include <string>
#include <vector>

#include "app/core/caxbackuper.h"
#include "app/core/mmain.h"
#include "app/ui/program_images.h"
#include "common/interfaces/registry.h"
#include "components/interfaces/quarncust.h"
#include "platform/com/class_registry.h"
#include "platform/controls/task_dialog.h"
#include "platform/files/paths.h"
#include "tests/support/com_library.h"
#include "tests/support/program_objects.h"
#include "tests/support/test_prefix.h"
#include "tests/ui/application.h"

namespace uitest {

inline std::vector<std::uint8_t> png(QColor colour) {
    QImage image(8, 8, QImage::Format_ARGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return {bytes.begin(), bytes.end()};
}

class Machine : public ::testing::Test {
protected:
    Machine() {
        ensureApplication();
        // The built program file, with the program's own images.
        sorlix::ui::setProgramFile(winsys::toWindowsPath(SORLIX_PROGRAM_FILE));
        winsys::controls::TaskDialog::setTestResponder([this](const winsys::controls::TaskDialogSettings& s) {
            dialogs.push_back(s);
            return answer;
        });
    }
    ~Machine() override {
        winsys::controls::TaskDialog::setTestResponder(nullptr);
        sorlix::ui::setProgramFile("");
    }

    // The texts of the dialogs shown so far.
    std::vector<std::string> shownTexts() const {
        std::vector<std::string> texts;
        for (const auto& d : dialogs) texts.push_back(d.content.toStdString());
        return texts;
    }

    // A removal record of registry subkeys of the current user.
    static winsys::com::ComPtr<quarncust::_CLittleConfig> subkeys(const std::vector<std::string>& keys) {
        winsys::com::ComPtr<quarncust::_CLittleConfig> cfg;
        EXPECT_EQ(winsys::com::createInstance(quarncust::CLSID_CLittleConfig, &cfg), win::S_OK);
        for (const std::string& key : keys)
            EXPECT_EQ(cfg->AddRegistrySubkey(halvenlib::HKEY_CURRENT_USER, key), win::S_OK);
        return cfg;
    }

    // A backup of the type's, as a delete makes it.
    static void backup(win::LONG addonType, const std::string& name, const std::string& description,
                       quarncust::_CLittleConfig* cfg) {
        sorlix::CAxBackuper engine;
        std::string cause;
        ASSERT_TRUE(engine.Init(sorlix::DataFolder, sorlix::kProductRegistryKey,
                                sorlix::AddonTypeVisor->BackupObjectName(addonType), cause))
            << cause;
        ASSERT_TRUE(engine.Backup(name, description, cfg, cause)) << cause;
    }

    static bool keyExists(const std::string& subKey) {
        win::VARIANT_BOOL exists = win::VARIANT_FALSE;
        EXPECT_EQ(sorlix::Registry->IsKeyExist(halvenlib::HKEY_CURRENT_USER, subKey, &exists), win::S_OK);
        return exists != win::VARIANT_FALSE;
    }

    // The value's text, or "<none>" when it cannot be read.
    static std::string valueOf(const std::string& subKey, const std::string& valueName) {
        win::LONG root = halvenlib::HKEY_CURRENT_USER;
        std::string key = subKey, name = valueName, value;
        win::VARIANT_BOOL ok = win::VARIANT_FALSE;
        EXPECT_EQ(sorlix::Registry->QuerySTRING(&root, &key, &name, &value, &ok), win::S_OK);
        return ok != win::VARIANT_FALSE ? value : "<none>";
    }

    testsupport::TestPrefix prefix;
    testsupport::ComLibrary common{HALVENLIB_PATH}, product{QUARNCUST_PATH};
    testsupport::ProgramObjects program;
    std::vector<winsys::controls::TaskDialogSettings> dialogs;
    int answer = winsys::controls::TaskDialog::kOk;
};

} // namespace uitest
