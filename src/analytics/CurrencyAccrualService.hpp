#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "events/CurrencyAccrualResourcesRepositoryProtocol.hpp"
#include "services/CurrencyAccrualServiceProtocol.hpp"
#include "state/StateManagerProtocol.hpp"

namespace mvk {

/// Sums the host's currency accruals in "currencyAccrualResources", one row per
/// user, type, currency and source. Used on the income queue only.
class CurrencyAccrualService final : public CurrencyAccrualServiceProtocol {
  public:
    CurrencyAccrualService(std::shared_ptr<StateManagerProtocol> stateManager,
                           std::shared_ptr<CurrencyAccrualResourcesRepositoryProtocol>
                               currencyAccrualResourcesRepository);

    bool isContainsCurrencyAccrual() override;
    bool addCurrencyAccrual(const CurrencyAccrualResource& accrual,
                            const std::function<bool()>& alongside) override;
    std::optional<Resources> getEarnedResources(std::int64_t numberOfCurrencies,
                                                const std::shared_ptr<User>& user) override;
    std::optional<Resources> getBoughtResources(std::int64_t numberOfCurrencies,
                                                const std::shared_ptr<User>& user) override;
    std::optional<std::int64_t> getLastCreatedTime(const User& user) override;
    bool removeReportedResources(std::int64_t numberOfCurrencies,
                                 const std::shared_ptr<User>& user) override;
    bool removeResourcesForActiveUser() override;
    bool removeResources(const User& user) override;
    void removeAllResources() override;
    void removeInactiveUserData(const std::vector<std::shared_ptr<User>>& users) override;

  private:
    using Rows = std::vector<CurrencyAccrualResource>;

    /// The user's rows in cache order; none when the table cannot be read, so
    /// that nothing is summed onto or reported from a table we could not see.
    std::optional<Rows> rowsOf(std::int64_t userId);
    /// The first `numberOfCurrencies` of them: what one accrual event reports.
    std::optional<Rows> reportedRows(std::int64_t numberOfCurrencies,
                                     const std::shared_ptr<User>& user);
    std::optional<Resources> getResources(MVKAccrualType type, std::int64_t numberOfCurrencies,
                                          const std::shared_ptr<User>& user);
    bool deleteRowsOfUsers(const std::vector<std::int64_t>& userIds);

    const std::shared_ptr<StateManagerProtocol> stateManager_;
    const std::shared_ptr<CurrencyAccrualResourcesRepositoryProtocol> repository_;
};

}  // namespace mvk
