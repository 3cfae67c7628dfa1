#pragma once

#include "events/CurrencyAccrualResourcesRepositoryProtocol.hpp"
#include "storage/SQLiteContracts.hpp"
#include "storage/UserDataRepository.hpp"

namespace mvk {

class CurrencyAccrualResourcesRepository final
    : public UserDataRepository<CurrencyAccrualResourcesRepository,
                                CurrencyAccrualResourcesRepositoryProtocol> {
  public:
    using Entry = SQLiteContracts::CurrencyAccrualResourcesEntry;
    using UserDataRepository::UserDataRepository;

    static ContentValues columns(const CurrencyAccrualResource& accrual);
};

}  // namespace mvk
