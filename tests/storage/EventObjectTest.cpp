#include <gtest/gtest.h>

#include <set>

#include "events/EventCode.hpp"
#include "events/EventObject.hpp"

namespace mvk {
namespace {

TEST(EventObjectTest, OwnJsonFormHasItsKeysInOrderAndReadsBack) {
    const EventObject event("ce", 12, 3, R"({"code":"ce","timestamp":1})");
    const std::string text = event.toJson();
    EXPECT_EQ(text,
              R"({"code":"ce","idKey":12,"userId":3,"json":"{\"code\":\"ce\",\"timestamp\":1}"})");
    EXPECT_EQ(EventObject::fromJson(text), event);
}

TEST(EventObjectTest, StrictReaderRefusesWhatIsNotExactlyItsForm) {
    struct Case {
        std::string text;
        bool accepted;
    };
    const std::string nested = std::string(200, '[') + std::string(200, ']');
    const Case cases[] = {
        {R"({"code":"ss","idKey":1,"userId":-1,"json":""})", true},
        {R"({"code":"ss","idKey":1.0,"userId":2,"json":"","extra":null})", true},
        {R"({"code":"ss","idKey":9223372036854775807,"userId":0,"json":""})", true},
        {R"({"code":"ss","idKey":9223372036854775808,"userId":0,"json":""})", false},
        {R"({"code":"ss","idKey":1.5,"userId":0,"json":""})", false},
        {R"({"code":"ss","idKey":1e300,"userId":0,"json":""})", false},
        {R"({"code":"ss","idKey":true,"userId":0,"json":""})", false},
        {R"({"code":"ss","idKey":"1","userId":0,"json":""})", false},
        {R"({"code":"ss","idKey":1,"userId":null,"json":""})", false},
        {R"({"code":"ss","idKey":1,"userId":0})", false},
        {R"({"code":1,"idKey":1,"userId":0,"json":""})", false},
        {R"({"code":"ss","idKey":1,"userId":0,"json":{}})", false},
        {R"(["ss",1,0,""])", false},
        {R"({"code":"ss",)", false},
        {R"({"code":"ss","idKey":1,"userId":0,"json":"","deep":)" + nested + "}", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.substr(0, 80));
        EXPECT_EQ(EventObject::fromJson(c.text).has_value(), c.accepted);
    }
}

TEST(EventCodeTest, TwentyFiveDistinctCodes) {
    const std::set<std::string_view> distinct(EventCode::all.begin(), EventCode::all.end());
    EXPECT_EQ(distinct.size(), 25u);
    EXPECT_TRUE(EventCode::isKnown("adrv"));
    EXPECT_TRUE(EventCode::isKnown("sbsr"));
    EXPECT_FALSE(EventCode::isKnown("SS"));
    EXPECT_FALSE(EventCode::isKnown(""));
}

}  // namespace
}  // namespace mvk
