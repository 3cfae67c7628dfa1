#include <gtest/gtest.h>

#include "platform/ApplicationInfo.hpp"
#include "platform/ApplicationSupportDirectory.hpp"
#include "platform/SecureStorePath.hpp"
#include "support/ScopedEnvironment.hpp"

namespace mvk {
namespace {

TEST(ApplicationInfoTest, NamesFallBackToTheExecutableAndVersionsStartEmpty) {
    ApplicationInfo info;
    EXPECT_EQ(info.bundleName(), "tests_platform");
    EXPECT_EQ(info.bundleIdentifier(), "tests_platform");
    EXPECT_EQ(info.applicationVersion(), "");
    EXPECT_EQ(info.applicationBuildVersion(), "");
    EXPECT_EQ(info.sandboxState(), 0);
}

TEST(ApplicationInfoTest, HostValuesAreKeptAsValidTextAndEmptyNamesKeepTheFallback) {
    ApplicationInfo info("game");
    info.setBundleName("Space \xFF Race");
    info.setBundleIdentifier("com.example.race");
    info.setApplicationVersion("1.4.2");
    info.setApplicationBuildVersion("1402");
    EXPECT_EQ(info.bundleName(), "Space \xEF\xBF\xBD Race");
    EXPECT_EQ(info.bundleIdentifier(), "com.example.race");
    EXPECT_EQ(info.applicationVersion(), "1.4.2");
    EXPECT_EQ(info.applicationBuildVersion(), "1402");

    info.setBundleName("");
    info.setBundleIdentifier("");
    EXPECT_EQ(info.bundleName(), "game");
    EXPECT_EQ(info.bundleIdentifier(), "game");

    info.setSandbox(true);
    EXPECT_EQ(info.sandboxState(), 1);
    info.setSandbox(false);
    EXPECT_EQ(info.sandboxState(), 2);
}

TEST(SecureStorePathTest, DirectoryIsTheApplicationSupportDirectoryUnlessSet) {
    test::ScopedEnvironment dataHome("XDG_DATA_HOME", "/data");
    const auto folder = ApplicationSupportDirectory::applicationFolderName();
    EXPECT_EQ(SecureStorePath::directory(), "/data/" + folder);
    SecureStorePath::setDirectory("/elsewhere");
    EXPECT_EQ(SecureStorePath::directory(), "/elsewhere");
    SecureStorePath::setDirectory({});
    EXPECT_EQ(SecureStorePath::directory(), "/data/" + folder);
}

}  // namespace
}  // namespace mvk
