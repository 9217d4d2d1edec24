// A change that another process makes to a profile's extensions between two
// collections (a folder renamed, an extension added, a folder replaced by a
// link to another one) is what the second collection lists.
#include "tests/app/enumerators/mozilla/mozilla_fixture.h"

#include <cstdlib>
#include <map>

#include "app/core/cdb.h"
#include "app/core/comcalls.h"
#include "app/core/minfocollector.h"
#include "tests/support/records.h"

using namespace moztest;

namespace {

using Listing = std::map<std::string, std::string>; // dLL -> name shown

Listing collect() {
    sorlix::MInfoCollector::RecollectAddonInfo(sorlix::atFirefox32Extension);
    Listing byPath;
    for (const auto& [name, id] : testsupport::listingRows(sorlix::DB->TypeObjects(sorlix::atFirefox32Extension).get()))
        byPath[sorlix::ParamText(sorlix::DB->AddonInfo(id).get(), "dLL")] = name;
    return byPath;
}

std::string quoted(const fs::path& p) { return "'" + p.string() + "'"; }

} // namespace

TEST(MozillaCollection, ChangesByAnotherProcessBetweenTwoCollectionsAreSeen) {
    MozMachine m;
    const std::string extensions = kProfiles + "\\k3x9wq2m.default\\extensions\\";
    for (const char* name : {"One", "Two", "Three"})
        m.folderExtension(extensions + name + "@example.org", manifest(std::string(name) + "@example.org", name));
    m.folderExtension("C:\\Elsewhere\\tres", manifest("three@example.org", "Tres"));
    m.folderExtension("C:\\Staging\\four@example.org", manifest("four@example.org", "Four"));
    ASSERT_EQ(collect(), (Listing{{extensions + "One@example.org\\", "One"},
                                  {extensions + "Three@example.org\\", "Three"},
                                  {extensions + "Two@example.org\\", "Two"}}));

    const fs::path folder = m.prefix.host(extensions);
    const std::string changes = "cd " + quoted(folder) + " && mv One@example.org Uno@example.org && mv " +
                                quoted(m.prefix.host("C:\\Staging\\four@example.org")) +
                                " . && mv Three@example.org ../three-was && ln -s " +
                                quoted(m.prefix.host("C:\\Elsewhere\\tres")) + " Three@example.org";
    ASSERT_EQ(std::system(changes.c_str()), 0) << changes;

    EXPECT_EQ(collect(), (Listing{{extensions + "Three@example.org\\", "Tres"},
                                  {extensions + "Two@example.org\\", "Two"},
                                  {extensions + "Uno@example.org\\", "One"},
                                  {extensions + "four@example.org\\", "Four"}}));
    EXPECT_TRUE(m.log().empty());
}
