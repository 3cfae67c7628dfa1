#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "records/Report.hpp"
#include "records/ReportKey.hpp"
#include "records/ReportLookup.hpp"

namespace mvk {

/// The packed reports waiting for the gateway. Only their row and user ids
/// are kept in memory; a report's packages are read from the table when it
/// is sent, one report at a time.
///
/// Reads answer absent (or `failed`) when the table cannot be read; writes
/// answer whether they were done. Every member but `read` is used on the
/// income queue only; `read` touches only the database and may run on the
/// network queue.
class ReportsRepositoryProtocol {
  public:
    virtual ~ReportsRepositoryProtocol() = default;

    /// Every stored report in storing order; read from the table on first use.
    virtual std::optional<std::vector<ReportKey>> keys() = 0;

    /// Stores the report and runs `alongside` in the same transaction:
    /// neither stands unless both succeed. The report's packages go into the
    /// row: the report keeps its other fields, not them. The report's row id, or absent
    /// (with the report's id untouched) when its packages cannot be written,
    /// the insert failed or `alongside` answered false.
    virtual std::optional<std::int64_t> insert(Report& report,
                                               const std::function<bool()>& alongside) = 0;

    /// `missing` for a report already settled by `deleteSettled`.
    virtual ReportLookup read(std::int64_t idKey) const = 0;

    virtual bool deleteItems(const std::vector<std::int64_t>& idKeys) = 0;
    /// Deletes a report the gateway has settled (accepted, or refused for
    /// good). One whose deletion fails is left out of `keys()` and `read`
    /// from then on, for the life of this repository, so this process never
    /// sends it again; each later call tries its deletion again. False while
    /// a settled report is still in the table. Safe on the sending thread.
    virtual bool deleteSettled(std::int64_t idKey) = 0;
    /// Tries again to delete the settled reports still in the table; true
    /// when none is left. Safe on the sending thread.
    virtual bool deleteSettledLeft() = 0;
    virtual bool deleteForDataForUsers(const std::vector<std::int64_t>& userIds) = 0;
    virtual bool clear() = 0;
};

}  // namespace mvk
