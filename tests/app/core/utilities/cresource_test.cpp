// CResource: loading a PE resource module by name, its strings and images,
// the empty name, and the failure error of Init.

#include <gtest/gtest.h>

#include <string>

#include "app/core/cresource.h"

#include "platform/com/com_error.h"
#include "tests/support/pe_writer.h"
#include "tests/support/test_prefix.h"

using sorlix::CResource;

namespace {

constexpr win::WORD kRtBitmap = 2;

class Resource : public ::testing::Test {
protected:
    Resource() {
        testsupport::PeSpec spec;
        spec.strings[7] = "Seven";
        spec.extra.push_back({winsys::ResourceId::number(kRtBitmap), winsys::ResourceId::number(101), 0, {1, 2, 3}});
        testsupport::writePe(prefix.host("C:\\app\\images.dll"), spec);
        testsupport::writePe(prefix.host("C:\\windows\\syswow64\\shared.dll"), spec);
        prefix.writeFile("C:\\app\\text.dll", "not an image");
    }
    // Init's failure, checked whole; the object keeps the name, not a module.
    static void expectInitFailure(CResource& r, const std::string& file) {
        try {
            r.Init(file);
            ADD_FAILURE() << "Init must raise for " << file;
        } catch (const winsys::com::ComError& e) {
            EXPECT_EQ(e.hresult(), static_cast<win::HRESULT>(0x80040D2F));
            EXPECT_EQ(e.description(), "CResource component failure in Function Init");
            EXPECT_EQ(e.source(), "CResource.Init");
        }
        EXPECT_EQ(r.Filename(), file);
        EXPECT_EQ(r.hModule(), 0);
        EXPECT_FALSE(r.loadString(7).ok());
    }
    testsupport::TestPrefix prefix;
};

TEST_F(Resource, LoadsAModuleAndReadsItsResources) {
    CResource r;
    EXPECT_EQ(r.hModule(), 0);
    ASSERT_TRUE(r.Init("C:\\app\\images.dll"));
    EXPECT_EQ(r.Filename(), "C:\\app\\images.dll");
    const win::LONG first = r.hModule();
    EXPECT_NE(first, 0);
    ASSERT_TRUE(r.loadString(7).ok());
    EXPECT_EQ(r.loadString(7).value(), "Seven");
    EXPECT_FALSE(r.loadString(8).ok());
    auto image = r.resource(winsys::ResourceId::number(kRtBitmap), winsys::ResourceId::number(101));
    ASSERT_TRUE(image.ok());
    EXPECT_EQ(image.value(), (std::vector<std::uint8_t>{1, 2, 3}));

    r.setFilename("shared"); // a bare name, found along the search path
    EXPECT_EQ(r.Filename(), "shared");
    EXPECT_NE(r.hModule(), 0);
    EXPECT_NE(r.hModule(), first);
}

TEST_F(Resource, EmptyNameUnloadsWithoutRaising) {
    CResource r;
    ASSERT_TRUE(r.Init("C:\\app\\images.dll"));
    EXPECT_FALSE(r.Init(""));
    EXPECT_EQ(r.hModule(), 0);
    EXPECT_EQ(r.Filename(), "");
    EXPECT_FALSE(r.loadString(7).ok());
}

TEST_F(Resource, InitRaisesWhenTheFileCannotBeLoaded) {
    CResource r;
    ASSERT_TRUE(r.Init("C:\\app\\images.dll"));
    expectInitFailure(r, "C:\\app\\missing.dll");
    expectInitFailure(r, "C:\\app\\text.dll");
    expectInitFailure(r, "C:\\app");
    EXPECT_THROW(r.setFilename("C:\\app\\missing.dll"), winsys::com::ComError);
    EXPECT_TRUE(r.Init("C:\\app\\images.dll"));
}

} // namespace
