#include "platform/unzip/unzip.h"

#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "app/core/cunzip.h"
#include "tests/support/file_tree.h"
#include "tests/support/test_prefix.h"
#include "tests/support/zip_writer.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::string> g_listed;

void remember(std::uint64_t, std::uint64_t, unsigned, unsigned, unsigned, unsigned, unsigned, unsigned, char,
              const char* name, const char*, std::uint32_t, unsigned char, win::LONG entry) {
    g_listed.push_back(std::to_string(entry) + ":" + name);
}

class UnzipLayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        prefix.makeDir("C:\\out");
        std::vector<testsupport::ZipEntry> entries;
        for (int k = 0; k < 39; ++k) entries.emplace_back("content/f" + std::to_string(k) + ".js", std::string(500, 'j'));
        entries.emplace_back("install.rdf", "<RDF/>");
        testsupport::writeZip(prefix.host("C:\\p.zip"), entries);
        options.ZipFile = "C:\\p.zip";
        options.ExtractFolder = "C:\\out";
    }
    int run(const std::vector<win::LONG>& include, const std::vector<win::LONG>& exclude) {
        win::UzpEntryList in, ex;
        std::copy(include.begin(), include.end(), in.Entries);
        in.Entries[include.size()] = win::kUzpEndOfList;
        std::copy(exclude.begin(), exclude.end(), ex.Entries);
        ex.Entries[exclude.size()] = win::kUzpEndOfList;
        win::UzpCallbacks callbacks;
        callbacks.Message = &remember;
        return win::Wiz_SingleEntryUnzip(static_cast<int>(include.size()), &in, static_cast<int>(exclude.size()), &ex,
                                         &options, &callbacks);
    }
    std::size_t written() const {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(prefix.host("C:\\out")), {}));
    }

    testsupport::TestPrefix prefix;
    win::UzpOptions options;
};

TEST_F(UnzipLayerTest, ListsEntriesWithTheNumbersThatChooseThem) {
    g_listed.clear();
    options.ListOnly = 1;
    ASSERT_EQ(run({}, {}), win::UZ_OK);
    ASSERT_EQ(g_listed.size(), 40u);
    EXPECT_EQ(g_listed[39], "39:install.rdf");
    EXPECT_EQ(written(), 0u);
}

TEST_F(UnzipLayerTest, ExtractsExactlyTheChosenEntries) {
    EXPECT_EQ(run({39, 3}, {3}), win::UZ_OK);
    EXPECT_TRUE(fs::exists(prefix.host("C:\\out\\install.rdf")));
    EXPECT_EQ(written(), 1u) << "an excluded entry is left";
    EXPECT_EQ(run({40}, {}), win::UZ_ERR_PARAMETER) << "no such entry";
}

TEST_F(UnzipLayerTest, RefusesOptionsItHasNoBehaviourFor) {
    for (win::LONG win::UzpOptions::*option : {&win::UzpOptions::ExtractOnlyNewer, &win::UzpOptions::SpaceToUnderscore,
                                                &win::UzpOptions::TestOnly, &win::UzpOptions::FolderNames,
                                                &win::UzpOptions::CrToCrLf}) {
        win::UzpOptions saved = options;
        options.*option = 1;
        EXPECT_EQ(run({39}, {}), win::UZ_ERR_UNSUPPORTED);
        options = saved;
    }
    EXPECT_EQ(written(), 0u);
}

// The callers' pattern on a package of 40 entries opens it once (the
// extraction takes the archive its listing opened) and inflates its
// manifest alone.
TEST_F(UnzipLayerTest, CountsOpensAndInflatedBytes) {
    winsys::resetUnzipCounters();
    sorlix::cUnzip z;
    z.ZipFile("C:\\p.zip");
    z.UnzipFolder("C:\\out");
    z.Directory();
    for (win::LONG i = 1; i <= z.FileCount(); ++i) z.FileSelected(i, z.Filename(i) == "install.rdf");
    ASSERT_TRUE(z.Unzip());
    EXPECT_EQ(winsys::unzipCounters().archiveOpens, 1u);
    EXPECT_EQ(winsys::unzipCounters().inflatedBytes, 6u);
}

// A package replaced between the listing and the extraction is opened
// again, so what is extracted is what the file holds then; so is another
// package than the one listed.
TEST_F(UnzipLayerTest, ExtractionTakesTheListedArchiveWhileTheFileIsTheSame) {
    const fs::path other = prefix.host("C:\\other.zip");
    const struct Row {
        const char* label;
        std::function<void()> between; // after the listing, before the extraction
        const char* extract;           // the package the extraction names
        win::LONG entry;               // and the entry it chooses
        std::uint64_t opens;
        std::string manifest;          // what C:\out\install.rdf holds afterwards
    } rows[] = {
        {"the same file", [] {}, "C:\\p.zip", 39, 1, "<RDF/>"},
        {"replaced by a new file",
         [&] {
             std::vector<testsupport::ZipEntry> entries;
             for (int k = 0; k < 39; ++k) entries.emplace_back("content/f" + std::to_string(k) + ".js", "j");
             entries.emplace_back("install.rdf", "<RDF>new</RDF>");
             testsupport::writeZip(other, entries);
             fs::rename(other, prefix.host("C:\\p.zip"));
         },
         "C:\\p.zip", 39, 2, "<RDF>new</RDF>"},
        {"another package named", [&] { testsupport::writeZip(other, {{"install.rdf", "<RDF>o</RDF>"}}); },
         "C:\\other.zip", 0, 2, "<RDF>o</RDF>"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.label);
        SetUp();
        fs::remove(prefix.host("C:\\out\\install.rdf"));
        winsys::resetUnzipCounters();
        options.ListOnly = 1;
        ASSERT_EQ(run({}, {}), win::UZ_OK);
        r.between();
        options.ListOnly = 0;
        options.ZipFile = r.extract;
        EXPECT_EQ(run({r.entry}, {}), win::UZ_OK);
        EXPECT_EQ(winsys::unzipCounters().archiveOpens, r.opens);
        EXPECT_EQ(testsupport::readHost(prefix.host("C:\\out\\install.rdf")), r.manifest);
    }
}

} // namespace
