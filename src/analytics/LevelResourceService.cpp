#include "analytics/LevelResourceService.hpp"

#include <algorithm>
#include <utility>

#include "analytics/ResourceSum.hpp"
#include "foundation/Logger.hpp"

namespace mvk {

LevelResourceService::LevelResourceService(
    std::shared_ptr<StateManagerProtocol> stateManager,
    std::shared_ptr<LevelResourcesRepositoryProtocol> levelResourcesRepository)
    : stateManager_(std::move(stateManager)), repository_(std::move(levelResourcesRepository)) {}

std::optional<LevelResourceService::Rows> LevelResourceService::activeUserRows() {
    const auto userId = stateManager_->getActiveUser()->idKey;
    auto rows = repository_->list();
    if (rows) {
        std::erase_if(*rows, [&](const auto& row) { return row.userId != userId; });
    }
    return rows;
}

bool LevelResourceService::addLevelResources(const std::vector<LevelResource>& resources) {
    const auto user = stateManager_->getActiveUser();
    if (resources.empty() || !stateManager_->getActiveProject()->trackingAvailable ||
        !user->isResourceAggregationEnable) {
        return true;
    }
    return repository_->transaction([&] {
        for (LevelResource record : resources) {
            record.userId = user->idKey;
            // Read for each: an earlier one may have added the row it sums onto.
            const auto rows = activeUserRows();
            if (!rows || !storeOrSum(*repository_, *rows, record, "LU", [](LevelResource&) {})) {
                return false;
            }
        }
        return true;
    });
}

std::optional<LevelResourceService::Resources> LevelResourceService::getResources(
    std::int64_t numberOfCurrencies, LevelResourceType type) {
    auto rows = activeUserRows();
    if (!rows) {
        return std::nullopt;
    }
    // A negative limit from the gateway reports nothing rather than everything.
    const auto limit = static_cast<std::size_t>(std::max<std::int64_t>(numberOfCurrencies, 0));
    rows->resize(std::min(rows->size(), limit));
    Resources result;
    for (const auto& row : *rows) {
        if (row.type == type) {
            result[row.name] = row.amount;
        }
    }
    if (result.empty()) {
        return std::nullopt;
    }
    return result;
}

std::optional<LevelResourceService::Resources> LevelResourceService::getSpentResources(
    std::int64_t numberOfCurrencies) {
    return getResources(numberOfCurrencies, LevelResourceType::spent);
}

std::optional<LevelResourceService::Resources> LevelResourceService::getEarnedResources(
    std::int64_t numberOfCurrencies) {
    return getResources(numberOfCurrencies, LevelResourceType::earned);
}

std::optional<LevelResourceService::Resources> LevelResourceService::getBoughtResources(
    std::int64_t numberOfCurrencies) {
    return getResources(numberOfCurrencies, LevelResourceType::bought);
}

bool LevelResourceService::deleteRowsOfUsers(const std::vector<std::int64_t>& userIds) {
    return repository_->deleteForDataForUsers(userIds);
}

bool LevelResourceService::removeResourcesForActiveUser() {
    return deleteRowsOfUsers({stateManager_->getActiveUser()->idKey});
}

void LevelResourceService::removeAllResources() {
    repository_->clear();
}

void LevelResourceService::removeInactiveUserData(const std::vector<std::shared_ptr<User>>& users) {
    const auto ids = User::rowIds(users);
    deleteRowsOfUsers(ids);
}

}  // namespace mvk
