#include <optional>
#include <string>
#include <vector>

#include "people/PeopleValidatorRules.hpp"
#include "validation/ValidationTestSupport.hpp"

namespace mvk {
namespace {

using test::canceled;
using test::error;
using test::inf;
using test::Lines;
using test::nan;

class PeopleValidatorRulesTest : public test::ValidationTest {};

TEST_F(PeopleValidatorRulesTest, SetCleansCutsOrCancels) {
    const std::string M = "set(key:value:)";
    const std::string key70(70, 'k');
    const std::string text300(300, 't');
    using Pair = std::pair<std::string, PeopleValueType>;
    const struct {
        const char* name;
        std::string key;
        std::optional<PeopleValueType> value;
        std::optional<Pair> expected;
        Lines lines;
    } cases[] = {
        {"a 70-character key is cut",
         key70,
         PeopleValueType(1),
         Pair{std::string(64, 'k'), PeopleValueType(1)},
         {test::truncated(M, "The key argument", key70, 64)}},
        {"a key of control characters",
         "\x01\x02",
         PeopleValueType("v"),
         std::nullopt,
         {error(M, "The key argument is empty!"), canceled(M)}},
        {"a 300-character text is cut",
         "k",
         PeopleValueType(text300),
         Pair{"k", PeopleValueType(std::string(255, 't'))},
         {test::truncated(M, "The value argument", text300, 255)}},
        {"an empty text",
         "k",
         PeopleValueType(""),
         std::nullopt,
         {error(M, "The value argument is empty!"), canceled(M)}},
        {"NaN",
         "k",
         PeopleValueType(nan),
         std::nullopt,
         {error(M, "The value argument \n\tParameter cannot be NAN."), canceled(M)}},
        {"+inf",
         "k",
         PeopleValueType(inf),
         std::nullopt,
         {error(M,
                "The value argument [inf] is greater than the max "
                "[1.7976931348623157e+308] permitted value!"),
          canceled(M)}},
        {"1e308 passes", "k", PeopleValueType(1e308), Pair{"k", PeopleValueType(1e308)}, {}},
        {"no value",
         "k",
         std::nullopt,
         std::nullopt,
         {error(M, "The value argument is nil!"), canceled(M)}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        log.clear();
        EXPECT_EQ(PeopleValidatorRules::validateSet(M, c.key, c.value), c.expected);
        EXPECT_EQ(log.messages(), c.lines);
    }
}

TEST_F(PeopleValidatorRulesTest, KeyUnsetAndReservedKinds) {
    const std::string M = "unset(key:)";
    EXPECT_EQ(PeopleValidatorRules::validateKey(M, "\x01"), std::nullopt);
    EXPECT_EQ(log.messages(), (Lines{error(M, "The [] key argument is empty!"), canceled(M)}));

    log.clear();
    EXPECT_EQ(PeopleValidatorRules::validateUnset(M, {"a", "", "b\x01"}),
              (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(PeopleValidatorRules::validateUnset(M, {"", ""}), std::nullopt);
    EXPECT_EQ(log.messages(), Lines(3, error(M, "The [] key of the keys array is empty!")));

    log.clear();
    EXPECT_FALSE(PeopleValidatorRules::validateReservedValueType(PeopleReservedKeys::age, 30.0));
    EXPECT_FALSE(PeopleValidatorRules::validateReservedValueType(PeopleReservedKeys::cheater,
                                                                 PeopleValueType("yes")));
    EXPECT_FALSE(PeopleValidatorRules::validateReservedValueType(PeopleReservedKeys::gender, 1));
    EXPECT_TRUE(PeopleValidatorRules::validateReservedValueType(PeopleReservedKeys::gender,
                                                                MVKGender::male));
    EXPECT_TRUE(PeopleValidatorRules::validateReservedValueType(PeopleReservedKeys::email,
                                                                PeopleValueType("a@b")));
    EXPECT_EQ(log.messages(),
              (Lines{"ERROR Invalid value! The [30.0] value of the reserved key [age] must be Int",
                     "ERROR Invalid value! The [yes] value of the reserved key [cheater] must be "
                     "Bool",
                     "ERROR Invalid value! The [1] value of the reserved key [gender] must be "
                     "MVKGender"}));
}

}  // namespace
}  // namespace mvk
