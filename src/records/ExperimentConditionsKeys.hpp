#pragma once

#include <optional>
#include <string_view>

namespace mvk {

/// The comparison operators of experiment conditions. In a condition tree
/// from the gateway a member named by one of these is a comparison; every
/// other member names a key to look into.
enum class ExperimentConditionsKeys {
    in,
    notIn,
    less,
    greater,
    equal,
    notEqual,
    greaterOrEqual,
    lessOrEqual,
    /// The same test as `equal`, for the boolean shorthand of the tree.
    boolean,
};

/// The operator whose raw text is exactly `rawValue`, or none.
std::optional<ExperimentConditionsKeys> ExperimentConditionsKeysFromRawValue(
    std::string_view rawValue);

/// "IN", "NOT IN", "<", ">", "==", "!=", ">=", "<=" or "boolean".
std::string_view rawValue(ExperimentConditionsKeys key);

}  // namespace mvk
