#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "events/PeopleValueType.hpp"

namespace mvk {

/// The user-card calls, as the proxy forwards them to the logic on the income
/// queue, validated and with reserved names in their own spelling.
class PeopleLogicProtocol {
  public:
    using ValueCompletion = std::function<void(std::optional<PeopleValueType>)>;

    virtual ~PeopleLogicProtocol() = default;

    virtual void setValue(const std::string& key, const PeopleValueType& value) = 0;
    /// Calls `completion` exactly once, on the income queue.
    virtual void getValue(const std::string& key, const ValueCompletion& completion) = 0;
    virtual void increment(const std::string& key, const PeopleValueType& value) = 0;
    virtual void unset(std::vector<std::string> properties) = 0;
    virtual void clearUser() = 0;
};

}  // namespace mvk
