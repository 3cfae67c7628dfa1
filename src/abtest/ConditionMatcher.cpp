#include "abtest/ConditionMatcher.hpp"

#include <algorithm>
#include <unordered_set>

#include "foundation/VersionCompare.hpp"

namespace mvk {

std::optional<AnyCodable> ConditionMatcher::searchAudienceValue(
    const ExperimentCondition& condition, const AnyCodable::Object* audience) {
    if (condition.isChecked || audience == nullptr) {
        return std::nullopt;
    }
    // The user card ("pl") is walked only for its properties: the gateway's own "pl" conditions
    // ({"type":"pl","payingUser":true}) name the payer state and other audience keys, which the
    // card event never holds.
    const AnyCodable* member = audience->find(condition.eventCode);
    const bool intoProperties =
        !condition.searchPath.empty() && condition.searchPath.front() == "parameters";
    if (member != nullptr && member->isObject() && intoProperties) {
        return searchFieldValue(*member, condition.searchPath);
    }
    if (condition.searchPath.empty()) {
        return std::nullopt;
    }
    const AnyCodable* named = audience->find(condition.searchPath.front());
    return named != nullptr ? std::optional<AnyCodable>(*named) : std::nullopt;
}

std::optional<AnyCodable> ConditionMatcher::searchFieldValue(const AnyCodable& jsonObject,
                                                             const std::vector<std::string>& path) {
    const AnyCodable* current = &jsonObject;
    for (const auto& key : path) {
        if (!current->isObject()) {
            break;
        }
        current = current->find(key);
        if (current == nullptr) {
            return std::nullopt;
        }
    }
    return *current;
}

bool ConditionMatcher::compareValues(const std::vector<std::string>& searchPath,
                                     const AnyCodable& value, const Comparison& comparison) {
    const auto key = ExperimentConditionsKeysFromRawValue(comparison.key);
    if (!key) {
        return false;
    }
    if (std::find(searchPath.begin(), searchPath.end(), "firstVersion") == searchPath.end()) {
        return compare(*key, value, comparison.value);
    }
    const std::string* wanted = comparison.value.asString();
    const std::string* found = value.asString();
    // 1: the wanted version is the lower, so the found one is higher; -1 the reverse.
    const auto order = wanted != nullptr && found != nullptr
                           ? VersionCompare::compareVersions(*wanted, *found)
                           : std::nullopt;
    if (order) {
        switch (*key) {
            case ExperimentConditionsKeys::less:
                return *order == -1;
            case ExperimentConditionsKeys::greater:
                return *order == 1;
            case ExperimentConditionsKeys::equal:
                return *order == 0;
            case ExperimentConditionsKeys::notEqual:
                return *order != 0;
            case ExperimentConditionsKeys::greaterOrEqual:
                return *order >= 0;
            case ExperimentConditionsKeys::lessOrEqual:
                return *order <= 0;
            default:
                return false;
        }
    }
    switch (*key) {
        case ExperimentConditionsKeys::in:
            return checkContains(comparison.value, value);
        case ExperimentConditionsKeys::notIn:
            return !checkContains(comparison.value, value);
        default:
            return false;
    }
}

bool ConditionMatcher::compare(ExperimentConditionsKeys key, const AnyCodable& value,
                               const AnyCodable& compareValue) {
    switch (key) {
        case ExperimentConditionsKeys::in:
            return checkContains(compareValue, value);
        case ExperimentConditionsKeys::notIn:
            return !checkContains(compareValue, value);
        case ExperimentConditionsKeys::less:
            return value < compareValue;
        case ExperimentConditionsKeys::greater:
            return value > compareValue;
        case ExperimentConditionsKeys::greaterOrEqual:
            return value >= compareValue;
        case ExperimentConditionsKeys::lessOrEqual:
            return value <= compareValue;
        case ExperimentConditionsKeys::equal:
        case ExperimentConditionsKeys::boolean:
            return value == compareValue;
        case ExperimentConditionsKeys::notEqual:
            return !(value == compareValue);
    }
    return false;
}

bool ConditionMatcher::checkContains(const AnyCodable& array, const AnyCodable& value) {
    const AnyCodable::Array* elements = array.asArray();
    if (elements == nullptr) {
        return false;
    }
    const auto listed = [elements](const AnyCodable& candidate) {
        return std::find(elements->begin(), elements->end(), candidate) != elements->end();
    };
    const AnyCodable::Array* values = value.asArray();
    if (values == nullptr) {
        return listed(value);
    }
    if (values->size() < 2) {
        return std::any_of(values->begin(), values->end(), listed);
    }
    // Both lists may be long (the gateway's and the player's): one pass over
    // each through a set rather than a search per value.
    const std::unordered_set<AnyCodable> set(elements->begin(), elements->end());
    return std::any_of(values->begin(), values->end(),
                       [&set](const AnyCodable& candidate) { return set.contains(candidate); });
}

}  // namespace mvk
