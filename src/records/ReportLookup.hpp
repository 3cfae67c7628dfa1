#pragma once

#include <optional>

#include "records/Report.hpp"

namespace mvk {

/// One stored report read by its row id: found, gone (deleted meanwhile),
/// damaged (a column of another type), or failed (the table could not be
/// read, which may pass).
struct ReportLookup {
    enum class Status { found, missing, damaged, failed };

    Status status = Status::failed;
    std::optional<Report> report{};
};

}  // namespace mvk
