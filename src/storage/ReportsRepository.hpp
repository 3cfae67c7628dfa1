#pragma once

#include "storage/ReportsRepositoryProtocol.hpp"
#include "storage/SQLiteContracts.hpp"
#include "storage/UserDataRepository.hpp"

namespace mvk {

class ReportsRepository final
    : public UserDataRepository<ReportsRepository, ReportsRepositoryProtocol> {
  public:
    using Entry = SQLiteContracts::ReportEntry;
    using UserDataRepository::UserDataRepository;

    static ContentValues columns(const Report& report);
};

}  // namespace mvk
