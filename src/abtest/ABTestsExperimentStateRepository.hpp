#pragma once

#include "abtest/ABTestsExperimentStateRepositoryProtocol.hpp"
#include "storage/SQLiteContracts.hpp"
#include "storage/UserDataRepository.hpp"

namespace mvk {

class ABTestsExperimentStateRepository final
    : public UserDataRepository<ABTestsExperimentStateRepository,
                                ABTestsExperimentStateRepositoryProtocol> {
  public:
    using Entry = SQLiteContracts::ABTestExperimentsStateEntry;
    using UserDataRepository::UserDataRepository;

    static ContentValues columns(const ABTestsExperimentState& state);
};

}  // namespace mvk
