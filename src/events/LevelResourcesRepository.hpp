#pragma once

#include "events/LevelResourcesRepositoryProtocol.hpp"
#include "events/SummedRowsRepository.hpp"
#include "storage/SQLiteContracts.hpp"

namespace mvk {

class LevelResourcesRepository final
    : public SummedRowsRepository<LevelResourcesRepository, LevelResourcesRepositoryProtocol> {
  public:
    using Entry = SQLiteContracts::LevelResourceEntry;
    using SummedRowsRepository::SummedRowsRepository;

    static ContentValues columns(const LevelResource& resource);
};

}  // namespace mvk
