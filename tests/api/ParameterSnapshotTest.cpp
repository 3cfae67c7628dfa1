#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "analytics/ParameterSnapshot.hpp"
#include "foundation/AnyCodable.hpp"
#include "mvk/MVKCustomEventParameters.hpp"

namespace mvk {
namespace {

/// What the income queue reads back from a snapshot is what the game added,
/// in its order, whatever the kinds and texts.
struct SnapshotCase {
    const char* name;
    std::function<void(MVKCustomEventParameters&)> build;
    AnyCodable::Object expected;
};

const std::string longText(5000, 'x');

const std::vector<SnapshotCase> snapshotCases = {
    {"Empty", [](auto&) {}, {}},
    {"EveryKind",
     [](auto& p) {
         p.addBool("yes", true);
         p.addBool("no", false);
         p.addInt("big", INT64_MIN);
         p.addDouble("ratio", -0.25);
         p.addString("name", "wolves");
     },
     {{"yes", AnyCodable(true)},
      {"no", AnyCodable(false)},
      {"big", AnyCodable(INT64_MIN)},
      {"ratio", AnyCodable(-0.25)},
      {"name", AnyCodable(std::string("wolves"))}}},
    {"TextsKeepEveryByte",
     [](auto& p) {
         p.addString("", "");
         p.addString(std::string("nul\0key", 7), std::string("a\0b", 3));
         p.addString("ключ", "значение 🐺");
     },
     {{"", AnyCodable(std::string())},
      {std::string("nul\0key", 7), AnyCodable(std::string("a\0b", 3))},
      {"ключ", AnyCodable(std::string("значение 🐺"))}}},
    {"ReplacedValueKeepsItsPlace",
     [](auto& p) {
         p.addInt("a", 1);
         p.addInt("b", 2);
         p.addString("a", "one");
     },
     {{"a", AnyCodable(std::string("one"))}, {"b", AnyCodable(std::int64_t{2})}}},
    {"LongTexts",
     [](auto& p) {
         p.addString("long", longText);
         p.addString(longText, "key");
     },
     {{"long", AnyCodable(longText)}, {longText, AnyCodable(std::string("key"))}}},
};

class ParameterSnapshotRead : public ::testing::TestWithParam<SnapshotCase> {};

TEST_P(ParameterSnapshotRead, GivesBackWhatTheGameAdded) {
    const auto& c = GetParam();
    MVKCustomEventParameters parameters;
    c.build(parameters);
    ParameterSnapshot snapshot(parameters);
    // The game's object changing or going afterwards leaves the snapshot as it was.
    parameters.addInt("after", 1);
    parameters = MVKCustomEventParameters();
    EXPECT_EQ(snapshot.size(), c.expected.size());
    EXPECT_EQ(snapshot.object(), c.expected);

    ParameterSnapshot moved(std::move(snapshot));
    EXPECT_EQ(moved.object(), c.expected);
    EXPECT_EQ(snapshot.size(), 0u);
    EXPECT_EQ(snapshot.object(), AnyCodable::Object());
    snapshot = std::move(moved);
    EXPECT_EQ(snapshot.object(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, ParameterSnapshotRead, ::testing::ValuesIn(snapshotCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace mvk
