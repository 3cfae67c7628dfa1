#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "mvk/Export.hpp"
#include "mvk/MVKRemoteConfigValue.hpp"

namespace mvk {

/// The remote configuration as the host reads it: one value per default key.
/// The host gets the very collection and values that later updates change;
/// every member may be called from any thread.
class MVK_EXPORT MVKRemoteConfigCollection {
  public:
    using Values = std::map<std::string, std::shared_ptr<MVKRemoteConfigValue>>;

    explicit MVKRemoteConfigCollection(MVKRemoteConfigAccess);
    MVKRemoteConfigCollection(const MVKRemoteConfigCollection&) = delete;
    MVKRemoteConfigCollection& operator=(const MVKRemoteConfigCollection&) = delete;

    bool hasKey(const std::string& key) const noexcept;
    /// The stored value; for a missing key a new value (the empty text,
    /// source `empty`) that is not stored.
    std::shared_ptr<MVKRemoteConfigValue> operator[](const std::string& key) const noexcept;
    /// Stores the value under the key, replacing any earlier one; a null
    /// value is ignored.
    void set(const std::string& key, std::shared_ptr<MVKRemoteConfigValue> value) noexcept;
    /// A copy of the whole map.
    Values getRawConfig() const noexcept;

    void replace(MVKRemoteConfigAccess, Values values);

  private:
    mutable std::mutex mutex_;
    Values configData_;
};

}  // namespace mvk
