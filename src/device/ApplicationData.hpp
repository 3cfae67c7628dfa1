#pragma once

#include <cstdint>
#include <string>

namespace mvk {

/// The application the library runs in, as sent with the device information.
struct ApplicationData {
    std::string applicationVersion;
    std::string applicationBuildVersion;
    std::string applicationBundle;
    /// 0 unknown, 1 a sandbox (development) build, 2 a release build.
    std::int64_t sandboxState = 0;

    friend bool operator==(const ApplicationData&, const ApplicationData&) = default;
};

}  // namespace mvk
