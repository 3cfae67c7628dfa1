#include <functional>
#include <map>
#include <optional>
#include <string>

#include "analytics/Bounder.hpp"
#include "foundation/UnicodeText.hpp"
#include "validation/ValidationTestSupport.hpp"

namespace mvk {
namespace {

using test::error;
using test::inf;
using test::Lines;
using test::nan;

constexpr double maxDouble = std::numeric_limits<double>::max();

class ValidatorPrimitives : public test::ValidationTest {};

TEST_F(ValidatorPrimitives, ChecksAnswerAndLogTheirOneLine) {
    const std::string M = "M";
    const struct {
        const char* name;
        std::function<bool()> check;
        bool expected;
        Lines lines;
    } cases[] = {
        {"at the max", [] { return Validator::inInterval("M", "A", 5, 1, 5); }, true, {}},
        {"at the min", [] { return Validator::inInterval("M", "A", 1, 1, 5); }, true, {}},
        {"above",
         [] { return Validator::inInterval("M", "A", 6, 1, 5); },
         false,
         {error(M, "A [6] is greater than the max [5] permitted value!")}},
        {"below",
         [] { return Validator::inInterval("M", "A", 0, 1, 5); },
         false,
         {error(M, "A [0] is less than the min [1] permitted value!")}},
        {"NaN is neither below nor above",
         [] { return Validator::inInterval("M", "A", nan, -maxDouble, maxDouble); },
         true,
         {}},
        {"+inf beyond the widest finite",
         [] { return Validator::inInterval("M", "A", inf, -maxDouble, maxDouble); },
         false,
         {error(M, "A [inf] is greater than the max [1.7976931348623157e+308] permitted value!")}},
        {"unsigned above INT64_MAX",
         [] {
             return Validator::inInterval("M", "A", std::numeric_limits<std::uint64_t>::max(),
                                          std::numeric_limits<std::int64_t>::min(),
                                          std::numeric_limits<std::int64_t>::max());
         },
         false,
         {error(M,
                "A [18446744073709551615] is greater than the max [9223372036854775807] "
                "permitted value!")}},
        {"missing text",
         [] { return Validator::notNullOrEmpty("M", "A", std::nullopt); },
         false,
         {error(M, "A is nil!")}},
        {"empty text",
         [] { return Validator::notNullOrEmpty("M", "A", std::string()); },
         false,
         {error(M, "A is empty!")}},
        {"missing map",
         [] {
             return Validator::notNullOrEmpty("M", "A",
                                              std::optional<std::map<std::string, int>>());
         },
         false,
         {error(M, "A is nil!")}},
        {"empty map",
         [] {
             return Validator::notNullOrEmpty("M", "A",
                                              std::optional(std::map<std::string, int>()));
         },
         false,
         {error(M, "A is empty!")}},
        {"NaN",
         [] { return Validator::validateDoubleNAN("M", "A", nan); },
         false,
         {error(M, "A \n\tParameter cannot be NAN.")}},
        {"+inf is not NaN", [] { return Validator::validateDoubleNAN("M", "A", inf); }, true, {}},
        {"missing text has no length",
         [] { return Validator::equalStringLength("M", "A", std::nullopt, 3); },
         false,
         {}},
        {"a combining accent is no character of its own",
         [] {
             return Validator::equalStringLength("M", "A",
                                                 "e\xCC\x81"
                                                 "ab",
                                                 3);
         },
         true,
         {}},
        {"too short",
         [] { return Validator::equalStringLength("M", "A", "US", 3); },
         false,
         {error(M, "A is invalid\n\tParameter [US] length must be equal to [3].")}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        log.clear();
        EXPECT_EQ(c.check(), c.expected);
        EXPECT_EQ(log.messages(), c.lines);
    }
}

TEST_F(ValidatorPrimitives, ValidTypeTakesScalarsAndRefusesEverythingElse) {
    const std::string typeLine =
        error("M", "").substr(0, error("M", "").size() - 2) +
        "\n\tParameter must be of a valid type (Bool, Int, Double, String).";
    const struct {
        const char* name;
        std::optional<AnyCodable> value;
        bool expected;
        Lines lines;
    } cases[] = {
        {"int", AnyCodable(1), true, {}},
        {"unsigned", AnyCodable(std::uint64_t{1}), true, {}},
        {"double", AnyCodable(0.5), true, {}},
        {"text", AnyCodable(""), true, {}},
        {"flag", AnyCodable(false), true, {}},
        {"missing", std::nullopt, false, {error("M", "A is nil!")}},
        {"null", AnyCodable(nullptr), false, {typeLine}},
        {"array", AnyCodable::array({1}), false, {typeLine}},
        {"object", AnyCodable::object({{"a", 1}}), false, {typeLine}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        log.clear();
        EXPECT_EQ(Validator::validType("M", "A", c.value ? &*c.value : nullptr), c.expected);
        EXPECT_EQ(log.messages(), c.lines);
    }
    EXPECT_TRUE(Validator::validType("M", "A", std::optional(PeopleValueType(MVKGender::male))));
    EXPECT_FALSE(Validator::validType("M", "A", std::optional<PeopleValueType>()));
}

TEST_F(ValidatorPrimitives, CutsCountUserPerceivedCharacters) {
    const std::string grin = "\xF0\x9F\x98\x80";
    const std::string family =
        "\xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x91\xA7";
    const std::string accented = "e\xCC\x81";
    const struct {
        std::optional<std::string> text;
        std::optional<std::string> expected;
        bool warned;
    } cases[] = {
        {grin + grin + grin + grin, grin + grin + grin, true},
        {family + "ab", family + "ab", false},
        {accented + "xy", accented + "xy", false},
        {accented + "xyz", accented + "xy", true},
        {std::nullopt, std::nullopt, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.value_or("<missing>"));
        log.clear();
        EXPECT_EQ(Bounder::maxStringLength("M", "A", c.text, 3), c.expected);
        EXPECT_EQ(log.messages(),
                  c.warned ? Lines{test::truncated("M", "A", *c.text, 3)} : Lines{});
    }
}

/// A hostile megabyte argument is cut and checked at the cost of its bound,
/// and its warning repeats only a bounded head of it, cut between characters.
TEST_F(ValidatorPrimitives, MegabyteTextsAreCheckedAndLoggedWithinBounds) {
    const std::string grin = "\xF0\x9F\x98\x80";
    std::string grins;
    for (int i = 0; i < (1 << 18); ++i) {
        grins += grin;
    }
    // `start` followed by as many grins as fit in the logged bytes.
    const auto head = [&](std::string start) {
        while (start.size() + grin.size() <= Bounder::loggedTextBytes) {
            start += grin;
        }
        return start;
    };
    const struct {
        const char* name;
        std::string text;
        std::string loggedHead;
    } cases[] = {
        {"ascii", std::string(1 << 20, 'x'), std::string(Bounder::loggedTextBytes, 'x')},
        // 4096 is a multiple of four: the head ends on the last whole grin.
        {"four-byte characters", grins, head("")},
        {"a character across the limit", "ab" + grins, head("ab")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string logged =
            c.loggedHead + "... (" + std::to_string(c.text.size()) + " bytes)";
        log.clear();
        const auto cut = Bounder::maxStringLength("M", "A", c.text, 100);
        ASSERT_TRUE(cut);
        EXPECT_EQ(*cut, std::string(UnicodeText::prefix(c.text, 100)));
        EXPECT_EQ(log.messages(), Lines{test::truncated("M", "A", logged, 100)});

        log.clear();
        EXPECT_FALSE(Validator::equalStringLength("M", "A", c.text, 3));
        EXPECT_EQ(log.messages(), Lines{error("M", "A is invalid\n\tParameter [" + logged +
                                                       "] length must be equal to [3].")});
    }
    // Just at the bound a text is logged whole.
    const std::string whole(Bounder::loggedTextBytes, 'y');
    log.clear();
    EXPECT_EQ(Bounder::maxStringLength("M", "A", whole, 3), "yyy");
    EXPECT_EQ(log.messages(), Lines{test::truncated("M", "A", whole, 3)});
}

TEST_F(ValidatorPrimitives, ExclusionFollowsTheConfiguredCodesAndValues) {
    using Options = ValidatorSettingsProtocol::ExcludedOptions;
    const Options byValue{{"ce", {AnyCodable("boss"), AnyCodable(3)}}};
    const struct {
        const char* name;
        std::optional<Options> options;
        const char* code;
        std::optional<AnyCodable> argument;
        bool expected;
        Lines lines;
    } cases[] = {
        {"nothing configured", std::nullopt, "ce", AnyCodable("boss"), false, {}},
        {"empty configuration", Options{}, "ce", AnyCodable("boss"), false, {}},
        {"unlisted code", Options{{"ce", {}}}, "lu", std::nullopt, false, {}},
        {"whole code",
         Options{{"ce", {}}},
         "ce",
         AnyCodable("x"),
         true,
         {"INFO Event [ce] is excluded by project configuration"}},
        {"values but no argument", byValue, "ce", std::nullopt, false, {}},
        {"listed value",
         byValue,
         "ce",
         AnyCodable("boss"),
         true,
         {"INFO Event [ce] with [boss] argument is excluded by project configuration"}},
        {"3.0 equals 3",
         byValue,
         "ce",
         AnyCodable(3.0),
         true,
         {"INFO Event [ce] with [" + AnyCodable(3.0).description() +
          "] argument is excluded by project configuration"}},
        {"unlisted value", byValue, "ce", AnyCodable("hero"), false, {}},
    };
    Validator settings;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        settings.setExcludedOptions(c.options);
        log.clear();
        EXPECT_EQ(Validator::isExcluded(c.code, c.argument), c.expected);
        EXPECT_EQ(log.messages(), c.lines);
    }
    log.clear();
    EXPECT_FALSE(Validator::isAllExcluded(std::nullopt));
    EXPECT_FALSE(Validator::isAllExcluded(false));
    EXPECT_TRUE(Validator::isAllExcluded(true));
    EXPECT_EQ(log.messages(), Lines{"INFO All events is excluded by project configuration"});
}

}  // namespace
}  // namespace mvk
