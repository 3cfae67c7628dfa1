#pragma once

#include "events/CurrencyAccrualResource.hpp"
#include "events/SummedRowsRepositoryProtocol.hpp"

namespace mvk {

/// The currency accruals of each user, summed per currency and source until
/// the next accrual event.
/// Rows are values: the cache keeps its own copies.
class CurrencyAccrualResourcesRepositoryProtocol
    : public SummedRowsRepositoryProtocol<CurrencyAccrualResource> {};

}  // namespace mvk
