#pragma once

#include <cstdint>

namespace mvk {

/// What the reports repository keeps of a stored report: its row id and its
/// user's row id. The packages stay in the table until the report is sent.
struct ReportKey {
    std::int64_t idKey = -1;
    std::int64_t userId = -1;

    friend bool operator==(const ReportKey&, const ReportKey&) = default;
};

}  // namespace mvk
