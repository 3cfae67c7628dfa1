#pragma once

#include "storage/Repository.hpp"
#include "storage/SQLiteContracts.hpp"
#include "purchases/SubscriptionRepositoryProtocol.hpp"

namespace mvk {

class SubscriptionRepository final
    : public Repository<SubscriptionRepository, SubscriptionRepositoryProtocol> {
  public:
    using Entry = SQLiteContracts::SubscriptionEntry;
    using Repository::Repository;

    static ContentValues columns(const SubscriptionInfo& info);
};

}  // namespace mvk
