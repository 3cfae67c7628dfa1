#include "events/CurrencyAccrualResourcesRepository.hpp"

namespace mvk {

ContentValues CurrencyAccrualResourcesRepository::columns(const CurrencyAccrualResource& accrual) {
    return {
        {std::string(Entry::userId), accrual.userId},
        {std::string(Entry::type), rawValue(accrual.type)},
        {std::string(Entry::name), accrual.name},
        {std::string(Entry::amount), accrual.amount},
        {std::string(Entry::source), accrual.source},
        {std::string(Entry::timestamp), accrual.timestamp},
    };
}

}  // namespace mvk
