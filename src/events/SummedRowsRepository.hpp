#pragma once

#include <functional>
#include <memory>
#include <utility>

#include "storage/DatabaseProtocol.hpp"
#include "storage/UserDataRepository.hpp"

namespace mvk {

/// A user data repository whose writes a caller joins with other tables'
/// writes into one transaction (`SummedRowsRepositoryProtocol`).
template <class Derived, class Protocol>
class SummedRowsRepository : public UserDataRepository<Derived, Protocol> {
  public:
    explicit SummedRowsRepository(std::shared_ptr<DatabaseProtocol> database)
        : UserDataRepository<Derived, Protocol>(database), database_(std::move(database)) {}

    bool transaction(const std::function<bool()>& body) override {
        return database_->transaction(body);
    }

  private:
    const std::shared_ptr<DatabaseProtocol> database_;
};

}  // namespace mvk
