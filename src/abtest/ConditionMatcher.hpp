#pragma once

#include <optional>
#include <string>
#include <vector>

#include "foundation/AnyCodable.hpp"
#include "records/Comparison.hpp"
#include "records/ExperimentCondition.hpp"
#include "records/ExperimentConditionsKeys.hpp"

namespace mvk {

/// How one condition's value is found (in the audience or in an event) and
/// compared. Stateless: the caller keeps the audience dictionary, built once
/// per audience update.
class ConditionMatcher {
  public:
    ConditionMatcher() = delete;

    /// The value a backend condition looks at; none for a condition already
    /// met, without an audience, or when nothing is found. A "pl" path that
    /// starts at "parameters" walks the user card's properties; any other
    /// path ("di", "backend", and "pl" outside the card's properties) names
    /// its audience key in the first path element.
    static std::optional<AnyCodable> searchAudienceValue(const ExperimentCondition& condition,
                                                         const AnyCodable::Object* audience);

    /// Walks `path` through nested objects. A value that is not an object
    /// ends the walk early and is the answer; a missing key answers none.
    static std::optional<AnyCodable> searchFieldValue(const AnyCodable& jsonObject,
                                                      const std::vector<std::string>& path);

    /// The condition holds for the found `value`. Under a "firstVersion" path,
    /// texts compare as versions; an unknown operator never holds.
    static bool compareValues(const std::vector<std::string>& searchPath, const AnyCodable& value,
                              const Comparison& comparison);

    /// Numbers compare across integer and floating kinds.
    static bool compare(ExperimentConditionsKeys key, const AnyCodable& value,
                        const AnyCodable& compareValue);

    /// `array` is a list holding `value`, or, for a list `value`, any of its
    /// elements.
    static bool checkContains(const AnyCodable& array, const AnyCodable& value);
};

}  // namespace mvk
