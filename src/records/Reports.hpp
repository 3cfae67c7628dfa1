#pragma once

#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "records/Report.hpp"

namespace mvk {

/// The body of a report request.
struct Reports {
    std::vector<Report> reports;

    /// {"reports": [{"packages": [...]}, ...]}; nothing of a report but its
    /// packages goes to the gateway.
    nlohmann::ordered_json toJson() const;

    /// The text of `toJson()`, written straight into one string reserved
    /// once: stored packages go in as the text they are stored as, so a
    /// report of a megabyte never becomes a JSON tree on its way out.
    std::optional<std::string> toJSONText() const;
};

}  // namespace mvk
