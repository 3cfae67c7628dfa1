#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "services/ServiceStoreTest.hpp"
#include "state/ProjectService.hpp"

namespace mvk {
namespace {

class RecordingValidator final : public ValidatorSettingsProtocol {
  public:
    void setExcludedOptions(std::optional<ExcludedOptions> options) override {
        excluded = std::move(options);
    }
    void setNumberOfCurrencies(std::int64_t count) override { numberOfCurrencies = count; }

    std::optional<ExcludedOptions> excluded;
    std::int64_t numberOfCurrencies = 0;
};

ExcludeEvents excludeOf(std::int64_t version, const std::string& code) {
    return ExcludeEvents{.version = version,
                         .events = std::map<std::string, AnyCodable::Array>{{code, {}}}};
}

class ProjectServiceTest : public test::ServiceStoreTest {
  protected:
    Config& stored() { return state->project->configuration; }

    std::shared_ptr<RecordingValidator> validator = std::make_shared<RecordingValidator>();
    ProjectService service{state, projects, payments, validator};
};

TEST_F(ProjectServiceTest, ReceivedConfigurationKeepsUnchangedExclusionsAndBundles) {
    using Bundles = std::optional<std::vector<std::string>>;
    const struct {
        const char* name;
        std::optional<ExcludeEvents> storedExclude, receivedExclude, expectedExclude;
        std::optional<std::int64_t> storedSbs, receivedSbs;
        Bundles expectedBundles;
    } cases[] = {
        {"same exclude version, other rules", excludeOf(2, "ce"), excludeOf(2, "lu"),
         excludeOf(2, "ce"), 1, 1, Bundles({"stored"})},
        {"new exclude version", excludeOf(2, "ce"), excludeOf(3, "lu"), excludeOf(3, "lu"), 1, 2,
         Bundles({"received"})},
        {"exclude removed", excludeOf(2, "ce"), std::nullopt, std::nullopt, std::nullopt,
         std::nullopt, Bundles({"stored"})},
        {"exclude added", std::nullopt, excludeOf(1, "al"), excludeOf(1, "al"), std::nullopt, 4,
         Bundles({"received"})},
        {"neither", std::nullopt, std::nullopt, std::nullopt, 3, std::nullopt,
         Bundles({"received"})},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.name);
        stored().exclude = entry.storedExclude;
        stored().sbsConfigVersion = entry.storedSbs;
        stored().sbsBundles = Bundles({"stored"});
        Config received = Config::defaulConfiguration();
        received.timeForRequest = 30'000;
        received.exclude = entry.receivedExclude;
        received.sbsConfigVersion = entry.receivedSbs;
        received.sbsBundles = Bundles({"received"});

        service.applyConfig(received);

        Config expected = received;
        expected.exclude = entry.expectedExclude;
        expected.sbsBundles = entry.expectedBundles;
        EXPECT_EQ(stored(), expected);
        EXPECT_EQ(storedProject()->configuration, expected);
    }
    EXPECT_TRUE(
        log.containsFragment("DEBUG The SDK analytics configuration has been received:\n {"));
}

TEST_F(ProjectServiceTest, ValidatorTakesTheExclusionsAndCurrencyLimit) {
    stored().exclude = excludeOf(1, "ce");
    stored().numberOfCurrencies.reset();
    service.updateValidator();
    EXPECT_EQ(validator->excluded, excludeOf(1, "ce").events);
    EXPECT_EQ(validator->numberOfCurrencies, 1000);

    stored().exclude.reset();
    stored().numberOfCurrencies = 5;
    service.updateValidator();
    EXPECT_EQ(validator->excluded, std::nullopt);
    EXPECT_EQ(validator->numberOfCurrencies, 5);
}

TEST_F(ProjectServiceTest, ReferralMarkIsStoredOnlyWhileTracking) {
    state->project->trackingAvailable = false;
    service.setIsRefererSent(true);
    EXPECT_FALSE(service.isRefererSent());
    EXPECT_FALSE(storedProject()->isReferralSent);

    state->project->trackingAvailable = true;
    service.setIsRefererSent(true);
    EXPECT_TRUE(storedProject()->isReferralSent);
}

TEST_F(ProjectServiceTest, PaymentOrderIdIsMarkedOncePerProject) {
    EXPECT_TRUE(service.markCurrencyPayment("order-1"));
    EXPECT_TRUE(service.markCurrencyPayment("order-1"));
    EXPECT_EQ(service.isCurrencyPaymentMarked("order-1"), MarkLookup::marked);
    EXPECT_EQ(service.isCurrencyPaymentMarked("order-2"), MarkLookup::notMarked);
    EXPECT_EQ(RealPaymentRepository(database).list().value().size(), 1u);
    EXPECT_EQ(log.count(MVKLogLevel::warning,
                        "Real currency payment with same order id [order-1] already marked!"),
              1u);
}

TEST_F(ProjectServiceTest, TrackingIsSetForEveryStoredProject) {
    projects->insert(std::make_shared<Project>("other-key"));
    service.setTrackingAvailable(false);
    auto rows = ProjectRepository(database).list().value();
    for (const auto& project : rows) {
        EXPECT_FALSE(project->trackingAvailable) << project->applicationKey();
    }
    EXPECT_FALSE(service.getTrackingAvailable());
    EXPECT_TRUE(log.contains(MVKLogLevel::info, "Tracking status is Disable"));
}

}  // namespace
}  // namespace mvk
