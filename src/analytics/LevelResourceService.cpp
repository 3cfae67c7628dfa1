#include "analytics/LevelResourceService.hpp"

#include <algorithm>
#include <map>
#include <string>
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
        const auto rows = activeUserRows();
        if (!rows) {
            return false;
        }
        // A price may name many currencies: each finds its row by key, and
        // the rows stored here stand in for the ones read.
        std::map<std::pair<LevelResourceType, std::string>, LevelResource> byKey;
        for (const auto& row : *rows) {
            byKey.try_emplace({row.type, row.name}, row);
        }
        for (LevelResource record : resources) {
            record.userId = user->idKey;
            const auto found = byKey.find({record.type, record.name});
            const auto stored =
                storeOrSum(*repository_, found == byKey.end() ? nullptr : &found->second, record,
                           "LU", [](LevelResource&) {});
            if (!stored) {
                return false;
            }
            byKey.insert_or_assign({record.type, record.name}, *stored);
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
