#pragma once

#include "events/LevelResourcesRepositoryProtocol.hpp"
#include "storage/SQLiteContracts.hpp"
#include "storage/UserDataRepository.hpp"

namespace mvk {

class LevelResourcesRepository final
    : public UserDataRepository<LevelResourcesRepository, LevelResourcesRepositoryProtocol> {
  public:
    using Entry = SQLiteContracts::LevelResourceEntry;
    using UserDataRepository::UserDataRepository;

    static ContentValues columns(const LevelResource& resource);
};

}  // namespace mvk
