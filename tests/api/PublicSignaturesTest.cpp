#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

#include "mvk/MVKAnalytics.hpp"
#include "mvk/MVKAnalyticsConfiguration.hpp"
#include "mvk/MVKCustomEventParameters.hpp"
#include "mvk/MVKStartProgressionEventParameters.hpp"
#include "mvk/MVKUserCard.hpp"

namespace mvk::test {
namespace {

// A call that would convert its argument silently does not compile.
template <typename T>
concept SetsInt = requires(T v) {
    MVKUserCard::setInt("k", v);
};
template <typename T>
concept IncrementsInt = requires(T v) {
    MVKUserCard::incrementInt("k", v);
};
template <typename T>
concept SetsBool = requires(T v) {
    MVKUserCard::setBool("k", v);
};
template <typename T>
concept SetsAge = requires(T v) {
    MVKUserCard::setAge(v);
};
template <typename T>
concept SetsLevel = requires(T v) {
    MVKAnalytics::setCurrentLevel(v);
};
template <typename T>
concept LevelsUp = requires(T v) {
    MVKAnalytics::levelUp(v);
};
template <typename T>
concept LevelsUpWithBalances = requires(T v) {
    MVKAnalytics::levelUp(v, MVKAnalytics::Amounts{});
};
template <typename T>
concept ConfiguresLevel = requires(T v, MVKAnalyticsConfiguration configuration) {
    configuration.setCurrentLevel(v);
};
// Braces pick no template, so `{2.5}` would reach a conversion that cuts it.
template <typename T>
concept ConfiguresLevelInBraces = requires(T v, MVKAnalyticsConfiguration configuration) {
    configuration.setCurrentLevel({v});
};
template <typename T>
concept SetsLevelInBraces = requires(T v) {
    MVKAnalytics::setCurrentLevel({v});
};
template <typename T>
concept SetsDifficulty = requires(T v, MVKStartProgressionEventParameters parameters) {
    parameters.setDifficulty(v);
};
template <typename T>
concept StepsTutorial = requires(T v) {
    MVKAnalytics::tutorial(v);
};
template <typename T>
concept Accrues = requires(T v) {
    MVKAnalytics::currencyAccrual("gold", v, "quest", MVKAccrualType::earned);
};
template <typename T>
concept AddsInt = requires(T v, MVKCustomEventParameters parameters) {
    parameters.addInt("k", v);
};

static_assert(SetsInt<int> && SetsInt<std::int64_t> && !SetsInt<double> && !SetsInt<float>);
static_assert(IncrementsInt<int> && !IncrementsInt<double>);
static_assert(SetsBool<bool> && !SetsBool<int> && !SetsBool<double> && !SetsBool<const char*>);
static_assert(SetsAge<int> && !SetsAge<double>);
static_assert(SetsLevel<int> && !SetsLevel<double>);
static_assert(LevelsUp<int> && !LevelsUp<double>);
static_assert(LevelsUpWithBalances<int> && !LevelsUpWithBalances<double>);
static_assert(ConfiguresLevel<int> && ConfiguresLevel<std::optional<std::int64_t>> &&
              !ConfiguresLevel<double> && !ConfiguresLevel<std::optional<double>>);
static_assert(ConfiguresLevelInBraces<int> && ConfiguresLevelInBraces<std::int64_t> &&
              !ConfiguresLevelInBraces<double> && !ConfiguresLevelInBraces<float> &&
              !ConfiguresLevelInBraces<long double>);
static_assert(requires(MVKAnalyticsConfiguration configuration) {
    configuration.setCurrentLevel({});
    configuration.setCurrentLevel(std::nullopt);
});
static_assert(SetsLevelInBraces<int> && !SetsLevelInBraces<double>);
static_assert(SetsDifficulty<int> && SetsDifficulty<std::int64_t> && !SetsDifficulty<double>);
static_assert(StepsTutorial<int> && !StepsTutorial<double> && !StepsTutorial<float>);
static_assert(Accrues<int> && !Accrues<double>);
static_assert(AddsInt<int> && AddsInt<std::int64_t> && !AddsInt<double>);

TEST(PublicSignatures, ANullTextIsAbsentAndThrowsNothing) {
    MVKStartProgressionEventParameters start;
    start.setSource("cave");
    EXPECT_NO_THROW(start.setSource(nullptr));
    EXPECT_EQ(start.source(), std::nullopt);
    MVKAnalyticsConfiguration configuration;
    configuration.setUserId("player");
    const char* none = nullptr;
    EXPECT_NO_THROW(configuration.setUserId(none));
    EXPECT_EQ(configuration.userId(), std::nullopt);
}

}  // namespace
}  // namespace mvk::test
