#pragma once

#include <vector>

#include <nlohmann/json.hpp>

#include "analytics/Report.hpp"

namespace mvk {

/// The body of a report request.
struct Reports {
    std::vector<Report> reports;

    /// {"reports": [{"packages": [...]}, ...]}; nothing of a report but its
    /// packages goes to the gateway.
    nlohmann::ordered_json toJson() const;
};

}  // namespace mvk
