#include <gtest/gtest.h>

#include <string>

#include "foundation/JsonCoding.hpp"
#include "state/MigrationObject.hpp"

namespace mvk {
namespace {

std::optional<MigrationObject> decode(const std::string& text) {
    return decodeJson<MigrationObject>(text);
}

TEST(MigrationObjectTest, ReadsTheEngineFile) {
    auto object = decode(R"({"deviceId": "d1", "prevDeviceId": "d0", "userId": "u1",
        "prevUserId": "u0", "trackingAvailable": false, "level": 12,
        "userCard": {"nil": null, "list": [1], "flag": true, "count": 3, "ratio": 1.5,
                     "name": "Ann", "huge": 18446744073709551615, "map": {}},
        "transactionIds": ["o1", "o2"], "tutorCompletedSteps": [1, 2.0, -3]})");
    ASSERT_TRUE(object);
    EXPECT_EQ(object->deviceId, "d1");
    EXPECT_EQ(object->prevDeviceId, "d0");
    EXPECT_EQ(object->userId, "u1");
    EXPECT_EQ(object->prevUserId, "u0");
    EXPECT_FALSE(object->trackingAvailable);
    EXPECT_EQ(object->level, 12);
    const PeopleProperties card{
        {"nil", nullptr}, {"flag", true}, {"count", 3}, {"ratio", 1.5}, {"name", "Ann"}};
    EXPECT_EQ(object->userCard, card);
    EXPECT_EQ(object->transactionIds, (std::vector<std::string>{"o1", "o2"}));
    EXPECT_EQ(object->tutorCompletedSteps, (std::vector<std::int64_t>{1, 2, -3}));
}

TEST(MigrationObjectTest, FieldRulesOfTheEngineFile) {
    struct Case {
        const char* text;
        bool decodes;
        bool trackingAvailable = true;
        std::size_t transactionCount = 0;
        std::size_t stepCount = 0;
    };
    const Case cases[] = {
        {R"({"userId": "u", "level": 1})", true},
        {R"({})", true},
        {R"({"userId": null, "level": null, "deviceId": null})", true},
        {R"({"level": "1"})", false},
        {R"({"level": 1.5})", false},
        {R"({"level": true})", false},
        {R"({"userId": 5})", false},
        {R"({"prevUserId": []})", false},
        {R"({"deviceId": 1})", false},
        {R"({"prevDeviceId": {}})", false},
        {R"({"trackingAvailable": "no"})", true, true},
        {R"({"trackingAvailable": 0})", true, true},
        {R"({"trackingAvailable": null})", true, true},
        {R"({"trackingAvailable": false})", true, false},
        {R"({"transactionIds": ["a", 1], "tutorCompletedSteps": [1, "2"]})", true},
        {R"({"transactionIds": "a", "tutorCompletedSteps": 1})", true},
        {R"({"transactionIds": ["a"], "tutorCompletedSteps": [1.5]})", true, true, 1, 0},
        {R"({"userCard": [1]})", true},
        {R"([{"userId": "u", "level": 1}])", false},
        {R"({"userId": "u", "level": 1)", false},
        {"", false},
    };
    for (const auto& c : cases) {
        auto object = decode(c.text);
        ASSERT_EQ(object.has_value(), c.decodes) << c.text;
        if (object) {
            EXPECT_EQ(object->trackingAvailable, c.trackingAvailable) << c.text;
            EXPECT_EQ(object->transactionIds.size(), c.transactionCount) << c.text;
            EXPECT_EQ(object->tutorCompletedSteps.size(), c.stepCount) << c.text;
            EXPECT_TRUE(object->userCard.empty()) << c.text;
        }
    }
}

TEST(MigrationObjectTest, DescriptionListsPresentValuesLineByLine) {
    MigrationObject object;
    object.userId = "u1";
    object.prevDeviceId = "d0";
    object.trackingAvailable = false;
    object.level = 4;
    object.userCard = {{"a", 1}, {"b", "x"}};
    object.transactionIds = {"o1", "o2"};
    object.tutorCompletedSteps = {1, 2, 3};
    EXPECT_EQ(object.description(),
              "\tprevDeviceId: d0\n"
              "\tuserId: u1\n"
              "\ttrackingAvailable: false\n"
              "\tlevel: 4\n"
              "\t userCardInfo: \n"
              "\t\ta: 1\n"
              "\t\tb: x\n"
              "\ttransactionIds: \n"
              "\t\to1,\n"
              "\t\to2\n"
              "\ttutorCompletedSteps: 1, 2, 3\n");
    EXPECT_EQ(MigrationObject().description(), "\ttrackingAvailable: true\n");
}

}  // namespace
}  // namespace mvk
