#include "records/ExperimentConditionTree.hpp"

#include <algorithm>

#include "records/ExperimentConditionsKeys.hpp"

namespace mvk {

namespace {

bool isAudienceCode(std::string_view code) {
    return code == "di" || code == "pl" || code == "backend";
}

void append(std::vector<ExperimentCondition>& output, std::vector<ExperimentCondition> more) {
    output.insert(output.end(), std::make_move_iterator(more.begin()),
                  std::make_move_iterator(more.end()));
}

}  // namespace

std::vector<ExperimentCondition> ExperimentConditionTree::flatten(
    const std::string& code, const AnyCodable::Object& object) {
    std::vector<ExperimentCondition> result;
    for (auto& condition : defineCondition(code, object, std::nullopt)) {
        if (condition.searchPath.empty()) {
            continue;
        }
        std::reverse(condition.searchPath.begin(), condition.searchPath.end());
        result.push_back(std::move(condition));
    }
    return result;
}

std::vector<ExperimentCondition> ExperimentConditionTree::defineCondition(
    const std::string& code, const AnyCodable::Object& object,
    const std::optional<std::string>& parentKey, std::size_t depth) {
    std::vector<ExperimentCondition> output;
    if (object.size() == 1 && object.begin()->first == "code") {
        // A lone code names the event itself; the parent key is not added here.
        auto condition = createCondition(code, rawValue(ExperimentConditionsKeys::equal),
                                         object.begin()->second);
        condition.searchPath = {"code"};
        output.push_back(std::move(condition));
        return output;
    }
    for (const auto& [key, value] : object) {
        if (key == "code" || key == "type") {
            continue;
        }
        if (ExperimentConditionsKeysFromRawValue(key)) {
            output.push_back(createCondition(code, key, value));
        } else if (depth + 1 >= maxDepth) {
            continue;
        } else if (const auto* nested = value.asObject()) {
            append(output, defineCondition(code, *nested, key, depth + 1));
        } else if (auto flag = value.asBool()) {
            const AnyCodable::Object shorthand{
                {std::string(rawValue(ExperimentConditionsKeys::boolean)), *flag}};
            append(output, defineCondition(code, shorthand, key, depth + 1));
        }
    }
    if (parentKey) {
        for (auto& condition : output) {
            condition.searchPath.push_back(*parentKey);
        }
    }
    return output;
}

ExperimentCondition ExperimentConditionTree::createCondition(const std::string& eventCode,
                                                             std::string_view key,
                                                             AnyCodable value) {
    return ExperimentCondition{
        .eventCode = eventCode,
        .searchPath = {},
        .conditionsType =
            isAudienceCode(eventCode) ? ConditionsType::backend : ConditionsType::local,
        .comparison = Comparison{.key = std::string(key), .value = std::move(value)},
        .isChecked = false,
    };
}

}  // namespace mvk
