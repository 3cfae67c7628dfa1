#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "records/ExperimentCondition.hpp"
#include "records/ExperimentParameter.hpp"
#include "storage/Cursor.hpp"

namespace mvk {

/// One experiment of the project as the gateway described it, with its
/// conditions already flattened. One row of "abtestExperiments"; the
/// repository shares rows with the services, and the conditions' check marks
/// live on these shared rows.
struct ABTestsExperiment {
    /// The row id once stored; -1 for an experiment not stored yet.
    std::int64_t idKey = -1;
    /// Row id of the owning project; -1 until the experiment is stored.
    std::int64_t projectId = -1;
    /// The server's experiment id ("id" on the wire).
    std::int64_t experimentId = -1;
    /// Milliseconds since 1970.
    std::int64_t creationDate = 0;
    /// Milliseconds since 1970; a change re-arms the experiment.
    std::int64_t updateDate = -1;
    /// Milliseconds since 1970; 0 means the experiment never expires.
    std::int64_t completionDate = 0;
    bool isTesting = false;
    std::vector<ExperimentParameter> parameters{};
    std::vector<ExperimentCondition> conditions{};

    /// Columns id, projectId, experimentId, creationDate, updateDate,
    /// completionDate, isTesting, parameters, conditions. A row whose first six
    /// columns are not all integers is skipped; isTesting is true only for an
    /// integer above 0; a JSON column that does not decode reads as an empty
    /// list without touching the other.
    static std::optional<ABTestsExperiment> fromCursor(const Cursor& cursor);

    /// One experiment object of the gateway's experiments answer. "id",
    /// "creationDate", "completionDate", "updateDate" (integers), "isTesting"
    /// (a bool), "parameters" and "conditions" (an array of objects) are all
    /// required; each condition object is flattened into condition records,
    /// and one without a text "code" or "type" is skipped with an error line.
    /// The row ids stay -1.
    static std::optional<ABTestsExperiment> fromGatewayJson(const nlohmann::json& json);

    /// "conditions" (flattened records), "parameters", "id", "creationDate",
    /// "completionDate", "updateDate", "isTesting"; the row ids are not written.
    /// Absent when a parameter or comparison value cannot be written.
    std::optional<nlohmann::ordered_json> toJson() const;

    /// "\n\t\t[experiment: <id>\n\t\tupdateDate: ..." with one
    /// "\n\t\t\t[eventCode: ...]" entry per condition, for log lines.
    std::string debugDescription() const;

    friend bool operator==(const ABTestsExperiment&, const ABTestsExperiment&) = default;
};

}  // namespace mvk
