#include "state/RealPaymentRepository.hpp"

namespace mvk {

ContentValues RealPaymentRepository::columns(const RealPaymentMark& mark) {
    return {
        {std::string(Entry::projectId), mark.projectId},
        {std::string(Entry::orderId), mark.orderId},
    };
}

}  // namespace mvk
