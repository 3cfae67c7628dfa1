#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/ScreenSize.hpp"

namespace mvk {

/// The machine the library runs on, as the system and the host describe it.
class DeviceInfoProtocol {
  public:
    virtual ~DeviceInfoProtocol() = default;

    /// The user's preferred language ("en"); nothing when the system names none.
    virtual std::optional<std::string> language() const = 0;
    /// The user's region ("US"), or empty.
    virtual std::string country() const = 0;
    virtual std::string osName() const = 0;
    virtual std::string osVersion() const = 0;
    /// The machine's maker, or empty when the system does not say.
    virtual std::string manufacturer() const = 0;
    /// The hardware name ("x86_64", "aarch64").
    virtual std::string model() const = 0;
    /// Seconds east of GMT, now.
    virtual std::int64_t timeZoneOffset() const = 0;
    /// As set by the host; nothing on a machine whose host said nothing.
    virtual std::optional<ScreenSize> screenSize() const = 0;
    virtual std::optional<std::int64_t> screenPpi() const = 0;
};

}  // namespace mvk
