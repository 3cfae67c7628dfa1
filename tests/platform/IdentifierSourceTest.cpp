#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "platform/ApplicationInfo.hpp"
#include "platform/IdentifierSource.hpp"
#include "platform/MemorySecureStore.hpp"
#include "platform/Uuid.hpp"
#include "support/LogCapture.hpp"
#include "support/TempDir.hpp"

namespace mvk {
namespace {

namespace fs = std::filesystem;

class IdentifierSourceTest : public ::testing::Test {
  protected:
    fs::path machineId(const std::string& content) {
        auto path = dir.path() / ("machine-id-" + std::to_string(++files));
        std::ofstream(path) << content;
        return path;
    }
    std::shared_ptr<ApplicationInfo> app(const std::string& bundleIdentifier) {
        auto info = std::make_shared<ApplicationInfo>("game");
        info->setBundleIdentifier(bundleIdentifier);
        return info;
    }
    std::optional<std::string> vendorId(const std::string& bundleIdentifier,
                                        std::vector<fs::path> machineIds) {
        return IdentifierSource(store, app(bundleIdentifier), std::move(machineIds))
            .vendorIdentifier();
    }

    test::TempDir dir;
    int files = 0;
    std::shared_ptr<MemorySecureStore> store = std::make_shared<MemorySecureStore>();
};

TEST_F(IdentifierSourceTest, VendorIdIsAnUpperCaseUuidStablePerApplicationAndMachine) {
    const auto machine = machineId("3d1219c7c4c5404aaa1f6d2a48adfda4\n");
    const auto other = machineId("0123456789abcdef0123456789abcdef\n");
    const auto first = vendorId("com.example.game", {machine});
    ASSERT_TRUE(first);
    EXPECT_TRUE(Uuid::isValid(*first));
    EXPECT_EQ(first->find_first_of("abcdef"), std::string::npos);
    EXPECT_EQ(vendorId("com.example.game", {machine}), first);
    EXPECT_NE(vendorId("com.example.other", {machine}), first);
    EXPECT_NE(vendorId("com.example.game", {other}), first);
    EXPECT_EQ(first->find("3D1219C7"), std::string::npos) << "the machine id must not show";
    EXPECT_EQ(store->get(IdentifierSource::vendorAccount), std::nullopt);
}

TEST_F(IdentifierSourceTest, UnusableMachineIdsFallToTheNextFileThenToAKeptRandomId) {
    const auto missing = dir.path() / "absent";
    const fs::path unusable[] = {machineId("uninitialized\n"),
                                 machineId("00000000000000000000000000000000"),
                                 machineId("3d1219c7c4c5404aaa1f6d2a48adfd"), machineId("")};
    const auto good = machineId("3d1219c7c4c5404aaa1f6d2a48adfda4");
    std::vector<fs::path> withFallback(std::begin(unusable), std::end(unusable));
    withFallback.push_back(good);
    EXPECT_EQ(vendorId("g", withFallback), vendorId("g", {good}));

    std::vector<fs::path> none(std::begin(unusable), std::end(unusable));
    none.push_back(missing);
    const auto random = vendorId("g", none);
    ASSERT_TRUE(random);
    EXPECT_EQ((*random)[14], '4');
    EXPECT_EQ(store->get(IdentifierSource::vendorAccount), random);
    EXPECT_EQ(vendorId("g", none), random);
}

TEST_F(IdentifierSourceTest, DamagedKeptIdIsReplaced) {
    ASSERT_TRUE(store->set(IdentifierSource::vendorAccount, "not a uuid"));
    const auto id = vendorId("g", {});
    ASSERT_TRUE(id);
    EXPECT_TRUE(Uuid::isValid(*id));
    EXPECT_EQ(store->get(IdentifierSource::vendorAccount), id);
}

TEST_F(IdentifierSourceTest, UnkeptRandomIdIsLoggedAndStaysForTheRun) {
    test::LogCapture log(MVKLogLevel::error);
    class RefusingStore final : public SecureStoreProtocol {
      public:
        std::optional<std::string> get(const std::string&) override { return std::nullopt; }
        bool set(const std::string&, const std::string&) override { return false; }
        bool remove(const std::string&) override { return false; }
    };
    IdentifierSource source(std::make_shared<RefusingStore>(), app("g"), {});
    const auto id = source.vendorIdentifier();
    EXPECT_EQ(source.vendorIdentifier(), id);
    EXPECT_TRUE(log.containsFragment("vendor identifier could not be kept"));
}

TEST_F(IdentifierSourceTest, NoAdvertisingIdentifierAndNoTrackingPermission) {
    IdentifierSource source(store, app("g"), {});
    EXPECT_EQ(source.advertisingIdentifier(), std::nullopt);
    EXPECT_FALSE(source.isTrackingAuthorized());
}

}  // namespace
}  // namespace mvk
