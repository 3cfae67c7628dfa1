#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "storage/DatabaseProtocol.hpp"
#include "storage/ReportsRepositoryProtocol.hpp"
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
    bool deleteForDataForUsers(const std::vector<std::int64_t>& userIds) override;
    bool clear() override;

  private:
    /// Deletes the rows whose `column` is among `values`; true when the
    /// table holds none of them afterwards. The keys are read again.
    bool deleteWhereIn(std::string_view column, const std::vector<std::int64_t>& values);

    const std::shared_ptr<DatabaseProtocol> database_;
    /// Absent until read, or after a change whose outcome is not known.
    std::optional<std::vector<ReportKey>> keys_;
};

}  // namespace mvk
