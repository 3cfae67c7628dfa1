#include "analytics/CurrencyAccrualService.hpp"

#include <algorithm>
#include <functional>
#include <utility>

#include "analytics/ResourceSum.hpp"
#include "foundation/Clock.hpp"
#include "foundation/Logger.hpp"

namespace mvk {

CurrencyAccrualService::CurrencyAccrualService(
    std::shared_ptr<StateManagerProtocol> stateManager,
    std::shared_ptr<CurrencyAccrualResourcesRepositoryProtocol> currencyAccrualResourcesRepository)
    : stateManager_(std::move(stateManager)),
      repository_(std::move(currencyAccrualResourcesRepository)) {}

std::optional<CurrencyAccrualService::Rows> CurrencyAccrualService::rowsOf(std::int64_t userId) {
    auto rows = repository_->list();
    if (rows) {
        std::erase_if(*rows, [&](const auto& row) { return row.userId != userId; });
    }
    return rows;
}

std::optional<CurrencyAccrualService::Rows> CurrencyAccrualService::reportedRows(
    std::int64_t numberOfCurrencies, const std::shared_ptr<User>& user) {
    auto rows = rowsOf(user ? user->idKey : stateManager_->getActiveUser()->idKey);
    if (rows) {
        // A negative limit from the gateway reports nothing rather than everything.
        const auto limit = static_cast<std::size_t>(std::max<std::int64_t>(numberOfCurrencies, 0));
        rows->resize(std::min(rows->size(), limit));
    }
    return rows;
}

bool CurrencyAccrualService::isContainsCurrencyAccrual() {
    const auto rows = rowsOf(stateManager_->getActiveUser()->idKey);
    return rows && !rows->empty();
}

bool CurrencyAccrualService::addCurrencyAccrual(const CurrencyAccrualResource& accrual,
                                                const std::function<bool()>& alongside) {
    if (!stateManager_->getActiveProject()->trackingAvailable) {
        return alongside();
    }
    CurrencyAccrualResource record = accrual;
    record.userId = stateManager_->getActiveUser()->idKey;
    record.timestamp = Clock::nowMillis();
    const auto touch = [&](CurrencyAccrualResource& row) { row.timestamp = record.timestamp; };
    return repository_->transaction([&] {
        const auto rows = rowsOf(record.userId);
        if (!rows) {
            return false;
        }
        const auto found = std::find(rows->begin(), rows->end(), record);
        const auto* stored = found == rows->end() ? nullptr : &*found;
        return storeOrSum(*repository_, stored, record, "CA", touch) && alongside();
    });
}

std::optional<CurrencyAccrualService::Resources> CurrencyAccrualService::getResources(
    MVKAccrualType type, std::int64_t numberOfCurrencies, const std::shared_ptr<User>& user) {
    const auto rows = reportedRows(numberOfCurrencies, user);
    if (!rows) {
        return std::nullopt;
    }
    Resources result;
    for (const auto& row : *rows) {
        if (row.type == type) {
            result[row.source][row.name] = row.amount;
        }
    }
    if (result.empty()) {
        return std::nullopt;
    }
    return result;
}

std::optional<CurrencyAccrualService::Resources> CurrencyAccrualService::getEarnedResources(
    std::int64_t numberOfCurrencies, const std::shared_ptr<User>& user) {
    return getResources(MVKAccrualType::earned, numberOfCurrencies, user);
}

std::optional<CurrencyAccrualService::Resources> CurrencyAccrualService::getBoughtResources(
    std::int64_t numberOfCurrencies, const std::shared_ptr<User>& user) {
    return getResources(MVKAccrualType::bought, numberOfCurrencies, user);
}

std::optional<std::int64_t> CurrencyAccrualService::getLastCreatedTime(const User& user) {
    const auto rows = rowsOf(user.idKey);
    if (!rows || rows->empty()) {
        return std::nullopt;
    }
    return std::max_element(
               rows->begin(), rows->end(),
               [](const auto& lhs, const auto& rhs) { return lhs.timestamp < rhs.timestamp; })
        ->timestamp;
}

bool CurrencyAccrualService::removeReportedResources(std::int64_t numberOfCurrencies,
                                                     const std::shared_ptr<User>& user) {
    const auto rows = reportedRows(numberOfCurrencies, user);
    return rows && repository_->deleteItems(*rows);
}

bool CurrencyAccrualService::deleteRowsOfUsers(const std::vector<std::int64_t>& userIds) {
    return repository_->deleteForDataForUsers(userIds);
}

bool CurrencyAccrualService::removeResourcesForActiveUser() {
    return deleteRowsOfUsers({stateManager_->getActiveUser()->idKey});
}

bool CurrencyAccrualService::removeResources(const User& user) {
    return deleteRowsOfUsers({user.idKey});
}

void CurrencyAccrualService::removeAllResources() {
    repository_->clear();
}

void CurrencyAccrualService::removeInactiveUserData(
    const std::vector<std::shared_ptr<User>>& users) {
    const auto ids = User::rowIds(users);
    deleteRowsOfUsers(ids);
}

}  // namespace mvk
