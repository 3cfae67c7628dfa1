#pragma once

#include "state/IdentifiersRepositoryProtocol.hpp"
#include "storage/Repository.hpp"
#include "storage/SQLiteContracts.hpp"

namespace mvk {

class IdentifiersRepository final
    : public Repository<IdentifiersRepository, IdentifiersRepositoryProtocol> {
  public:
    using Entry = SQLiteContracts::DeviceIdentifiersEntry;
    using Repository::Repository;

    static ContentValues columns(const DeviceIdentifiers& identifiers);
};

}  // namespace mvk
