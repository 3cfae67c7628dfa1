#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "events/LevelResource.hpp"
#include "state/User.hpp"

namespace mvk {

/// What the active user earned, bought and spent on the current level, summed
/// per type and currency until the level-up reports it. Used on the income
/// queue only.
class LevelResourceServiceProtocol {
  public:
    /// Currency name to amount.
    using Resources = std::map<std::string, std::int64_t>;

    virtual ~LevelResourceServiceProtocol() = default;

    /// Adds each to the active user's totals, all or none, in one transaction
    /// that a caller's transaction joins (the record the totals stand for goes
    /// in it too); their `userId` and `idKey` are ignored. True when they are
    /// committed, or left out on purpose while tracking or the user's
    /// aggregation is off; false when none could be stored.
    virtual bool addLevelResources(const std::vector<LevelResource>& resources) = 0;
    /// Of the active user's first `numberOfCurrencies` rows (all types
    /// count), those of one type; none when there are none.
    virtual std::optional<Resources> getSpentResources(std::int64_t numberOfCurrencies) = 0;
    virtual std::optional<Resources> getEarnedResources(std::int64_t numberOfCurrencies) = 0;
    virtual std::optional<Resources> getBoughtResources(std::int64_t numberOfCurrencies) = 0;
    /// False when the rows could not be deleted.
    virtual bool removeResourcesForActiveUser() = 0;
    /// Empties the cache and the table.
    virtual void removeAllResources() = 0;
    virtual void removeInactiveUserData(const std::vector<std::shared_ptr<User>>& users) = 0;
};

}  // namespace mvk
