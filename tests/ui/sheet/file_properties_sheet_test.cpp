// The file-properties sheet: the General page's type, location, size and
// dates in the user's regional format and local time; the Details page's
// version fields under Windows' labels, only those the file has; folders,
// files without a version resource and missing paths.

#include "app/ui/file_properties_sheet.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QTabWidget>
#include <QToolTip>
#include <QTreeWidget>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <utility>
#include <vector>

#include "app/ui/program_images.h"
#include "platform/controls/elided_text_tips.h"
#include "platform/files/paths.h"
#include "tests/support/pe_writer.h"
#include "tests/support/test_prefix.h"
#include "tests/ui/application.h"
#include "tests/ui/tooltip_at.h"

namespace {

using sorlix::ui::FilePropertiesSheet;
using Rows = std::vector<std::pair<std::string, std::string>>;

// Saturday 7 March 2026, 16:05:09 UTC, and a day later.
constexpr std::time_t kModified = 1772899509;
constexpr std::time_t kAccessed = kModified + 86400;

class Sheet : public ::testing::Test {
protected:
    Sheet() {
        uitest::ensureApplication();
        // Local time is UTC here, so that the dates are known.
        const char* tz = std::getenv("TZ");
        if (tz) savedTz_ = tz;
        hadTz_ = tz != nullptr;
        setenv("TZ", "UTC", 1);
        tzset();
        sorlix::ui::setProgramFile(winsys::toWindowsPath(SORLIX_PROGRAM_FILE));
    }
    ~Sheet() override {
        sorlix::ui::setProgramFile("");
        if (hadTz_)
            setenv("TZ", savedTz_.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

    void stamp(const char* windowsPath) const {
        const timespec times[2] = {{kAccessed, 0}, {kModified, 0}};
        ASSERT_EQ(utimensat(AT_FDCWD, prefix.host(windowsPath).c_str(), times, 0), 0);
    }

    static Rows details(const FilePropertiesSheet& sheet) {
        Rows rows;
        QTreeWidget* list = sheet.detailsList();
        if (!list) return rows;
        for (int g = 0; g < list->topLevelItemCount(); ++g) {
            QTreeWidgetItem* group = list->topLevelItem(g);
            for (int i = 0; i < group->childCount(); ++i)
                rows.emplace_back(group->child(i)->text(0).toStdString(), group->child(i)->text(1).toStdString());
        }
        return rows;
    }

    static std::vector<std::string> pageNames(const FilePropertiesSheet& sheet) {
        std::vector<std::string> names;
        for (int i = 0; i < sheet.pages()->count(); ++i) names.push_back(sheet.pages()->tabText(i).toStdString());
        return names;
    }

    testsupport::TestPrefix prefix;

private:
    std::string savedTz_;
    bool hadTz_ = false;
};

TEST_F(Sheet, SizesAsWindowsWritesThem) {
    const winsys::RegionalFormats us;
    winsys::RegionalFormats german;
    german.decimal = ",";
    german.thousand = ".";
    const struct {
        unsigned long long bytes;
        const winsys::RegionalFormats& formats;
        const char* text;
    } cases[] = {
        {0, us, "0 bytes (0 bytes)"},
        {1023, us, "1023 bytes (1,023 bytes)"},
        {1024, us, "1.00 KB (1,024 bytes)"},
        {2623, us, "2.56 KB (2,623 bytes)"}, // 2.5615: cut, not rounded
        {10239, us, "9.99 KB (10,239 bytes)"},
        {10240, us, "10.0 KB (10,240 bytes)"},
        {102400, us, "100 KB (102,400 bytes)"},
        {1023999, us, "999 KB (1,023,999 bytes)"},
        {1024000, us, "0.97 MB (1,024,000 bytes)"},
        {1228800, german, "1,17 MB (1.228.800 bytes)"},
        {5ull << 30, us, "5.00 GB (5,368,709,120 bytes)"},
        {18446744073709551615ull, us, "15.9 EB (18,446,744,073,709,551,615 bytes)"},
    };
    for (const auto& c : cases) EXPECT_EQ(sorlix::ui::SizeText(c.bytes, c.formats).toStdString(), c.text) << c.bytes;
}

TEST_F(Sheet, GeneralPageInTheUsersRegionalFormat) {
    prefix.importReg(R"(Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\Control Panel\International]
"sLongDate"="d. MMMM yyyy"
"sTimeFormat"="HH:mm:ss"
"sThousand"="."
"sDecimal"=","
)");
    prefix.writeFile("C:\\Program Files\\Acme\\notes.txt", std::string(3000, 'x'));
    stamp("C:\\Program Files\\Acme\\notes.txt");
    auto sheet = FilePropertiesSheet::Create("C:\\Program Files\\Acme\\notes.txt", nullptr);
    ASSERT_TRUE(sheet);
    EXPECT_EQ(sheet->windowTitle(), "notes.txt Properties");
    const Rows expected = {
        {"Type of file:", "Text Document (.txt)"},
        {"Location:", "C:\\Program Files\\Acme"},
        {"Size:", "2,92 KB (3.000 bytes)"},
        {"Modified:", "7. March 2026, 16:05:09"},
        {"Accessed:", "8. March 2026, 16:05:09"},
    };
    for (const auto& [label, value] : expected)
        EXPECT_EQ(sheet->generalValue(QString::fromStdString(label)).toStdString(), value) << label;
    EXPECT_FALSE(sheet->generalValue("Created:").isEmpty());
    // Nothing to show on a Details page: there is none.
    EXPECT_EQ(pageNames(*sheet), std::vector<std::string>{"General"});
}

TEST_F(Sheet, DetailsUnderWindowsLabelsOnlyThoseTheFileHas) {
    testsupport::PeVersion full;
    full.fileVersionMS = 0x00020001, full.fileVersionLS = 0x00030004, full.productVersionMS = 0x00020001;
    full.tables = {{0x0409, 1200,
                    {{"CompanyName", "Acme Corp"},
                     {"FileDescription", "Acme Toolbar"},
                     {"FileVersion", "2.1.3.4 (release)"},
                     {"InternalName", "acmetb"},
                     {"LegalCopyright", "Copyright (C) 2026 Acme"},
                     {"OriginalFilename", "acmetb.dll"},
                     {"ProductName", "Acme Search"},
                     {"ProductVersion", "2.1"}}}};
    testsupport::PeVersion thin;
    thin.fileVersionMS = 0x00010000, thin.productVersionMS = 0x00010000, thin.productVersionLS = 0x00000007;
    thin.tables = {{0x0409, 1200, {{"FileDescription", "  Helper  "}, {"Comments", "x"}}}};
    testsupport::PeVersion twice = thin;
    twice.tables.push_back({0x0409, 1200, {{"FileDescription", "Second table"}}});
    const struct {
        const char* label;
        testsupport::PeVersion version;
        Rows rows;
    } cases[] = {
        {"every field",
         full,
         {{"File description", "Acme Toolbar"},
          {"File version", "2.1.3.4"},
          {"Product name", "Acme Search"},
          {"Product version", "2.1"},
          {"Copyright", "Copyright (C) 2026 Acme"},
          {"Original filename", "acmetb.dll"}}},
        // Empty fields are left out; a missing product version text comes
        // from the fixed version, as the shell shows it.
        {"a description alone", thin, {{"File description", "Helper"}, {"File version", "1.0.0.0"},
                                       {"Product version", "1.0.0.7"}}},
        // Two tables of the first translation: the first one is read, as
        // the shell reads it.
        {"two tables of one translation", twice, {{"File description", "Helper"}, {"File version", "1.0.0.0"},
                                                  {"Product version", "1.0.0.7"}}},
    };
    for (const auto& c : cases) {
        testsupport::PeSpec spec;
        spec.version = c.version;
        testsupport::writePe(prefix.host("C:\\Acme\\acmetb.dll"), spec);
        auto sheet = FilePropertiesSheet::Create("C:\\Acme\\acmetb.dll", nullptr);
        ASSERT_TRUE(sheet) << c.label;
        EXPECT_EQ(pageNames(*sheet), (std::vector<std::string>{"General", "Details"})) << c.label;
        EXPECT_EQ(details(*sheet), c.rows) << c.label;
        EXPECT_EQ(sheet->generalValue("Type of file:"), "Application extension (.dll)") << c.label;
    }
}

TEST_F(Sheet, TypeNameFromTheMachinesClasses) {
    prefix.importReg(R"(Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\Software\Classes\.xpi]
@="xpifile"

[HKEY_LOCAL_MACHINE\Software\Classes\xpifile]
@="Browser Extension"
)");
    const struct {
        const char* path;
        const char* type;
    } cases[] = {
        {"C:\\x\\addon.xpi", "Browser Extension (.xpi)"},
        {"C:\\x\\Setup.EXE", "Application (.exe)"},
        {"C:\\x\\data.crx", "CRX File (.crx)"},
        {"C:\\x\\README", "File"},
        // Cases fold past ASCII too, whatever the process's locale.
        {"C:\\x\\Notes.\u00c9T\u00c9", "\u00c9T\u00c9 File (.\u00e9t\u00e9)"},
    };
    for (const auto& c : cases) {
        prefix.writeFile(c.path, "data");
        auto sheet = FilePropertiesSheet::Create(c.path, nullptr);
        ASSERT_TRUE(sheet) << c.path;
        EXPECT_EQ(sheet->generalValue("Type of file:").toStdString(), c.type) << c.path;
    }
}

TEST_F(Sheet, FoldersAndMissingPaths) {
    prefix.makeDir("C:\\Acme\\Plugins");
    for (const char* path : {"C:\\Acme\\Plugins", "C:\\Acme\\Plugins\\"}) {
        auto sheet = FilePropertiesSheet::Create(path, nullptr);
        ASSERT_TRUE(sheet) << path;
        EXPECT_EQ(sheet->windowTitle(), "Plugins Properties") << path;
        EXPECT_EQ(sheet->generalValue("Type:"), "File folder") << path;
        EXPECT_EQ(sheet->generalValue("Location:"), "C:\\Acme") << path;
        EXPECT_TRUE(sheet->generalValue("Size:").isEmpty()) << path;
        EXPECT_EQ(pageNames(*sheet), std::vector<std::string>{"General"}) << path;
    }
    prefix.makeDir("C:\\Top");
    EXPECT_EQ(FilePropertiesSheet::Create("C:\\Top", nullptr)->generalValue("Location:"), "C:\\");
    EXPECT_FALSE(FilePropertiesSheet::Create("C:\\Acme\\missing.dll", nullptr));
}

// A version value longer than the narrow sheet widens it to show whole; one
// longer still leaves the sheet at its bound and shows whole in a tooltip.
TEST_F(Sheet, LongDetailsWidenTheSheetWithinABound) {
    const std::string copyright = "Copyright (C) 2011-2013 Bluebird Labs. All rights reserved.";
    const std::string endless(400, 'c');
    int boundWidth = 0;
    for (const std::string& value : {copyright, endless}) {
        SCOPED_TRACE(value.size());
        testsupport::PeVersion version;
        version.fileVersionMS = 0x00010000;
        version.tables = {{0x0409, 1200, {{"LegalCopyright", value}, {"FileDescription", "Tool"}}}};
        testsupport::PeSpec spec;
        spec.version = version;
        testsupport::writePe(prefix.host("C:\\Acme\\tool.dll"), spec);
        auto sheet = FilePropertiesSheet::Create("C:\\Acme\\tool.dll", nullptr);
        ASSERT_TRUE(sheet);
        sheet->pages()->setCurrentIndex(1);
        sheet->show();
        QApplication::processEvents();
        QTreeWidget* list = sheet->detailsList();
        const auto rows = list->findItems(QString::fromStdString(value), Qt::MatchExactly | Qt::MatchRecursive, 1);
        ASSERT_EQ(rows.size(), 1);
        const QModelIndex cell = list->indexFromItem(rows.front(), 1);
        if (value == copyright) {
            EXPECT_GT(sheet->width(), 380);
            EXPECT_FALSE(winsys::controls::ElidedTextTips::IsCut(list, cell));
            EXPECT_EQ(uitest::toolTipAt(list, cell), "");
        } else {
            boundWidth = sheet->width();
            EXPECT_TRUE(winsys::controls::ElidedTextTips::IsCut(list, cell));
            EXPECT_EQ(uitest::toolTipAt(list, cell).toStdString(), value);
        }
    }
    EXPECT_LT(boundWidth, 700);
    QToolTip::hideText();
}

// The picture at the top left is the program's own 32-pixel drawing of a
// file or a folder; without the program's images the sheet still opens.
TEST_F(Sheet, PictureOfAFileOrAFolderFromTheProgramFile) {
    prefix.writeFile("C:\\Acme\\notes.txt", "x");
    prefix.makeDir("C:\\Acme\\Plugins");
    sorlix::CResource module;
    sorlix::ui::OpenProgramResources(module);
    for (const auto& [path, id] : {std::pair{"C:\\Acme\\notes.txt", 1602}, std::pair{"C:\\Acme\\Plugins", 1603}}) {
        SCOPED_TRACE(path);
        QImage drawn;
        ASSERT_TRUE(drawn.loadFromData(sorlix::ui::LoadPngResource(module, id), "PNG"));
        auto sheet = FilePropertiesSheet::Create(path, nullptr);
        ASSERT_TRUE(sheet);
        const auto* picture = sheet->findChild<QLabel*>("sheetPicture");
        ASSERT_NE(picture, nullptr);
        EXPECT_EQ(picture->pixmap().toImage().convertToFormat(drawn.format()), drawn);
    }
    sorlix::ui::setProgramFile("C:\\nowhere\\Sorlix.exe");
    auto sheet = FilePropertiesSheet::Create("C:\\Acme\\notes.txt", nullptr);
    ASSERT_TRUE(sheet);
    EXPECT_TRUE(sheet->findChild<QLabel*>("sheetPicture")->pixmap().isNull());
    EXPECT_EQ(sheet->generalValue("Size:"), "1 bytes (1 bytes)");
}

} // namespace
