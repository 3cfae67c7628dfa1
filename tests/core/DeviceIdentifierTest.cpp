#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <optional>
#include <string>

#include "core/PlatformFakes.hpp"
#include "device/IdentifierCollector.hpp"
#include "device/Platform.hpp"
#include "device/PlatformStorage.hpp"
#include "platform/FileSecureStore.hpp"
#include "platform/MemorySecureStore.hpp"
#include "platform/Uuid.hpp"
#include "support/LogCapture.hpp"
#include "support/TempDir.hpp"

namespace mvk {
namespace {

using Items = std::map<std::string, std::string>;

constexpr const char* kCurrent = "game-k9m_v2_current_id";
constexpr const char* kPrev = "game-k9m_v2_prev_id";
constexpr const char* kCustom = "game-k9m_v2_customUdid";
constexpr const char* kAllZero = "00000000-0000-0000-0000-000000000000";
// Stands for "a random UUID made for this run" in the expected values.
constexpr const char* kRandom = "<random>";

struct ChoiceCase {
    const char* name = "";
    bool coppa = false;
    std::optional<std::string> advertising = {};
    std::optional<std::string> vendor = {};
    std::string bundleName = "game";
    Items before = {};
    std::string current = {};
    std::optional<std::string> prev = {};
    Items after = {};  // the items of the choice; others are left alone
};

std::ostream& operator<<(std::ostream& out, const ChoiceCase& c) {
    return out << c.name;
}

class DeviceIdentifierChoiceTest : public ::testing::TestWithParam<ChoiceCase> {};

TEST_P(DeviceIdentifierChoiceTest, ChoosesCurrentAndPreviousAndKeepsThem) {
    const auto& c = GetParam();
    test::LogCapture log(MVKLogLevel::no);
    auto store = std::make_shared<MemorySecureStore>();
    for (const auto& [account, value] : c.before) {
        store->set(account, value);
    }
    auto source = std::make_shared<test::FakeIdentifierSource>();
    source->advertising = c.advertising;
    source->vendor = c.vendor;
    auto app = std::make_shared<test::FakeApplicationInfo>();
    app->name = c.bundleName;

    const auto uids = IdentifierCollector(c.coppa, source, app, store).getUIDs();
    if (c.coppa) {
        EXPECT_EQ(source->vendorReads, 0) << "a system identifier was read";
    }

    if (c.current == kRandom) {
        EXPECT_TRUE(Uuid::isValid(uids.current)) << uids.current;
        for (const auto& [account, value] : c.before) {
            EXPECT_NE(uids.current, value) << "reused " << account;
        }
    } else {
        EXPECT_EQ(uids.current, c.current);
    }
    EXPECT_EQ(uids.prev, c.prev);
    for (const auto& [account, value] : c.after) {
        EXPECT_EQ(store->get(account), value == kRandom ? uids.current : value) << account;
    }
    if (c.bundleName.empty()) {
        for (const auto& account : {kCurrent, kPrev, "-k9m_v2_current_id", "-k9m_v2_prev_id"}) {
            EXPECT_EQ(store->get(account), std::nullopt) << account;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DeviceIdentifierChoiceTest,
    ::testing::Values(ChoiceCase{.name = "FirstRunTakesTheAdvertisingId",
                                 .advertising = "AD-1",
                                 .vendor = "V1",
                                 .current = "AD-1",
                                 .after = {{kCurrent, "AD-1"}}},
                      ChoiceCase{.name = "AllZeroAdvertisingIdFallsToTheVendorId",
                                 .advertising = kAllZero,
                                 .vendor = "V1",
                                 .current = "V1",
                                 .after = {{kCurrent, "V1"}}},
                      ChoiceCase{.name = "NoSystemIdGivesARandomOne",
                                 .vendor = "",
                                 .current = kRandom,
                                 .after = {{kCurrent, kRandom}}},
                      ChoiceCase{.name = "ChangedVendorIdRotatesTheSavedOneIntoPrev",
                                 .vendor = "V2",
                                 .before = {{kCurrent, "V1"}, {kPrev, "V0"}},
                                 .current = "V2",
                                 .prev = "V1",
                                 .after = {{kCurrent, "V2"}, {kPrev, "V1"}}},
                      ChoiceCase{.name = "UnchangedIdReportsTheSavedPrev",
                                 .vendor = "V1",
                                 .before = {{kCurrent, "V1"}, {kPrev, "V0"}},
                                 .current = "V1",
                                 .prev = "V0",
                                 .after = {{kCurrent, "V1"}, {kPrev, "V0"}}},
                      ChoiceCase{
                          .name = "OlderItemGivesItsFirstWordAsPrev",
                          .vendor = "V1",
                          .before = {{"k9m_idfa", "OLD:extra"}, {"k9m_idfv", "OTHER"}},
                          .current = "V1",
                          .prev = "OLD",
                          .after = {{kCurrent, "V1"}, {kPrev, "OLD"}, {"k9m_idfa", "OLD:extra"}}},
                      ChoiceCase{.name = "OlderVendorItemWithoutColonIsTakenWhole",
                                 .vendor = "V1",
                                 .before = {{kCurrent, "V1"}, {"k9m_idfv", "OLDV"}},
                                 .current = "V1",
                                 .prev = "OLDV",
                                 .after = {{kPrev, "OLDV"}}},
                      ChoiceCase{.name = "OlderItemEqualToTheCurrentIdIsNoPrev",
                                 .vendor = "V1",
                                 .before = {{"k9m_idfa", "V1:extra"}},
                                 .current = "V1",
                                 .after = {{kCurrent, "V1"}}},
                      ChoiceCase{.name = "SavedPrevEqualToTheCurrentIdIsNoPrev",
                                 .vendor = "V1",
                                 .before = {{kCurrent, "V1"}, {kPrev, "V1"}},
                                 .current = "V1"},
                      ChoiceCase{.name = "ChildrensPrivacyMakesOneRandomIdAndKeepsIt",
                                 .coppa = true,
                                 .advertising = "AD-1",
                                 .vendor = "V1",
                                 .current = kRandom,
                                 .after = {{kCurrent, kRandom}, {kCustom, kRandom}}},
                      ChoiceCase{.name = "ChildrensPrivacyStartsAgainWithTheKeptId",
                                 .coppa = true,
                                 .advertising = "AD-1",
                                 .vendor = "V1",
                                 .before = {{kCurrent, "U1"}, {kCustom, "U1"}, {kPrev, "R0"}},
                                 .current = "U1",
                                 .prev = "R0",
                                 .after = {{kCurrent, "U1"}, {kPrev, "R0"}}},
                      ChoiceCase{.name = "MissingBundleNameGivesAnUnsavedRandomId",
                                 .advertising = "AD-1",
                                 .vendor = "V1",
                                 .bundleName = "",
                                 .before = {{"k9m_idfa", "OLD:x"}},
                                 .current = kRandom}),
    [](const auto& info) { return std::string(info.param.name); });

class PlatformIdentifiersTest : public ::testing::Test {
  protected:
    Platform platform(bool coppa, std::shared_ptr<SecureStoreProtocol> secureStore) {
        return Platform(std::make_shared<PlatformStorage>(), coppa,
                        PlatformServices{app, device, source, std::move(secureStore)});
    }

    std::shared_ptr<test::FakeApplicationInfo> app = std::make_shared<test::FakeApplicationInfo>();
    std::shared_ptr<test::FakeDeviceInfo> device = std::make_shared<test::FakeDeviceInfo>();
    std::shared_ptr<test::FakeIdentifierSource> source =
        std::make_shared<test::FakeIdentifierSource>();
    std::shared_ptr<MemorySecureStore> store = std::make_shared<MemorySecureStore>();
};

TEST_F(PlatformIdentifiersTest, ChildrensPrivacyHidesSystemIdsAndLimitsTracking) {
    source->advertising = "AD-1";
    source->vendor = "V1";
    source->authorized = true;
    test::LogCapture log(MVKLogLevel::info);
    const auto data = platform(true, store).getIdentifierData();
    EXPECT_NE(data.deviceUIDs.current, "AD-1");
    EXPECT_NE(data.deviceUIDs.current, "V1");
    EXPECT_TRUE(data.isLimitAdTrackingEnabled);
    EXPECT_EQ(data.idfa, std::nullopt);
    EXPECT_EQ(data.idfv, std::nullopt);
    EXPECT_EQ(log.count(MVKLogLevel::info, "Cannot read IDFA when COPPA control enabled"), 2u);
    EXPECT_EQ(log.count(MVKLogLevel::info, "Cannot read IDFV when COPPA control enabled"), 2u);
}

TEST_F(PlatformIdentifiersTest, TrackingLimitFollowsThePermission) {
    source->vendor = "V1";
    source->advertising = kAllZero;
    EXPECT_TRUE(platform(false, store).getIdentifierData().isLimitAdTrackingEnabled);
    source->authorized = true;
    const auto data = platform(false, store).getIdentifierData();
    EXPECT_FALSE(data.isLimitAdTrackingEnabled);
    EXPECT_EQ(data.idfa, std::nullopt);
    EXPECT_EQ(data.idfv, "V1");
}

TEST_F(PlatformIdentifiersTest, CustomUuidIsKeptPerBundleNameAndFreshWithoutOne) {
    source->vendor = "V1";
    const auto first = platform(false, store).getIdentifierData().uuid;
    EXPECT_TRUE(Uuid::isValid(first));
    EXPECT_EQ(store->get("game-k9m_v2_customUdid"), first);
    EXPECT_EQ(platform(false, store).getIdentifierData().uuid, first);

    app->name = "";
    const auto unnamed = platform(false, store).getIdentifierData().uuid;
    EXPECT_TRUE(Uuid::isValid(unnamed));
    EXPECT_NE(unnamed, first);
    EXPECT_NE(platform(false, store).getIdentifierData().uuid, unnamed);
}

TEST_F(PlatformIdentifiersTest, SecureStoreFileKeepsTheIdentifiersAcrossARestart) {
    test::TempDir dir;
    source->vendor = "V1";
    auto firstRun = platform(false, std::make_shared<FileSecureStore>(dir.path()));
    const auto first = firstRun.getIdentifierData();
    EXPECT_EQ(first.deviceUIDs, (IdentifierData::DeviceUIDs{"V1", std::nullopt}));

    // The record is chosen once per run: asking again must not rotate.
    source->vendor = "V2";
    EXPECT_EQ(firstRun.getIdentifierData(), first);

    auto secondRun = platform(false, std::make_shared<FileSecureStore>(dir.path()));
    const auto second = secondRun.getIdentifierData();
    EXPECT_EQ(second.deviceUIDs, (IdentifierData::DeviceUIDs{"V2", "V1"}));
    EXPECT_EQ(second.uuid, first.uuid);

    auto thirdRun = platform(false, std::make_shared<FileSecureStore>(dir.path()));
    EXPECT_EQ(thirdRun.getIdentifierData().deviceUIDs, (IdentifierData::DeviceUIDs{"V2", "V1"}));
}

}  // namespace
}  // namespace mvk
