#pragma once

#include <optional>
#include <vector>

#include <nlohmann/json.hpp>

#include "records/InvolvedExperiment.hpp"

namespace mvk {

/// The offer answer. An empty list is a valid answer: the gateway refused.
struct InvolvedExperimentsContainer {
    std::vector<InvolvedExperiment> involvedExperiments{};

    /// "involvedExperiments" (an array) is required; one element that does
    /// not decode fails the whole answer.
    static std::optional<InvolvedExperimentsContainer> fromJson(const nlohmann::json& json);
    nlohmann::ordered_json toJson() const;

    friend bool operator==(const InvolvedExperimentsContainer&,
                           const InvolvedExperimentsContainer&) = default;
};

}  // namespace mvk
