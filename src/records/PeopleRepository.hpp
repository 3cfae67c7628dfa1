#pragma once

#include "records/PeopleRepositoryProtocol.hpp"
#include "storage/SQLiteContracts.hpp"
#include "storage/UserDataRepository.hpp"

namespace mvk {

class PeopleRepository final
    : public UserDataRepository<PeopleRepository, PeopleRepositoryProtocol> {
  public:
    using Entry = SQLiteContracts::PeopleCardEntry;
    using UserDataRepository::UserDataRepository;

    static ContentValues columns(const PeopleCard& card);
};

}  // namespace mvk
