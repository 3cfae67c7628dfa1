#pragma once

#include "abtest/ABTestsProjectRepositoryProtocol.hpp"
#include "storage/Repository.hpp"
#include "storage/SQLiteContracts.hpp"

namespace mvk {

class ABTestsProjectRepository final
    : public Repository<ABTestsProjectRepository, ABTestsProjectRepositoryProtocol> {
  public:
    using Entry = SQLiteContracts::ABTestProjectEntry;
    using Repository::Repository;

    static ContentValues columns(const ABTestsProject& project);
};

}  // namespace mvk
