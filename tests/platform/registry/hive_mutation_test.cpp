// Mutated hive texts (bit flips, cuts, stray quotes, backslashes and
// brackets) must never crash the reader, and what it reads must write out
// as a file that reads back the same: the same keys and values, the lines
// it could not read kept (so no more warnings than before), and the same
// text when written again.
#include "platform/registry/hive.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <sstream>

#include "tests/platform/registry/tree_compare.h"

namespace fs = std::filesystem;
using namespace winsys::reg;

namespace {

std::string readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

const char* const kSample = R"(WINE REGISTRY Version 2
;; All keys relative to \\Machine

#arch=win64

[Software\\A\\b\[c\]] 1700000000
#time=1d9c0a1b2c3d4e5
#class="Cls \"x\""
@="default"
"quote\"d"="text \\ \"q\" \n\t\x263a\x00e9a\0011"
"multi"=str(7):"one\0two\0"
"expand"=str(2):"%SystemRoot%"
"n"=dword:deadbeef
"bin"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,16,\
  17,18,19,1a,1b
"odd"=hex(20000):ff

[Software\\Link] 1700000001
#link
"SymbolicLinkValue"=hex(6):5c,00,52,00
)";

std::string mutate(std::string s, std::mt19937& rng) {
    static const char inserts[] = {'"', '\\', '[', ']', '\n', '=', ',', '#', '@', ':', '(', '\0', '\xc3', '\xff'};
    auto pick = [&](std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n ? n - 1 : 0)(rng); };
    const int edits = 1 + static_cast<int>(pick(4));
    for (int e = 0; e < edits && !s.empty(); ++e) {
        const std::size_t at = pick(s.size());
        switch (pick(5)) {
        case 0: s[at] = static_cast<char>(s[at] ^ (1 << pick(8))); break;
        case 1: s.resize(at); break;
        case 2: s.insert(at, 1, inserts[pick(sizeof inserts)]); break;
        case 3: s.erase(at, pick(40)); break;
        case 4: {
            const std::size_t start = s.rfind('\n', at);
            const std::size_t from = start == std::string::npos ? 0 : start + 1;
            const std::size_t end = s.find('\n', at);
            s.insert(from, s.substr(from, (end == std::string::npos ? s.size() : end + 1) - from));
            break;
        }
        }
    }
    return s;
}

} // namespace

TEST(HiveMutation, ReaderSurvivesAndWhatItReadsRoundTrips) {
    const fs::path wine8 = fs::path(SORLIX_FIXTURES_DIR) / "wine8";
    std::string user = readFile(wine8 / "user.reg");
    user.resize(user.find("\n\n[", 6000)); // a slice keeps the sanitizer run short
    const std::vector<std::string> seeds = {kSample, readFile(wine8 / "userdef.reg"), user};

    std::mt19937 rng(20240611);
    int parsed = 0, rejected = 0;
    for (int i = 0; i < 3000; ++i) {
        const std::string& seed = seeds[static_cast<std::size_t>(i) % seeds.size()];
        const std::string text = mutate(seed, rng);
        auto r = parseHive(text, "m.reg");
        if (!r) {
            // Only the header can fail a file, and only when it was hit.
            EXPECT_EQ(r.error().code, win::ERROR_REGISTRY_CORRUPT);
            EXPECT_EQ(r.error().message.rfind("m.reg:1: ", 0), 0u) << r.error().message;
            EXPECT_NE(text.rfind("WINE REGISTRY Version 2\n", 0), 0u) << "a good header was refused";
            ++rejected;
            continue;
        }
        ++parsed;
        for (const std::string& w : r->warnings) ASSERT_EQ(w.rfind("m.reg:", 0), 0u) << w;
        const std::string written = formatHive(r->tree);
        auto again = parseHive(written, "again.reg");
        ASSERT_TRUE(again) << again.error().message;
        ASSERT_LE(again->warnings.size(), r->warnings.size()) << again->warnings.front() << "\nfrom:\n" << text;
        ASSERT_EQ(regtest::treeDifference(*again->tree.root, *r->tree.root, false), "") << "from:\n" << text;
        ASSERT_EQ(formatHive(again->tree), written) << "from:\n" << text;
    }
    EXPECT_GT(parsed, 2000);
    EXPECT_GT(rejected, 0);
}
