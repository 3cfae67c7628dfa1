#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <functional>
#include <limits>
#include <ostream>
#include <string>
#include <vector>

#include "abtest/RemoteConfigStore.hpp"
#include "core/Core.hpp"
#include "coreflow/CoreFlowHarness.hpp"
#include "mvk/MVKAnalytics.hpp"
#include "mvk/MVKEngineWrapper.hpp"
#include "mvk/MVKRemoteConfig.hpp"
#include "support/LogCapture.hpp"

namespace mvk {
namespace {

class RemoteConfig : public ::testing::Test {
  protected:
    RemoteConfig() { RemoteConfigStore::shared().resetForTesting(); }
    ~RemoteConfig() override { RemoteConfigStore::shared().resetForTesting(); }

    static bool cancelled(const test::LogCapture& log, const std::string& method) {
        return log.contains(MVKLogLevel::error,
                            "Execution of the " + method + " method was canceled!");
    }

    test::CoreFlowHarness h;
    test::LogCapture log{MVKLogLevel::debug};
};

struct WaitCase {
    std::string name;
    std::function<void()> write;
    /// Fragments of the error lines written, in any order.
    std::vector<std::string> reasons;
    double remoteConfigWaiting;
    double groupDefinitionWaiting;
};

void PrintTo(const WaitCase& row, std::ostream* out) {
    *out << row.name;
}

class Waits : public RemoteConfig, public ::testing::WithParamInterface<WaitCase> {};

TEST_P(Waits, AreCheckedAndKeptInTheCore) {
    const auto& row = GetParam();
    row.write();
    for (const auto& reason : row.reasons) {
        EXPECT_TRUE(log.containsFragment(reason)) << reason;
    }
    const bool refused = !row.reasons.empty();
    EXPECT_EQ(
        cancelled(log, "setRemoteConfigWaiting") || cancelled(log, "setGroupDefinitionWaiting"),
        refused);
    EXPECT_EQ(MVKRemoteConfig::remoteConfigWaiting(), row.remoteConfigWaiting);
    EXPECT_EQ(MVKRemoteConfig::groupDefinitionWaiting(), row.groupDefinitionWaiting);
}

const double nan = std::numeric_limits<double>::quiet_NaN();
const double inf = std::numeric_limits<double>::infinity();

INSTANTIATE_TEST_SUITE_P(
    RemoteConfig, Waits,
    ::testing::Values(WaitCase{"BelowZero",
                               [] { MVKRemoteConfig::setRemoteConfigWaiting(-1); },
                               {"is less than the min"},
                               0.0,
                               10.0},
                      WaitCase{"GroupBelowTheTenth",
                               [] { MVKRemoteConfig::setGroupDefinitionWaiting(0.05); },
                               {"is less than the min"},
                               0.0,
                               10.0},
                      WaitCase{"GroupAtTheTenth",
                               [] { MVKRemoteConfig::setGroupDefinitionWaiting(0.1); },
                               {},
                               0.0,
                               0.1},
                      WaitCase{"NaNFailsOnlyTheNumberCheck",
                               [] { MVKRemoteConfig::setRemoteConfigWaiting(nan); },
                               {"Parameter cannot be NAN."},
                               0.0,
                               10.0},
                      WaitCase{"InfinityFailsOnlyTheInterval",
                               [] { MVKRemoteConfig::setGroupDefinitionWaiting(inf); },
                               {"is greater than the max"},
                               0.0,
                               10.0},
                      WaitCase{"ChangedBeforeInitializeOnly",
                               [] {
                                   MVKRemoteConfig::setRemoteConfigWaiting(5);
                                   MVKAnalytics::initialize("coreflow-key");
                                   MVKRemoteConfig::setRemoteConfigWaiting(7);
                                   MVKRemoteConfig::setGroupDefinitionWaiting(7);
                                   test::CoreFlowHarness::drainIncome();
                               },
                               {},
                               5.0,
                               10.0}));

TEST_F(RemoteConfig, AfterInitializeTheSettersOnlyWarn) {
    MVKAnalytics::initialize("coreflow-key");
    MVKRemoteConfig::setRemoteConfigWaiting(7);
    MVKRemoteConfig::setGroupDefinitionWaiting(7);
    MVKRemoteConfig::cacheTestExperiment();
    for (const auto* name : {"RemoteConfigWaiting", "GroupDefinitionWaiting"}) {
        EXPECT_TRUE(log.contains(MVKLogLevel::warning, std::string("[A/B-Test Module] ") + name +
                                                           " can't be changed after SDK has been "
                                                           "initialized"));
    }
    EXPECT_TRUE(log.contains(MVKLogLevel::warning,
                             "[A/B-Test Module] CacheTestExperiment can't be called after SDK has "
                             "been initialized"));
    EXPECT_FALSE(Core::shared()->abTestInitialData().cacheTestExperiment);
    ASSERT_TRUE(h.drainIncome());
}

TEST_F(RemoteConfig, SettingAWaitClearsTheTestExperimentFlag) {
    MVKRemoteConfig::cacheTestExperiment();
    EXPECT_TRUE(Core::shared()->abTestInitialData().cacheTestExperiment);
    MVKRemoteConfig::setGroupDefinitionWaiting(3);
    EXPECT_EQ(Core::shared()->abTestInitialData(),
              (ABTestInitalData{.abConfigWaiting = 0.0, .abGroupWaiting = 3.0}));
}

TEST_F(RemoteConfig, TheCollectionFollowsDefaultsApplyAndReset) {
    MVKRemoteConfig::setDefaults({{"old", true}});
    MVKRemoteConfig::setDefaults({{"a", std::int64_t{1}}, {"b", 2.5}, {"c", std::string("x")}});
    auto collection = MVKRemoteConfig::config();
    EXPECT_FALSE(collection->hasKey("old"));
    EXPECT_EQ(collection->getRawConfig().size(), 3U);
    const auto heldA = (*collection)["a"];
    const auto heldB = (*collection)["b"];

    // What the A/B logic prepared for the group: one of the three keys and
    // one the host has no default for.
    RemoteConfigStore::shared().apply({{"a", std::int64_t{5}}, {"zz", true}});
    EXPECT_EQ(heldA->source(), MVKRemoteConfigSource::remote);
    EXPECT_EQ(heldA->int64Value(), 5);
    EXPECT_EQ(heldB->source(), MVKRemoteConfigSource::defaults);
    EXPECT_FALSE(collection->hasKey("zz"));

    // Nothing prepared: the defaults come back as new values; the held one
    // keeps what it had.
    MVKRemoteConfig::applyConfig();
    EXPECT_TRUE(log.contains(MVKLogLevel::error,
                             "In the getConfig() method an error has occurred: The SDK is not "
                             "initialized yet!"));
    EXPECT_EQ((*collection)["a"]->source(), MVKRemoteConfigSource::defaults);
    EXPECT_NE((*collection)["a"], heldA);
    EXPECT_EQ(heldA->description(), "value: [5] source: remote");

    const auto missing = (*collection)["missing"];
    EXPECT_EQ(missing->stringValue(), "");
    EXPECT_EQ(missing->int64Value(), 0);
    EXPECT_FALSE(missing->boolValue());
    EXPECT_EQ(missing->source(), MVKRemoteConfigSource::empty);
    EXPECT_FALSE(collection->hasKey("missing"));
    ASSERT_TRUE(h.drainIncome());
}

TEST_F(RemoteConfig, DefaultsSurviveANewCore) {
    MVKRemoteConfig::setDefaults({{"speed", std::int64_t{1}}, {"k\xFF", std::string("v\xFF")}});
    h.dropCore();
    EXPECT_EQ(Core::shared()->abTestDefaultParamsCache().savedDefaults(),
              (MVKRemoteConfigParameters{{"speed", std::int64_t{1}},
                                         {"k\xEF\xBF\xBD", std::string("v\xEF\xBF\xBD")}}));
    EXPECT_EQ(MVKRemoteConfig::config()->getRawConfig().size(), 2U);
}

struct Reading {
    MVKRemoteConfigDefault value;
    std::string text;
    std::int32_t int32;
    std::int64_t int64;
    float floating;
    double doubleValue;
    bool flag;
};

TEST_F(RemoteConfig, GettersConvertEveryKindAndClampWhatDoesNotFit) {
    const Reading rows[] = {
        {std::string("1e3"), "1e3", 1000, 1000, 1000.0F, 1000.0, false},
        {std::string("abc"), "abc", 0, 0, 0.0F, 0.0, false},
        {std::string("yes"), "yes", 0, 0, 0.0F, 0.0, true},
        {std::string("1e300"), "1e300", INT32_MAX, INT64_MAX, FLT_MAX, 1e300, false},
        {std::string("-inf"), "-inf", INT32_MIN, INT64_MIN, -std::numeric_limits<float>::infinity(),
         -inf, false},
        {2.9, "2.9", 2, 2, 2.9F, 2.9, true},
        {-2.9, "-2.9", -2, -2, -2.9F, -2.9, true},
        {true, "true", 1, 1, 1.0F, 1.0, true},
        {1e300, "1e+300", INT32_MAX, INT64_MAX, FLT_MAX, 1e300, true},
        {-1e300, "-1e+300", INT32_MIN, INT64_MIN, -FLT_MAX, -1e300, true},
        {0.1F, "0.1", 0, 0, 0.1F, static_cast<double>(0.1F), true},
        {3.0, "3.0", 3, 3, 3.0F, 3.0, true},
        // Whole numbers print in full up to 1e16, where their last digits stop being exact.
        {1e5, "100000.0", 100'000, 100'000, 1e5F, 1e5, true},
        {1e5F, "100000.0", 100'000, 100'000, 1e5F, 1e5, true},
        {-1e15, "-1000000000000000.0", INT32_MIN, -1'000'000'000'000'000, -1e15F, -1e15, true},
        {1e16, "1e+16", INT32_MAX, 10'000'000'000'000'000, 1e16F, 1e16, true},
        {std::int64_t{5'000'000'000}, "5000000000", INT32_MAX, 5'000'000'000, 5e9F, 5e9, true},
        {std::int32_t{-7}, "-7", -7, -7, -7.0F, -7.0, true},
    };
    for (const auto& row : rows) {
        MVKRemoteConfig::setDefaults({{"k", row.value}});
        const auto value = (*MVKRemoteConfig::config())["k"];
        SCOPED_TRACE(row.text);
        EXPECT_EQ(value->stringValue(), row.text);
        EXPECT_EQ(value->description(), "value: [" + row.text + "] source: defaults");
        EXPECT_EQ(value->int32Value(), row.int32);
        EXPECT_EQ(value->int64Value(), row.int64);
        EXPECT_EQ(value->integerValue(), row.int64);
        EXPECT_EQ(value->floatValue(), row.floating);
        EXPECT_EQ(value->doubleValue(), row.doubleValue);
        EXPECT_EQ(value->boolValue(), row.flag);
    }
    MVKRemoteConfig::setDefaults({{"k", nan}});
    const auto value = (*MVKRemoteConfig::config())["k"];
    EXPECT_EQ(value->int32Value(), 0);
    EXPECT_EQ(value->int64Value(), 0);
    EXPECT_TRUE(std::isnan(value->floatValue()));
    EXPECT_EQ(value->stringValue(), "nan");
}

}  // namespace
}  // namespace mvk
