#pragma once

#include <cstdint>
#include <optional>

#include "records/ABTestUserProperties.hpp"
#include "storage/Cursor.hpp"

namespace mvk {

/// The project's experiment configuration as last applied: its version and
/// the gateway's user properties. One row of "abTestProject"; the repository
/// shares rows with the services that change them.
struct ABTestsProject {
    /// The row id once stored; -1 for a row made in memory.
    std::int64_t idKey = -1;
    /// Row id of the owning project in "projects".
    std::int64_t projectId = -1;
    /// Version of the last applied experiment configuration.
    std::int64_t version = 0;
    std::optional<ABTestUserProperties> userProperties{};

    /// Columns id, projectId, version, userProperties. A row whose id or
    /// projectId is not an integer is skipped; a version of another type reads
    /// as 0, and user properties that do not decode (the text "null" among
    /// them) as none.
    static std::optional<ABTestsProject> fromCursor(const Cursor& cursor);

    friend bool operator==(const ABTestsProject&, const ABTestsProject&) = default;
};

}  // namespace mvk
