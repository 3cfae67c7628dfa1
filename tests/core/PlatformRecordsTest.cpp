#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <optional>
#include <string>

#include "core/PlatformFakes.hpp"
#include "device/DisplayPpi.hpp"
#include "device/Platform.hpp"
#include "device/PlatformStorage.hpp"
#include "foundation/SdkConstraints.hpp"
#include "platform/MemorySecureStore.hpp"

namespace mvk {
namespace {

struct PpiCase {
    const char* model;
    std::optional<std::int64_t> ppi;
};

class DisplayPpiTest : public ::testing::TestWithParam<PpiCase> {};

TEST_P(DisplayPpiTest, ComesFromTheModelIdentifier) {
    EXPECT_EQ(DisplayPpi::forModel(GetParam().model), GetParam().ppi) << GetParam().model;
}

INSTANTIATE_TEST_SUITE_P(
    Models, DisplayPpiTest,
    ::testing::Values(PpiCase{"iPhone13,2", 460}, PpiCase{"iPhone13,1", 476},
                      PpiCase{"iPhone8,4", 326}, PpiCase{"iPhone11,8", 326},
                      PpiCase{"iPhone11,6", 458}, PpiCase{"iPhone10,5", 401},
                      PpiCase{"iPhone2,1", 163}, PpiCase{"iPad6,3", 264}, PpiCase{"iPad2,5", 163},
                      PpiCase{"iPad2,1", 132}, PpiCase{"iPad13,2", 326}, PpiCase{"iPod7,1", 326},
                      PpiCase{"iPod3,1", 163}, PpiCase{"iPhone14,2", std::nullopt},
                      PpiCase{"x86_64", std::nullopt}, PpiCase{"iPhone", std::nullopt},
                      PpiCase{"iPhone99999999999999999999,1", std::nullopt},
                      PpiCase{"", std::nullopt}));

class PlatformRecordsTest : public ::testing::Test {
  protected:
    Platform platform(bool coppa = false) {
        return Platform(
            std::make_shared<PlatformStorage>(), coppa,
            PlatformServices{app, device, source, std::make_shared<MemorySecureStore>()});
    }

    std::shared_ptr<test::FakeApplicationInfo> app = std::make_shared<test::FakeApplicationInfo>();
    std::shared_ptr<test::FakeDeviceInfo> device = std::make_shared<test::FakeDeviceInfo>();
    std::shared_ptr<test::FakeIdentifierSource> source =
        std::make_shared<test::FakeIdentifierSource>();
};

TEST_F(PlatformRecordsTest, DeviceRecordRefreshesOnlyLocaleAndTimeZone) {
    device->modelValue = "iPhone13,2";
    device->screen = ScreenSize{2532, 1170};
    device->languageValue = "en-US";
    auto subject = platform();

    const auto first = subject.getDeviceData();
    EXPECT_EQ(first.language, "en");
    EXPECT_EQ(first.displayResolution, "1170x2532");
    EXPECT_EQ(first.displayPpi, 460);
    ASSERT_TRUE(first.displayDiagonal);
    EXPECT_NEAR(*first.displayDiagonal, std::hypot(2532.0 / 460, 1170.0 / 460), 1e-9);
    EXPECT_EQ(first.osName, "Debian GNU/Linux");
    EXPECT_EQ(first.timeZoneOffset, 3600);

    device->languageValue = std::nullopt;
    device->countryValue = "DE";
    device->offset = -18000;
    device->screen = ScreenSize{100, 100};
    device->modelValue = "x86_64";
    auto expected = first;
    expected.language = std::nullopt;
    expected.country = "DE";
    expected.timeZoneOffset = -18000;
    EXPECT_EQ(subject.getDeviceData(), expected);
}

TEST_F(PlatformRecordsTest, HostDensityWinsAndNoScreenGivesNoSizes) {
    device->modelValue = "iPhone13,2";
    device->ppi = 96;
    device->screen = ScreenSize{1920, 1080};
    const auto withScreen = platform().getDeviceData();
    EXPECT_EQ(withScreen.displayPpi, 96);
    EXPECT_NEAR(*withScreen.displayDiagonal, std::hypot(20.0, 11.25), 1e-9);

    device->screen.reset();
    device->ppi.reset();
    device->modelValue = "x86_64";
    const auto without = platform().getDeviceData();
    EXPECT_EQ(without.displayPpi, std::nullopt);
    EXPECT_EQ(without.displayResolution, std::nullopt);
    EXPECT_EQ(without.displayDiagonal, std::nullopt);
}

TEST_F(PlatformRecordsTest, ApplicationAndSdkRecordsAreReadOnce) {
    auto subject = platform();
    const ApplicationData expected{"1.4.2", "1402", "com.example.game", 2};
    EXPECT_EQ(subject.getApplicationData(), expected);
    app->version = "9.9";
    EXPECT_EQ(subject.getApplicationData(), expected);

    EXPECT_EQ(subject.getSdkData(), (SdkData{SdkConstraints::sdkVersion(), 10}));
}

}  // namespace
}  // namespace mvk
