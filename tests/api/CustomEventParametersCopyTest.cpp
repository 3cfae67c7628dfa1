#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "mvk/MVKCustomEventParameters.hpp"

namespace mvk {
namespace {

using Parameters = MVKCustomEventParameters::Parameters;

/// Copies share their parameters until one side changes; a change must never
/// show through the other side, whichever side makes it and in whatever order.
struct CopyCase {
    const char* name;
    std::function<void(MVKCustomEventParameters& original, MVKCustomEventParameters& copy)> steps;
    Parameters original;
    Parameters copy;
};

const std::vector<CopyCase> copyCases = {
    {"NoChange", [](auto&, auto&) {}, {{"a", std::int64_t{1}}}, {{"a", std::int64_t{1}}}},
    {"OriginalAdds",
     [](auto& original, auto&) { original.addBool("b", true); },
     {{"a", std::int64_t{1}}, {"b", true}},
     {{"a", std::int64_t{1}}}},
    {"CopyReplaces",
     [](auto&, auto& copy) { copy.addString("a", "x"); },
     {{"a", std::int64_t{1}}},
     {{"a", std::string("x")}}},
    {"BothChange",
     [](auto& original, auto& copy) {
         copy.addDouble("c", 2.5);
         original.addInt("a", 9);
         copy.addInt("a", 7);
     },
     {{"a", std::int64_t{9}}},
     {{"a", std::int64_t{7}}, {"c", 2.5}}},
    {"CopyAssignedBackThenChanged",
     [](auto& original, auto& copy) {
         copy.addInt("d", 4);
         original = copy;
         original.addInt("e", 5);
     },
     {{"a", std::int64_t{1}}, {"d", std::int64_t{4}}, {"e", std::int64_t{5}}},
     {{"a", std::int64_t{1}}, {"d", std::int64_t{4}}}},
    {"MovedFromIsEmptyAndUsable",
     [](auto& original, auto& copy) {
         copy = std::move(original);
         original.addInt("z", 0);
     },
     {{"z", std::int64_t{0}}},
     {{"a", std::int64_t{1}}}},
    {"SelfAssignment",
     [](auto& original, auto&) {
         auto& same = original;
         original = same;
         original.addInt("s", 1);
     },
     {{"a", std::int64_t{1}}, {"s", std::int64_t{1}}},
     {{"a", std::int64_t{1}}}},
};

class CustomEventParametersCopy : public ::testing::TestWithParam<CopyCase> {};

TEST_P(CustomEventParametersCopy, ChangesStayOnTheSideThatMadeThem) {
    const auto& c = GetParam();
    MVKCustomEventParameters original;
    original.addInt("a", 1);
    MVKCustomEventParameters copy(original);
    c.steps(original, copy);
    EXPECT_EQ(original.getAllParameters(), c.original);
    EXPECT_EQ(copy.getAllParameters(), c.copy);
}

INSTANTIATE_TEST_SUITE_P(Sequences, CustomEventParametersCopy, ::testing::ValuesIn(copyCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace mvk
