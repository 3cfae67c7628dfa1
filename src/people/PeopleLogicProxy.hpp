#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "people/PeopleLogicProtocol.hpp"
#include "state/LogicProxyBase.hpp"

namespace mvk {

/// Entry of the user-card calls. Each call becomes one block on the income
/// queue that repairs the host's texts, validates them and drops what the
/// configuration excludes before the logic sees it. Until start-up installs
/// the user-card logic each queued call is dropped with the not-initialised
/// line. `method` is the public member's name, used in the log lines.
class PeopleLogicProxy final : public LogicProxyBase<PeopleLogicProtocol> {
  public:
    using ValueCompletion = PeopleLogicProtocol::ValueCompletion;

    using LogicProxyBase::LogicProxyBase;

    /// For the reserved setters: the key is one of the reserved names already,
    /// so no reserved-kind check (a gender arrives as its integer).
    void setReservedValue(std::string key, PeopleValueType value, std::string method);
    void setValue(std::string key, PeopleValueType value, std::string method);
    /// `completion` runs exactly once on the income queue: with nothing when
    /// the key is refused, the logic is missing or the proxy is gone.
    void getValue(std::string key, ValueCompletion completion, std::string method);
    void increment(std::string key, PeopleValueType value, std::string method);
    void unset(std::vector<std::string> properties, std::string method);
    /// Not subject to validation nor to the exclusion of "pl".
    void clearUser(std::string method);

  private:
    /// Reserved names in their own spelling, the reserved kind checked, the
    /// pair validated and not excluded; nothing otherwise (logged).
    static std::optional<std::pair<std::string, PeopleValueType>> validateChanges(
        const std::string& key, const PeopleValueType& value, const std::string& method);
};

}  // namespace mvk
