#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace mvk {

/// Who a gateway request speaks for: the device and user ids the library
/// keeps, and the three ids the gateway gave the user. Sent as request headers.
struct Identifiers {
    std::string deviceId{};
    std::optional<std::string> previousDeviceId{};
    std::optional<std::string> userId{};
    std::optional<std::string> previousUserId{};
    std::optional<std::int64_t> morvanixId{};
    std::optional<std::int64_t> crossPlatformMorvanixId{};
    std::optional<std::int64_t> morvanixIdTimestamp{};

    friend bool operator==(const Identifiers&, const Identifiers&) = default;
};

}  // namespace mvk
