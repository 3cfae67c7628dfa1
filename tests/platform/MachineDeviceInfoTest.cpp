#include <gtest/gtest.h>
#include <sys/utsname.h>

#include <ctime>
#include <filesystem>
#include <fstream>

#include "platform/LocaleName.hpp"
#include "platform/MachineDeviceInfo.hpp"
#include "platform/OsRelease.hpp"
#include "support/ScopedEnvironment.hpp"
#include "support/TempDir.hpp"

namespace mvk {
namespace {

namespace fs = std::filesystem;
using test::ScopedEnvironment;

TEST(OsReleaseTest, ReadsShellStyleAssignments) {
    const auto release = OsRelease::parse(
        "# comment\n"
        "NAME=\"Debian GNU/Linux\"\n"
        "VERSION_ID='12'\n"
        "ID=debian\r\n"
        "  PRETTY_NAME=\"Say \\\"hi\\\" \\\\ \\$HOME\"  \n"
        "EMPTY=\n"
        "not a line\n"
        "BAD-KEY=x\n"
        "BYTES=\"\xFF\"");
    EXPECT_EQ(release.value("NAME"), "Debian GNU/Linux");
    EXPECT_EQ(release.value("VERSION_ID"), "12");
    EXPECT_EQ(release.value("ID"), "debian");
    EXPECT_EQ(release.value("PRETTY_NAME"), "Say \"hi\" \\ $HOME");
    EXPECT_EQ(release.value("BYTES"), "\xEF\xBF\xBD");
    for (const char* missing : {"EMPTY", "BAD-KEY", "not a line", "VERSION"}) {
        EXPECT_EQ(release.value(missing), std::nullopt) << missing;
    }
}

TEST(LocaleNameTest, LanguageAndRegion) {
    struct Case {
        const char* name;
        std::optional<std::string> language;
        std::string region;
    };
    const Case cases[] = {
        {"en_US.UTF-8", "en", "US"}, {"de_AT.ISO-8859-1@euro", "de", "AT"},
        {"pt_br", "pt", "BR"},       {"en-GB", "en", "GB"},
        {"es_419", "es", "419"},     {"fil_PH", "fil", "PH"},
        {"sr@latin", "sr", ""},      {"fr", "fr", ""},
        {"C", std::nullopt, ""},     {"C.UTF-8", std::nullopt, ""},
        {"POSIX", std::nullopt, ""}, {"", std::nullopt, ""},
        {"en_USA", "en", ""},        {"x1_US", std::nullopt, ""},
    };
    for (const auto& c : cases) {
        const auto locale = LocaleName::parse(c.name);
        EXPECT_EQ(locale.language(), c.language) << c.name;
        EXPECT_EQ(locale.region(), c.region) << c.name;
    }
}

class DeviceInfoTest : public ::testing::Test {
  protected:
    fs::path file(const std::string& name, const std::string& content) {
        auto path = dir.path() / name;
        std::ofstream(path) << content;
        return path;
    }
    test::TempDir dir;
};

TEST_F(DeviceInfoTest, SystemValuesComeFromOsReleaseAndTheMachine) {
    MachineDeviceInfo::Sources sources;
    sources.osRelease = {dir.path() / "absent", file("os-release",
                                                     "NAME=Fedora Linux\n"
                                                     "VERSION_ID=40\n")};
    sources.vendor = {dir.path() / "absent", file("sys_vendor", "  LENOVO \n")};
    MachineDeviceInfo info(sources);
    EXPECT_EQ(info.osName(), "Fedora Linux");
    EXPECT_EQ(info.osVersion(), "40");
    EXPECT_EQ(info.manufacturer(), "LENOVO");

    sources.osRelease = {file("rolling", "NAME=\"Arch Linux\"\nBUILD_ID=rolling\n")};
    sources.vendor = {file("blank_vendor", "\n")};
    MachineDeviceInfo rolling(sources);
    EXPECT_EQ(rolling.osVersion(), "rolling");
    EXPECT_EQ(rolling.manufacturer(), "");

    sources.osRelease = {file("nameless", "ID=custom\n")};
    MachineDeviceInfo nameless(sources);
    EXPECT_EQ(nameless.osName(), "Linux");
    EXPECT_EQ(nameless.osVersion(), "");
}

TEST_F(DeviceInfoTest, WithoutOsReleaseTheKernelNamesTheSystem) {
    utsname system{};
    ASSERT_EQ(uname(&system), 0);
    MachineDeviceInfo info(MachineDeviceInfo::Sources{{dir.path() / "absent"}, {}});
    EXPECT_EQ(info.osName(), system.sysname);
    EXPECT_EQ(info.osVersion(), system.release);
}

TEST_F(DeviceInfoTest, ThisMachine) {
    utsname system{};
    ASSERT_EQ(uname(&system), 0);
    MachineDeviceInfo info;
    EXPECT_EQ(info.model(), system.machine);
    EXPECT_FALSE(info.model().empty());
    EXPECT_FALSE(info.osName().empty());
    EXPECT_NE(info.osName(), "iOS");
    EXPECT_NE(info.manufacturer(), "Apple");
    EXPECT_EQ(info.screenSize(), std::nullopt);
    EXPECT_EQ(info.screenPpi(), std::nullopt);
}

TEST_F(DeviceInfoTest, LanguageAndCountryFollowTheLocaleVariablesOnEachRead) {
    struct Case {
        std::optional<std::string> lcAll, lcMessages, lang, language;
        std::optional<std::string> expectedLanguage;
        std::string expectedCountry;
    };
    const Case cases[] = {
        {std::nullopt, std::nullopt, "en_US.UTF-8", std::nullopt, "en", "US"},
        {"de_DE.UTF-8", "fr_FR", "en_US", std::nullopt, "de", "DE"},
        {"", "fr_CA", "en_US", std::nullopt, "fr", "CA"},
        {std::nullopt, std::nullopt, "en_GB", "pt_BR:en", "pt", "GB"},
        {std::nullopt, std::nullopt, "C.UTF-8", "pt_BR:en", std::nullopt, ""},
        {std::nullopt, std::nullopt, std::nullopt, "pt_BR", std::nullopt, ""},
    };
    MachineDeviceInfo info;
    for (const auto& c : cases) {
        ScopedEnvironment lcAll("LC_ALL", c.lcAll);
        ScopedEnvironment lcMessages("LC_MESSAGES", c.lcMessages);
        ScopedEnvironment lang("LANG", c.lang);
        ScopedEnvironment language("LANGUAGE", c.language);
        EXPECT_EQ(info.language(), c.expectedLanguage) << c.lang.value_or("-");
        EXPECT_EQ(info.country(), c.expectedCountry) << c.lang.value_or("-");
    }
}

TEST_F(DeviceInfoTest, TimeZoneOffsetIsSecondsEastOfGmtNow) {
    MachineDeviceInfo info;
    const std::pair<const char*, std::int64_t> cases[] = {
        {"UTC0", 0},
        {"EST5", -5 * 3600},
        {"<+0530>-5:30", 5 * 3600 + 30 * 60},
    };
    {
        for (const auto& [zone, offset] : cases) {
            ScopedEnvironment tz("TZ", zone);
            EXPECT_EQ(info.timeZoneOffset(), offset) << zone;
        }
    }
    tzset();
}

TEST_F(DeviceInfoTest, ScreenValuesAreTheHostsAndNonPositiveOnesClearThem) {
    MachineDeviceInfo info;
    info.setScreenSize(2532, 1170);
    info.setScreenPpi(460);
    EXPECT_EQ(info.screenSize(), (ScreenSize{2532, 1170}));
    EXPECT_EQ(info.screenPpi(), 460);
    info.setScreenSize(0, 1170);
    info.setScreenPpi(-1);
    EXPECT_EQ(info.screenSize(), std::nullopt);
    EXPECT_EQ(info.screenPpi(), std::nullopt);
}

}  // namespace
}  // namespace mvk
