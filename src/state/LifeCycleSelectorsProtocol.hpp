#pragma once

namespace mvk {

/// What the life-cycle notifications are turned into.
class LifeCycleSelectorsProtocol {
  public:
    virtual ~LifeCycleSelectorsProtocol() = default;

    virtual void goActive() = 0;
    virtual void goInactive() = 0;
    virtual void goBackground() = 0;
    virtual void goTerminate() = 0;
};

}  // namespace mvk
