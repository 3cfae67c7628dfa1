#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <unordered_map>

#include "analytics/MVKFinishProgressionEventParametersLocal.hpp"
#include "mvk/MVKCustomEventParameters.hpp"
#include "mvk/MVKFinishProgressionEventParameters.hpp"
#include "mvk/MVKReferralProperty.hpp"
#include "mvk/MVKSocialNetwork.hpp"
#include "mvk/MVKStartProgressionEventParameters.hpp"
#include "support/LogCapture.hpp"

namespace mvk {
namespace {

const std::string limitLine =
    "ERROR [CustomEventParameters] Limit of [20] is reached when adding a new parameter";

TEST(ParameterClasses, CustomParametersStopAtTheLimitWithoutALogic) {
    test::LogCapture log(MVKLogLevel::debug);
    MVKCustomEventParameters parameters;
    parameters.addInt("k0", 1);
    parameters.addInt("k0", 2);  // below the limit a repeated key replaces in place
    for (int i = 1; i < 20; ++i) {
        parameters.addBool("k" + std::to_string(i), true);
    }
    ASSERT_EQ(parameters.getAllParameters().size(), 20u);
    EXPECT_EQ(parameters.getAllParameters().front(),
              (MVKCustomEventParameters::Parameters::value_type{"k0", std::int64_t{2}}));
    EXPECT_TRUE(log.messages().empty());

    parameters.addString("k20", "new");
    parameters.addDouble("k0", 3.5);  // a key already present is refused as well
    EXPECT_EQ(parameters.getAllParameters().size(), 20u);
    EXPECT_EQ(parameters.getAllParameters().front().second,
              MVKCustomEventParameters::Value(std::int64_t{2}));
    EXPECT_EQ(log.messages(), (std::vector<std::string>{limitLine, limitLine}));

    // The next object made on this thread takes over the room of the one let
    // go: it starts empty, with the whole limit before it.
    parameters = MVKCustomEventParameters();
    for (int i = 19; i >= 0; --i) {
        parameters.addInt("k" + std::to_string(i), i);
    }
    ASSERT_EQ(parameters.getAllParameters().size(), 20u);
    EXPECT_EQ(parameters.getAllParameters().front(),
              (MVKCustomEventParameters::Parameters::value_type{"k19", std::int64_t{19}}));
    EXPECT_EQ(log.messages().size(), 2u);
}

TEST(ParameterClasses, KeysAlikeInLengthAndEndStaySeparate) {
    MVKCustomEventParameters parameters;
    parameters.addInt("alpha_score", 1);
    parameters.addInt("gamma_score", 2);
    parameters.addInt("alpha_score", 3);
    EXPECT_EQ(parameters.getAllParameters(),
              (MVKCustomEventParameters::Parameters{{"alpha_score", std::int64_t{3}},
                                                    {"gamma_score", std::int64_t{2}}}));
}

TEST(ParameterClasses, HostTextsBecomeValidUtf8AndDescribeThemselves) {
    MVKCustomEventParameters parameters;
    parameters.addString("k\xFF", "v\xC3");
    parameters.addDouble("d", 0.5);
    EXPECT_EQ(parameters.description(),
              "key: k\xEF\xBF\xBD value: v\xEF\xBF\xBD\nkey: d value: 0.5");

    MVKStartProgressionEventParameters start;
    EXPECT_EQ(start.description(), "");
    start.setDifficulty(3);
    start.setSource("cave\xFF");
    EXPECT_EQ(start.description(), "difficulty: 3\nsource: cave\xEF\xBF\xBD");

    MVKFinishProgressionEventParameters finish;
    finish.setDuration(12);
    finish.setSpent({{"gold", 5}, {"gem", 1}});
    finish.setEarned({{"xp", 9}});
    EXPECT_EQ(finish.description(),
              "successfulCompletion: false\nduration: 12\n\t resource: \n\t\t resource: gem "
              "amount: 1\n\t\t resource: gold amount: 5\n\t resource: \n\t\t resource: xp amount: "
              "9\n");
    EXPECT_EQ(MVKFinishProgressionEventParametersLocal::from(finish).spent, finish.spent());
}

TEST(ParameterClasses, PresetsAreMadeOnceAndReferralKeysCompareByName) {
    EXPECT_EQ(MVKSocialNetwork::linkedin().name(), "in");
    EXPECT_EQ(MVKSocialNetwork::qzone().name(), "qq");
    EXPECT_EQ(MVKSocialNetwork::tumblr().description(), "name: tb");
    EXPECT_EQ(&MVKSocialNetwork::facebook(), &MVKSocialNetwork::facebook());
    EXPECT_EQ(&MVKReferralProperty::source(), &MVKReferralProperty::source());

    const MVKReferralProperty made("source");
    EXPECT_EQ(made, MVKReferralProperty::source());
    EXPECT_NE(made, MVKReferralProperty::medium());
    EXPECT_EQ(std::hash<MVKReferralProperty>{}(made),
              std::hash<MVKReferralProperty>{}(MVKReferralProperty::source()));
    std::unordered_map<MVKReferralProperty, std::string> referrer;
    referrer[MVKReferralProperty::source()] = "first";
    referrer[made] = "second";
    EXPECT_EQ(referrer.size(), 1u);
    EXPECT_EQ(referrer.at(MVKReferralProperty::source()), "second");
    EXPECT_EQ(made.description(), "name: source");
}

}  // namespace
}  // namespace mvk
