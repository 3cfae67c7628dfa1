#pragma once

#include "storage/Repository.hpp"
#include "storage/SQLiteContracts.hpp"
#include "state/UserRepositoryProtocol.hpp"

namespace mvk {

class UserRepository final : public Repository<UserRepository, UserRepositoryProtocol> {
  public:
    using Entry = SQLiteContracts::UserEntry;
    using Repository::Repository;

    static ContentValues columns(const User& user);
};

}  // namespace mvk
