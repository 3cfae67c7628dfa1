#pragma once

namespace mvk {

/// A listener of the application's life cycle. Each call comes on the thread
/// that reported the change, and the next listener waits for it to return.
class LifeCycleProtocol {
  public:
    virtual ~LifeCycleProtocol() = default;

    virtual void goActive() = 0;
    virtual void goInactive() = 0;
    virtual void goBackground() = 0;
    virtual void goTerminate() = 0;
};

}  // namespace mvk
