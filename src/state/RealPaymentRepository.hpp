#pragma once

#include "state/RealPaymentRepositoryProtocol.hpp"
#include "storage/Repository.hpp"
#include "storage/SQLiteContracts.hpp"

namespace mvk {

class RealPaymentRepository final
    : public Repository<RealPaymentRepository, RealPaymentRepositoryProtocol> {
  public:
    using Entry = SQLiteContracts::RealPaymentMarkEntry;
    using Repository::Repository;

    static ContentValues columns(const RealPaymentMark& mark);
};

}  // namespace mvk
