#pragma once

namespace mvk {

/// The user-card calls, as the proxy forwards them to the logic on the income
/// queue.
class PeopleLogicProtocol {
  public:
    virtual ~PeopleLogicProtocol() = default;
};

}  // namespace mvk
