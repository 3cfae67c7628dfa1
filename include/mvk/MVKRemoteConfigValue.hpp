#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

#include "mvk/Export.hpp"
#include "mvk/MVKRemoteConfigDefault.hpp"
#include "mvk/MVKRemoteConfigSource.hpp"

namespace mvk {

class RemoteConfigStore;
class MVKRemoteConfigCollection;

/// Lets only the library build remote-configuration values and collections.
class MVKRemoteConfigAccess {
  private:
    MVKRemoteConfigAccess() = default;
    friend class RemoteConfigStore;
    friend class MVKRemoteConfigCollection;
};

/// One remote-configuration value: the host's default or, once the host
/// applied a group, the group's value. The library updates a value the host
/// holds in place, so the host may read it from any thread at any time.
///
/// The typed getters never fail: a number beyond the target's range reads as
/// the nearest bound, NaN reads as 0 through the integer getters, and a text
/// that is not a number reads as 0.
class MVK_EXPORT MVKRemoteConfigValue {
  public:
    MVKRemoteConfigValue(MVKRemoteConfigAccess, MVKRemoteConfigDefault value,
                         MVKRemoteConfigSource source);
    MVKRemoteConfigValue(const MVKRemoteConfigValue&) = delete;
    MVKRemoteConfigValue& operator=(const MVKRemoteConfigValue&) = delete;

    MVKRemoteConfigSource source() const noexcept;
    void setSource(MVKRemoteConfigSource source) noexcept;

    /// Numbers in their shortest exact form, whole floating values with ".0".
    std::optional<std::string> stringValue() const noexcept;
    float floatValue() const noexcept;
    double doubleValue() const noexcept;
    std::int32_t int32Value() const noexcept;
    std::int64_t int64Value() const noexcept;
    std::int64_t integerValue() const noexcept;
    bool boolValue() const noexcept;
    /// "value: [42] source: remote".
    std::string description() const noexcept;

    void update(MVKRemoteConfigAccess, MVKRemoteConfigDefault value, MVKRemoteConfigSource source);

  private:
    MVKRemoteConfigDefault value() const;

    mutable std::mutex mutex_;
    MVKRemoteConfigDefault value_;
    MVKRemoteConfigSource source_;
};

}  // namespace mvk
