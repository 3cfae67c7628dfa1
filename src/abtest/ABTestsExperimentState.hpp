#pragma once

#include <cstdint>
#include <optional>

#include <nlohmann/json.hpp>

#include "records/ExperimentMarker.hpp"
#include "storage/Cursor.hpp"

namespace mvk {

/// A user's standing in one experiment. One row of "abTestExperimentsState";
/// the repository shares rows with the services that change them.
///
/// The experiment is named by the server's experiment id, not by its row id.
struct ABTestsExperimentState {
    /// The row id once stored; -1 for a row made in memory.
    std::int64_t idKey = -1;
    /// Row id of the user in "users".
    std::int64_t userId = -1;
    /// The server's experiment id.
    std::int64_t experimentId = -1;
    /// The experiment may still be offered to this user.
    bool runAbility = true;
    /// The group the user was put in, if any.
    std::optional<ExperimentMarker> involvement{};

    /// Columns id, userId, experimentId, runAbility, involvement. A row whose
    /// first three columns are not all integers is skipped. runAbility is true
    /// only for an integer above 0, so a NULL column reads as false; an
    /// involvement text that is not a marker (the empty text among them) reads
    /// as none.
    static std::optional<ABTestsExperimentState> fromCursor(const Cursor& cursor);

    /// "idKey", "userId", "experimentId", "runAbility" are required;
    /// "involvement" may be missing or null.
    static std::optional<ABTestsExperimentState> fromJson(const nlohmann::json& json);
    /// Keys in field order; "involvement" only when there is one.
    nlohmann::ordered_json toJson() const;

    friend bool operator==(const ABTestsExperimentState&, const ABTestsExperimentState&) = default;
};

}  // namespace mvk
