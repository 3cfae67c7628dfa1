#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "events/CurrencyAccrualResource.hpp"
#include "state/User.hpp"

namespace mvk {

/// The currency accruals of each user, summed per type, currency and source
/// until the accrual event reports them. Used on the income queue only.
class CurrencyAccrualServiceProtocol {
  public:
    /// Source to currency name to amount.
    using Resources = std::map<std::string, std::map<std::string, std::int64_t>>;

    virtual ~CurrencyAccrualServiceProtocol() = default;

    virtual bool isContainsCurrencyAccrual() = 0;
    /// Adds to the active user's sum, with `alongside` (the level total the
    /// accrual raises) as one unit: true when both are committed, false when
    /// neither is, `alongside` answering false included. Its `userId` and
    /// `idKey` are ignored. While tracking is off nothing is summed and
    /// `alongside` runs by itself.
    virtual bool addCurrencyAccrual(const CurrencyAccrualResource& accrual,
                                    const std::function<bool()>& alongside) = 0;
    /// Of the user's first `numberOfCurrencies` rows (both types count), those
    /// of one type; none when there are none. A null user is the active one.
    virtual std::optional<Resources> getEarnedResources(std::int64_t numberOfCurrencies,
                                                        const std::shared_ptr<User>& user) = 0;
    virtual std::optional<Resources> getBoughtResources(std::int64_t numberOfCurrencies,
                                                        const std::shared_ptr<User>& user) = 0;
    /// The time of the user's latest accrual; none without rows.
    virtual std::optional<std::int64_t> getLastCreatedTime(const User& user) = 0;
    /// Deletes exactly the rows the two getters read for the user: what an
    /// accrual event reported, and nothing that came after. The removals
    /// answer false when the rows could not be read or deleted.
    virtual bool removeReportedResources(std::int64_t numberOfCurrencies,
                                         const std::shared_ptr<User>& user) = 0;
    virtual bool removeResourcesForActiveUser() = 0;
    virtual bool removeResources(const User& user) = 0;
    /// Empties the cache and the table.
    virtual void removeAllResources() = 0;
    virtual void removeInactiveUserData(const std::vector<std::shared_ptr<User>>& users) = 0;
};

}  // namespace mvk
