#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>

#include "platform/ApplicationSupportDirectory.hpp"
#include "support/TempDir.hpp"

namespace mvk {
namespace {

// Sets an environment variable (or removes it for nullptr) and restores it.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
        }
        value ? setenv(name, value, 1) : unsetenv(name);
    }
    ~ScopedEnv() { old_ ? setenv(name_, old_->c_str(), 1) : unsetenv(name_); }

  private:
    const char* name_;
    std::optional<std::string> old_;
};

mode_t modeOf(const std::filesystem::path& path) {
    struct stat info {};
    stat(path.c_str(), &info);
    return info.st_mode & 0777;
}

TEST(ApplicationSupportDirectoryTest, DataHomeThenHomeThenOverride) {
    const std::string app = ApplicationSupportDirectory::applicationFolderName();
    struct Case {
        const char* xdg;
        const char* home;
        std::optional<std::filesystem::path> expected;
    };
    const Case cases[] = {
        {"/data/xdg", "/home/u", std::filesystem::path("/data/xdg") / app},
        {"relative/xdg", "/home/u", std::filesystem::path("/home/u/.local/share") / app},
        {"", "/home/u", std::filesystem::path("/home/u/.local/share") / app},
        {nullptr, "/home/u", std::filesystem::path("/home/u/.local/share") / app},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.xdg ? c.xdg : "(unset)");
        ScopedEnv xdg("XDG_DATA_HOME", c.xdg);
        ScopedEnv home("HOME", c.home);
        EXPECT_EQ(ApplicationSupportDirectory::path(), c.expected);
    }

    ApplicationSupportDirectory::setOverride("/somewhere/else");
    EXPECT_EQ(ApplicationSupportDirectory::path(), std::filesystem::path("/somewhere/else"));
    ApplicationSupportDirectory::setOverride(std::filesystem::path());
    ScopedEnv xdg("XDG_DATA_HOME", "/data/xdg");
    EXPECT_EQ(ApplicationSupportDirectory::path(), std::filesystem::path("/data/xdg") / app);
}

TEST(ApplicationSupportDirectoryTest, FolderNameDefaultsToTheExecutableAndRefusesEscapes) {
    EXPECT_EQ(ApplicationSupportDirectory::applicationFolderName(), "tests_storage");
    for (const char* bad : {"", ".", "..", "a/b", "/abs"}) {
        EXPECT_FALSE(ApplicationSupportDirectory::setApplicationFolderName(bad)) << bad;
    }
    EXPECT_FALSE(ApplicationSupportDirectory::setApplicationFolderName(std::string("a\0b", 3)));
    EXPECT_EQ(ApplicationSupportDirectory::applicationFolderName(), "tests_storage");

    EXPECT_TRUE(ApplicationSupportDirectory::setApplicationFolderName("My Game"));
    ScopedEnv xdg("XDG_DATA_HOME", "/data/xdg");
    EXPECT_EQ(ApplicationSupportDirectory::path(), std::filesystem::path("/data/xdg/My Game"));
    ApplicationSupportDirectory::setApplicationFolderName("tests_storage");
}

TEST(ApplicationSupportDirectoryTest, CreatesOnlyMissingFoldersAndMakesThemPrivate) {
    test::TempDir dir;
    chmod(dir.path().c_str(), 0755);
    const auto target = dir.path() / "a" / "b" / "c";

    EXPECT_FALSE(ApplicationSupportDirectory::createPrivateDirectories(target));
    EXPECT_FALSE(ApplicationSupportDirectory::createPrivateDirectories(target));

    EXPECT_EQ(modeOf(dir.path()), 0755u);
    for (const auto& folder : {dir.path() / "a", dir.path() / "a" / "b", target}) {
        EXPECT_EQ(modeOf(folder), 0700u) << folder;
    }

    std::ofstream(dir.path() / "file") << "x";
    EXPECT_EQ(ApplicationSupportDirectory::createPrivateDirectories(dir.path() / "file" / "d"),
              std::errc::not_a_directory);
}

}  // namespace
}  // namespace mvk
