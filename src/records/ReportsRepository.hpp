#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <unordered_set>
#include <vector>

#include "records/ReportsRepositoryProtocol.hpp"
#include "storage/DatabaseProtocol.hpp"
#include "storage/SQLiteContracts.hpp"

namespace mvk {

class ReportsRepository final : public ReportsRepositoryProtocol {
  public:
    using Entry = SQLiteContracts::ReportEntry;

    explicit ReportsRepository(std::shared_ptr<DatabaseProtocol> database)
        : database_(std::move(database)) {}

    std::optional<std::vector<ReportKey>> keys() override;
    std::optional<std::int64_t> insert(Report& report,
                                       const std::function<bool()>& alongside) override;
    ReportLookup read(std::int64_t idKey) const override;
    bool deleteItems(const std::vector<std::int64_t>& idKeys) override;
    bool deleteSettled(std::int64_t idKey) override;
    bool deleteSettledLeft() override;
    bool deleteForDataForUsers(const std::vector<std::int64_t>& userIds) override;
    bool clear() override;

  private:
    /// Deletes the rows whose `column` is among `values`; true when the
    /// table holds none of them afterwards. The keys are read again.
    bool deleteWhereIn(std::string_view column, const std::vector<std::int64_t>& values);

    const std::shared_ptr<DatabaseProtocol> database_;
    /// Reports are stored and listed on the income queue but deleted on the
    /// sending thread; guards the two members below, never held over a query.
    mutable std::mutex keysMutex_;
    /// Absent until read, or after a change whose outcome is not known.
    std::optional<std::vector<ReportKey>> keys_;
    /// Counts deletions, so a listing that a deletion overtook is not kept.
    std::uint64_t deletions_ = 0;
    /// Settled reports still in the table. Row ids are never reused
    /// (AUTOINCREMENT), so an id kept here can never hide a newer report.
    std::unordered_set<std::int64_t> settled_;
};

}  // namespace mvk
