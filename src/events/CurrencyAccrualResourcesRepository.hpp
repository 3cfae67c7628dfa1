#pragma once

#include "events/CurrencyAccrualResourcesRepositoryProtocol.hpp"
#include "events/SummedRowsRepository.hpp"
#include "storage/SQLiteContracts.hpp"

namespace mvk {

class CurrencyAccrualResourcesRepository final
    : public SummedRowsRepository<CurrencyAccrualResourcesRepository,
                                  CurrencyAccrualResourcesRepositoryProtocol> {
  public:
    using Entry = SQLiteContracts::CurrencyAccrualResourcesEntry;
    using SummedRowsRepository::SummedRowsRepository;

    static ContentValues columns(const CurrencyAccrualResource& accrual);
};

}  // namespace mvk
