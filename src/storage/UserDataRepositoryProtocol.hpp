#pragma once

#include <cstdint>
#include <vector>

#include "storage/RepositoryProtocol.hpp"

namespace mvk {

/// A repository whose rows belong to a user (a `userId` column holding the
/// user's row id), so a user's data can be dropped in one call.
template <class ItemType>
class UserDataRepositoryProtocol : public RepositoryProtocol<ItemType, std::int64_t> {
  public:
    /// Deletes the rows of these users, all or none; false when a statement
    /// failed (the cache is then unread).
    virtual bool deleteForDataForUsers(const std::vector<std::int64_t>& userIds) = 0;
};

}  // namespace mvk
