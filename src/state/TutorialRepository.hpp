#pragma once

#include "storage/SQLiteContracts.hpp"
#include "state/TutorialRepositoryProtocol.hpp"
#include "storage/UserDataRepository.hpp"

namespace mvk {

class TutorialRepository final
    : public UserDataRepository<TutorialRepository, TutorialRepositoryProtocol> {
  public:
    using Entry = SQLiteContracts::TutorialMarkEntry;
    using UserDataRepository::UserDataRepository;

    static ContentValues columns(const TutorialMark& mark);
};

}  // namespace mvk
