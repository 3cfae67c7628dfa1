#pragma once

#include "records/MessagingCategoryRepositoryProtocol.hpp"
#include "storage/Repository.hpp"
#include "storage/SQLiteContracts.hpp"

namespace mvk {

class MessagingCategoryRepository final
    : public Repository<MessagingCategoryRepository, MessagingCategoryRepositoryProtocol> {
  public:
    using Entry = SQLiteContracts::MessagingCategoryEntry;
    using Repository::Repository;

    static ContentValues columns(const MessagingCategory& category);
};

}  // namespace mvk
