#pragma once

#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "records/Comparison.hpp"
#include "records/ConditionsType.hpp"

namespace mvk {

/// One condition of an experiment, in the flattened form kept with the
/// experiment: which event or audience key it starts from, the path of keys to
/// the value, and the comparison the value must pass.
///
/// A value record: the check mark lives in the experiment that holds the
/// condition, and experiments are shared between the repository cache and the
/// services, so a mark set through a shared experiment is seen by all of them.
struct ExperimentCondition {
    /// For a local condition the event code; for a backend one the audience
    /// key it starts from.
    std::string eventCode{};
    std::vector<std::string> searchPath{};
    ConditionsType conditionsType = ConditionsType::local;
    Comparison comparison{};
    /// A backend condition already met; not evaluated again until the marks
    /// are reset.
    bool isChecked = false;

    /// Every key is required: "eventCode", "searchPath" (texts),
    /// "conditionsType" ("backend" or "local"), "comparison", "isChecked".
    static std::optional<ExperimentCondition> fromJson(const nlohmann::json& json);
    /// Keys in field order; absent when the comparison value cannot be written.
    std::optional<nlohmann::ordered_json> toJson() const;

    friend bool operator==(const ExperimentCondition&, const ExperimentCondition&) = default;
};

}  // namespace mvk
