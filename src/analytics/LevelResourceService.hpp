#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "events/LevelResourcesRepositoryProtocol.hpp"
#include "services/LevelResourceServiceProtocol.hpp"
#include "state/StateManagerProtocol.hpp"

namespace mvk {

/// Keeps the active user's running totals of the current level in
/// "levelResource", one row per user, type and currency. Used on the income
/// queue only.
class LevelResourceService final : public LevelResourceServiceProtocol {
  public:
    LevelResourceService(
        std::shared_ptr<StateManagerProtocol> stateManager,
        std::shared_ptr<LevelResourcesRepositoryProtocol> levelResourcesRepository);

    bool addLevelResources(const std::vector<LevelResource>& resources) override;
    std::optional<Resources> getSpentResources(std::int64_t numberOfCurrencies) override;
    std::optional<Resources> getEarnedResources(std::int64_t numberOfCurrencies) override;
    std::optional<Resources> getBoughtResources(std::int64_t numberOfCurrencies) override;
    bool removeResourcesForActiveUser() override;
    void removeAllResources() override;
    void removeInactiveUserData(const std::vector<std::shared_ptr<User>>& users) override;

  private:
    using Rows = std::vector<LevelResource>;

    /// The active user's rows in cache order; none when the table cannot be
    /// read, so that nothing is summed onto a table we could not see.
    std::optional<Rows> activeUserRows();
    std::optional<Resources> getResources(std::int64_t numberOfCurrencies, LevelResourceType type);
    bool deleteRowsOfUsers(const std::vector<std::int64_t>& userIds);

    const std::shared_ptr<StateManagerProtocol> stateManager_;
    const std::shared_ptr<LevelResourcesRepositoryProtocol> repository_;
};

}  // namespace mvk
