#pragma once

#include <cstdint>
#include <vector>

#include "storage/Repository.hpp"

namespace mvk {

/// A repository whose rows carry the owning user's row id in `userId`;
/// `Derived::Entry` names that column.
template <class Derived, class Protocol>
class UserDataRepository : public Repository<Derived, Protocol> {
  public:
    using Repository<Derived, Protocol>::Repository;
    using typename Repository<Derived, Protocol>::Row;

    bool deleteForDataForUsers(const std::vector<std::int64_t>& userIds) override {
        return this->deleteWhereIn(Derived::Entry::userId, userIds,
                                   [](const Row& row) { return row.userId; });
    }
};

}  // namespace mvk
