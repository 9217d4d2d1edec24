#include "app/core/cunzip.h"

#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <sys/stat.h>
#include <zip.h>
#include <zlib.h>

#include "platform/com/com_error.h"
#include "platform/core/text.h"
#include "platform/unzip/unzip.h"
#include "tests/support/file_tree.h"
#include "tests/support/test_prefix.h"
#include "tests/support/zip_writer.h"

namespace fs = std::filesystem;
using sorlix::cUnzip;
using testsupport::TestPrefix;
using testsupport::ZipEntry;

namespace {

constexpr const char* kWork = "C:\\work\\out";
constexpr const char* kPackage = "C:\\pkg\\p.xpi";

std::vector<std::string> workFolderNames(const TestPrefix& p) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(p.host(kWork))) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class CUnzipTest : public ::testing::Test {
protected:
    void SetUp() override {
        prefix.makeDir(kWork);
        prefix.makeDir("C:\\pkg");
    }
    void pack(const std::vector<ZipEntry>& entries) { testsupport::writeZip(prefix.host(kPackage), entries); }

    // The callers' pattern: list, keep only the entries named `wanted`
    // (every entry when it is empty), extract flat into the work folder.
    bool extract(const std::string& wanted, cUnzip& z) {
        z.ZipFile(kPackage);
        z.UnzipFolder(kWork);
        z.UseFolderNames(false);
        z.Directory();
        for (win::LONG i = 1; i <= z.FileCount(); ++i)
            if (!wanted.empty() && winsys::lowerCase(z.Filename(i)) != wanted) z.FileSelected(i, false);
        return z.Unzip();
    }
    bool extract(const std::string& wanted) {
        cUnzip z;
        return extract(wanted, z);
    }
    std::string extracted(const std::string& name = "install.rdf") const {
        const fs::path f = prefix.host(kWork) / name;
        return fs::exists(fs::symlink_status(f)) ? testsupport::readHost(f) : "<none>";
    }

    TestPrefix prefix;
};

TEST_F(CUnzipTest, ListsFileEntriesWithTheirFolders) {
    pack({{"a/", ""},
          {"a/config.xml", "one"},
          ZipEntry("config.xml", "two").asStored(),
          {"/lead.txt", "x"},
          {"x\\y.txt", "y"},
          {"Übersetzer/b/install.rdf", "z"}});
    cUnzip z;
    z.ZipFile(kPackage);
    ASSERT_TRUE(z.Directory());
    struct Row { const char* name; const char* folder; };
    const Row rows[] = {{"config.xml", "a"}, {"config.xml", ""}, {"lead.txt", ""}, {"x\\y.txt", ""},
                        {"install.rdf", "Übersetzer\\b"}};
    ASSERT_EQ(z.FileCount(), 5);
    for (win::LONG i = 1; i <= 5; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(z.Filename(i), rows[i - 1].name);
        EXPECT_EQ(z.FileDirectory(i), rows[i - 1].folder);
        EXPECT_TRUE(z.FileSelected(i));
        EXPECT_FALSE(z.FileEncrypted(i));
    }
    EXPECT_EQ(z.FileCRC(2), crc32(0, reinterpret_cast<const Bytef*>("two"), 3));
    EXPECT_EQ(z.FileCompressionMethod(2), "Stored");
    EXPECT_EQ(z.FileSize(2), 3);
    EXPECT_GT(z.FileDate(2).value, 40000.0); // a date of this century

    z.Directory();
    EXPECT_EQ(z.FileCount(), 10) << "a second listing appends";
    z.ZipFile(kPackage);
    EXPECT_EQ(z.FileCount(), 0) << "setting the package empties the list";
    try {
        (void)z.Filename(1);
        ADD_FAILURE() << "no error for an index outside the list";
    } catch (const winsys::com::ComError& e) {
        EXPECT_EQ(e.number(), 9);
    }
}

TEST_F(CUnzipTest, ExtractsTheWantedEntryFlatAsAPlainWritableFile) {
    pack({{"readme.txt", "r"},
          ZipEntry("Übersetzer/chrome/install.rdf", "<RDF/>").withMode(0444).withTime(315532800 /* 1980 */)});
    ASSERT_TRUE(extract("install.rdf"));
    EXPECT_EQ(extracted(), "<RDF/>");
    EXPECT_EQ(workFolderNames(prefix), std::vector<std::string>{"install.rdf"});
    struct stat st;
    ASSERT_EQ(::lstat(prefix.host(kWork).append("install.rdf").c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_TRUE(st.st_mode & S_IWUSR) << "no rights from the archive";
    EXPECT_GT(st.st_mtime, 315532800 + 86400) << "no time from the archive";
}

TEST_F(CUnzipTest, HostileEntriesWriteNothingOutsideTheWorkFolder) {
    prefix.writeFile("C:\\work\\install.rdf", "parent");
    prefix.writeFile("C:\\install.rdf", "root");
    prefix.writeFile("C:\\x\\install.rdf", "x");
    prefix.writeFile("C:\\abs\\install.rdf", "abs");
    struct Case {
        const char* label;
        std::vector<ZipEntry> entries;
        std::string wanted; // "" selects every entry
        bool result;
        std::string content; // of install.rdf in the work folder
    };
    const Case cases[] = {
        {"../install.rdf is written by its bare name", {{"../install.rdf", "a"}}, "", true, "a"},
        {"..\\..\\install.rdf", {{"..\\..\\install.rdf", "a"}}, "", false, "<none>"},
        {"..\\..\\install.rdf not wanted", {{"..\\..\\install.rdf", "a"}}, "install.rdf", false, "<none>"},
        {"C:\\x\\install.rdf", {{"C:\\x\\install.rdf", "a"}}, "", false, "<none>"},
        {"/abs/install.rdf is written by its bare name", {{"/abs/install.rdf", "a"}}, "", true, "a"},
        {"a/../..", {{"a/../..", "a"}}, "", false, "<none>"},
        {"..", {{"..", "a"}}, "", false, "<none>"},
        {"trailing dot", {{"install.rdf.", "a"}}, "", false, "<none>"},
        {"link then file, wanted", {ZipEntry("install.rdf", "../../install.rdf").asLink(), {"install.rdf", "real"}},
         "install.rdf", false, "<none>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        fs::remove_all(prefix.host(kWork));
        prefix.makeDir(kWork);
        pack(c.entries);
        const auto before = testsupport::entriesOutside(prefix.root() / "drive_c", prefix.host(kWork));
        EXPECT_EQ(extract(c.wanted), c.result);
        EXPECT_EQ(testsupport::entriesOutside(prefix.root() / "drive_c", prefix.host(kWork)), before);
        EXPECT_EQ(extracted(), c.content);
        for (const auto& e : fs::directory_iterator(prefix.host(kWork)))
            EXPECT_FALSE(e.is_symlink()) << e.path();
        if (c.content == "<none>") {
            EXPECT_TRUE(workFolderNames(prefix).empty());
        }
    }
}

TEST_F(CUnzipTest, NeverWritesThroughALinkInTheWorkFolder) {
    prefix.writeFile("C:\\outside.txt", "keep");
    fs::create_symlink(prefix.host("C:\\outside.txt"), prefix.host(kWork) / "install.rdf");
    pack({{"install.rdf", "new"}});
    EXPECT_FALSE(extract("install.rdf")) << "an existing file is kept unless overwriting";
    cUnzip z;
    z.OverwriteExisting(true);
    EXPECT_TRUE(extract("install.rdf", z));
    EXPECT_EQ(testsupport::readHost(prefix.host("C:\\outside.txt")), "keep");
    EXPECT_FALSE(fs::is_symlink(prefix.host(kWork) / "install.rdf"));
    EXPECT_EQ(extracted(), "new");
}

TEST_F(CUnzipTest, AnEntryInflatingBeyondItsDeclaredSizeLeavesNothing) {
    pack({{"install.rdf", std::string(30 * 1024 * 1024, '\0')}});
    testsupport::patchDeclaredSize(prefix.host(kPackage), 2048);
    winsys::resetUnzipCounters();
    EXPECT_FALSE(extract("install.rdf"));
    EXPECT_TRUE(workFolderNames(prefix).empty());
    EXPECT_LE(winsys::unzipCounters().inflatedBytes, 2049u);
}

TEST_F(CUnzipTest, AnEntryDeclaringMoreThanTheBoundIsNotInflated) {
    pack({{"install.rdf", std::string(win::kUzpMaxEntrySize + 1, 'a')}});
    winsys::resetUnzipCounters();
    EXPECT_FALSE(extract("install.rdf"));
    EXPECT_TRUE(workFolderNames(prefix).empty());
    EXPECT_EQ(winsys::unzipCounters().inflatedBytes, 0u);
}

TEST_F(CUnzipTest, DamagedPackagesLeaveNoFile) {
    const fs::path file = prefix.host(kPackage);
    struct Case {
        const char* label;
        std::function<void()> make;
    };
    const Case cases[] = {
        {"not a zip", [&] { prefix.writeFile(kPackage, "<?xml version=\"1.0\"?><RDF/>"); }},
        {"truncated",
         [&] {
             pack({{"install.rdf", std::string(4000, 'r')}, {"b.txt", std::string(4000, 'b')}});
             fs::resize_file(file, fs::file_size(file) / 2);
         }},
        {"bad CRC",
         [&] {
             pack({ZipEntry("install.rdf", "<RDF>original</RDF>").asStored()});
             std::string bytes = testsupport::readHost(file);
             bytes[bytes.find("original")] = 'O';
             std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        c.make();
        cUnzip z;
        EXPECT_FALSE(extract("", z));
        EXPECT_TRUE(workFolderNames(prefix).empty());
    }
}

TEST_F(CUnzipTest, WithoutTheWantedEntryNothingIsExtracted) {
    pack({{"chrome.manifest", "m"}, {"content/x.js", "j"}});
    winsys::resetUnzipCounters();
    EXPECT_FALSE(extract("install.rdf"));
    EXPECT_TRUE(workFolderNames(prefix).empty());
    EXPECT_EQ(winsys::unzipCounters().archiveOpens, 1u) << "no extraction call";
}

TEST_F(CUnzipTest, OfTwoEntriesWithTheWantedNameOneIsExtracted) {
    struct Case {
        const char* label;
        std::vector<ZipEntry> entries;
        const char* content;
    };
    const Case cases[] = {
        {"the top one wins", {{"sub/install.rdf", "deep"}, {"install.rdf", "top"}}, "top"},
        {"else the first", {{"b/install.rdf", "first"}, {"a/install.rdf", "second"}}, "first"},
        {"case ignored", {{"INSTALL.RDF", "upper"}, {"x/install.rdf", "lower"}}, "upper"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        fs::remove_all(prefix.host(kWork));
        prefix.makeDir(kWork);
        pack(c.entries);
        EXPECT_TRUE(extract("install.rdf"));
        EXPECT_EQ(workFolderNames(prefix).size(), 1u);
        EXPECT_EQ(testsupport::readHost(fs::directory_iterator(prefix.host(kWork))->path()), c.content);
    }
}

TEST_F(CUnzipTest, AnEncryptedEntryNeedsItsPassword) {
    pack({ZipEntry("install.rdf", "secret rdf").withPassword("pw")});
    cUnzip z;
    EXPECT_FALSE(extract("install.rdf", z));
    EXPECT_TRUE(z.FileEncrypted(1));
    EXPECT_TRUE(workFolderNames(prefix).empty());
    cUnzip wrong;
    wrong.Password = "nope";
    EXPECT_FALSE(extract("install.rdf", wrong));
    EXPECT_TRUE(workFolderNames(prefix).empty());
    cUnzip right;
    right.Password = " pw ";
    EXPECT_TRUE(extract("install.rdf", right));
    EXPECT_EQ(extracted(), "secret rdf");
}

TEST(CUnzipVersion, IsTheZipLibrarysVersion) {
    win::LONG major = -1, minor = -1, revision = -1;
    win::DATE date{1};
    std::string extra = "x";
    cUnzip().GetVersion(major, minor, revision, date, extra);
    EXPECT_EQ(std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(revision) + extra,
              zip_libzip_version());
    EXPECT_EQ(date.value, 0.0);
}

} // namespace
