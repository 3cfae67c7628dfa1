#include <gtest/gtest.h>

#include "platform/ApplicationInfo.hpp"
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

TEST(SecureStorePathTest, UserDataDirectoryFollowsTheXdgRules) {
    struct Case {
        std::optional<std::string> dataHome;
        std::optional<std::string> home;
        std::string expected;
    };
    const Case cases[] = {
        {"/data", "/home/u", "/data"},
        {"relative/data", "/home/u", "/home/u/.local/share"},
        {"", "/home/u", "/home/u/.local/share"},
        {std::nullopt, "/home/u", "/home/u/.local/share"},
    };
    for (const auto& c : cases) {
        test::ScopedEnvironment dataHome("XDG_DATA_HOME", c.dataHome);
        test::ScopedEnvironment home("HOME", c.home);
        EXPECT_EQ(SecureStorePath::userDataDirectory(), c.expected);
    }
}

TEST(SecureStorePathTest, DirectoryIsTheApplicationsFolderUnlessSet) {
    test::ScopedEnvironment dataHome("XDG_DATA_HOME", "/data");
    const auto identifier = ApplicationInfo::shared()->bundleIdentifier();
    EXPECT_EQ(SecureStorePath::directory(), "/data/" + identifier);
    SecureStorePath::setDirectory("/elsewhere");
    EXPECT_EQ(SecureStorePath::directory(), "/elsewhere");
    SecureStorePath::setDirectory({});
    EXPECT_EQ(SecureStorePath::directory(), "/data/" + identifier);
}

TEST(SecureStorePathTest, ApplicationFolderIsOneSafePathComponent) {
    const std::pair<std::string, std::string> cases[] = {
        {"com.example.game", "com.example.game"},
        {"../../etc", ".._.._etc"},
        {"..", "_.."},
        {".", "_."},
        {"", "_"},
        {"a/b\nc\x7F", "a_b_c_"},
    };
    for (const auto& [identifier, folder] : cases) {
        EXPECT_EQ(SecureStorePath::applicationFolder(identifier), folder) << identifier;
    }
}

}  // namespace
}  // namespace mvk
