#include "records/ExperimentConditionsKeys.hpp"

#include <array>
#include <utility>

namespace mvk {

namespace {

using Key = ExperimentConditionsKeys;

constexpr std::array<std::pair<Key, std::string_view>, 9> rawValues{{
    {Key::in, "IN"},
    {Key::notIn, "NOT IN"},
    {Key::less, "<"},
    {Key::greater, ">"},
    {Key::equal, "=="},
    {Key::notEqual, "!="},
    {Key::greaterOrEqual, ">="},
    {Key::lessOrEqual, "<="},
    {Key::boolean, "boolean"},
}};

}  // namespace

std::optional<ExperimentConditionsKeys> ExperimentConditionsKeysFromRawValue(
    std::string_view rawValue) {
    for (const auto& [key, text] : rawValues) {
        if (text == rawValue) {
            return key;
        }
    }
    return std::nullopt;
}

std::string_view rawValue(ExperimentConditionsKeys key) {
    for (const auto& [candidate, text] : rawValues) {
        if (candidate == key) {
            return text;
        }
    }
    return {};
}

}  // namespace mvk
