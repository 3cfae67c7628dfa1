#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "records/ExperimentCondition.hpp"
#include "foundation/AnyCodable.hpp"

namespace mvk {

/// Turns one condition object of a gateway experiment into flat condition
/// records: each names the event or audience code, the path of keys from the
/// outermost to the innermost, and one comparison.
///
/// In the tree a member named by an operator is a comparison, a member whose
/// value is an object is one level deeper, and a boolean member is short for
/// a "boolean" comparison; other members are ignored.
class ExperimentConditionTree {
  public:
    ExperimentConditionTree() = delete;

    /// Levels below the condition object that are still read; members nested
    /// deeper are skipped, so a hostile tree cannot exhaust the stack or
    /// multiply the records.
    static constexpr std::size_t maxDepth = 16;

    /// The records of one condition object whose code is `code`, with their
    /// paths outermost first. Comparisons directly on the object (empty path)
    /// are dropped: they name no key to compare.
    static std::vector<ExperimentCondition> flatten(const std::string& code,
                                                    const AnyCodable::Object& object);

    /// One level of the flattening. The paths come out innermost first, and
    /// `parentKey`, when given, is appended to each. `depth` counts the levels
    /// above this one.
    static std::vector<ExperimentCondition> defineCondition(
        const std::string& code, const AnyCodable::Object& object,
        const std::optional<std::string>& parentKey, std::size_t depth = 0);

    /// A comparison record with an empty path, not checked, whose type is
    /// `backend` for the audience codes "di", "pl" and "backend" and `local`
    /// for every other code.
    static ExperimentCondition createCondition(const std::string& eventCode, std::string_view key,
                                               AnyCodable value);
};

}  // namespace mvk
