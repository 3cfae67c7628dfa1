#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "events/CustomEvent.hpp"
#include "events/EventRecord.hpp"
#include "foundation/JsonCoding.hpp"

namespace mvk {
namespace {

// A custom event's row text is written straight as text; it must be the very
// bytes the value tree would have written, for every value a parameter can
// hold, and a record the text writer refuses must still come out as the tree
// writes or refuses it.
TEST(CustomEventTextTest, RowTextIsTheTreeWritersText) {
    const double inf = std::numeric_limits<double>::infinity();
    const std::string invalidUtf8 = "bad\xC3\x28 \xED\xA0\x80 \xF4\x90\x80\x80 \xC0\xAF";
    const struct {
        const char* name;
        std::string eventName;
        std::optional<AnyCodable::Object> parameters;
        std::optional<std::vector<std::string>> inProgress;
        std::optional<std::string> inExperiments;
        bool encodes;
    } cases[] = {
        {"no parameters", "level", std::nullopt, std::nullopt, std::nullopt, true},
        {"empty parameters are left out", "level", AnyCodable::Object{}, std::nullopt, std::nullopt,
         true},
        {"escapes and controls", "q\"b\\s/\b\f\n\r\t\x01\x1F\x7F",
         AnyCodable::Object{{"k\"\\\x02", "v\x1e\"\\"}}, std::nullopt, std::nullopt, true},
        {"multi-byte texts",
         "\xD0\xBC\xD0\xB8\xD1\x80 \xE2\x82\xAC \xF0\x9F\x98\x80 \xEF\xBF\xBF \xF4\x8F\xBF\xBF",
         AnyCodable::Object{{"\xE2\x80\x8B", "\xF0\x9F\x98\x80"}}, std::nullopt, std::nullopt,
         true},
        {"invalid UTF-8 is repaired alike", invalidUtf8,
         AnyCodable::Object{{invalidUtf8, invalidUtf8}}, std::nullopt, std::nullopt, true},
        {"numbers at their extremes", "n",
         AnyCodable::Object{{"imin", std::numeric_limits<std::int64_t>::min()},
                            {"imax", std::numeric_limits<std::int64_t>::max()},
                            {"umax", std::numeric_limits<std::uint64_t>::max()},
                            {"zero", 0.0},
                            {"negativeZero", -0.0},
                            {"whole", 1.0},
                            {"tenth", 0.1},
                            {"third", 1.0 / 3},
                            {"large", 1e300},
                            {"max", std::numeric_limits<double>::max()},
                            {"denormal", 5e-324},
                            {"small", -1.5e-7},
                            {"big", 123456789012345678.0}},
         std::nullopt, std::nullopt, true},
        {"booleans and null", "b",
         AnyCodable::Object{{"yes", true}, {"no", false}, {"none", nullptr}}, std::nullopt,
         std::nullopt, true},
        {"containers go through the tree", "c",
         AnyCodable::Object{{"list", AnyCodable::array({1, "a", nullptr})},
                            {"map", AnyCodable::object({{"x", 0.5}})}},
         std::nullopt, std::nullopt, true},
        {"progress and experiments", "p", AnyCodable::Object{{"a", 1}},
         std::vector<std::string>{"boss", "q\"uest"}, "exp\n1", true},
        {"empty progress list", "p", std::nullopt, std::vector<std::string>{}, "", true},
        {"a non-finite number is refused", "f", AnyCodable::Object{{"a", 1}, {"inf", inf}},
         std::nullopt, std::nullopt, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const CustomEvent record{.timestamp = 1'700'000'000'123,
                                 .sessionId = -42,
                                 .level = 7,
                                 .name = c.eventName,
                                 .parameters = c.parameters,
                                 .inProgress = c.inProgress,
                                 .inExperiments = c.inExperiments};
        const auto text = EventRecord::getJson(record);
        if (!c.encodes) {
            EXPECT_EQ(text, "");
            continue;
        }
        EXPECT_EQ(text, dumpJson(EventRecord::toJson(record)));
        EXPECT_TRUE(parseOrderedJson(text).has_value()) << text;
    }
}

}  // namespace
}  // namespace mvk
