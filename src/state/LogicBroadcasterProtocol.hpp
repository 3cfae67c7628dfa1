#pragma once

#include <cstdint>
#include <functional>
#include <optional>

namespace mvk {

/// How the analytics observer reaches the analytics logic: it installs the
/// handler of backend identifiers and asks for the current ones again.
class LogicBroadcasterProtocol {
  public:
    using BackendIdentifiersUpdate = std::function<void(std::optional<std::int64_t> morvanixId)>;

    virtual ~LogicBroadcasterProtocol() = default;

    virtual BackendIdentifiersUpdate onBackendIdentifiersUpdate() const = 0;
    virtual void setOnBackendIdentifiersUpdate(BackendIdentifiersUpdate update) = 0;
    /// Hands the current backend identifier to the installed handler; called
    /// on the income queue.
    virtual void forceUpdate() = 0;
};

}  // namespace mvk
