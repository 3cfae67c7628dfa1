#include "purchases/SubscriptionRepository.hpp"

namespace mvk {

ContentValues SubscriptionRepository::columns(const SubscriptionInfo& info) {
    return info.contentValues();
}

}  // namespace mvk
