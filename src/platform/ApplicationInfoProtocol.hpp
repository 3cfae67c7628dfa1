#pragma once

#include <cstdint>
#include <string>

namespace mvk {

/// What the application says about itself; the host sets it before start-up.
class ApplicationInfoProtocol {
  public:
    virtual ~ApplicationInfoProtocol() = default;

    /// Never empty.
    virtual std::string bundleName() const = 0;
    /// Never empty.
    virtual std::string bundleIdentifier() const = 0;
    /// Empty until the host sets it.
    virtual std::string applicationVersion() const = 0;
    /// Empty until the host sets it.
    virtual std::string applicationBuildVersion() const = 0;
    /// 0 unknown (never set), 1 a sandbox (development) build, 2 a release build.
    virtual std::int64_t sandboxState() const = 0;
};

}  // namespace mvk
