#pragma once

#include "records/ABTestsExperimentRepositoryProtocol.hpp"
#include "storage/Repository.hpp"
#include "storage/SQLiteContracts.hpp"

namespace mvk {

class ABTestsExperimentRepository final
    : public Repository<ABTestsExperimentRepository, ABTestsExperimentRepositoryProtocol> {
  public:
    using Entry = SQLiteContracts::ABTestExperimentsEntry;
    using Repository::Repository;

    static ContentValues columns(const ABTestsExperiment& experiment);
};

}  // namespace mvk
