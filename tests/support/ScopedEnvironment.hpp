#pragma once

#include <optional>
#include <string>

namespace mvk::test {

/// Sets (or, with nothing, unsets) an environment variable for the lifetime of
/// the object and restores the earlier value afterwards. Not for tests that
/// run threads while it changes.
class ScopedEnvironment {
  public:
    ScopedEnvironment(std::string name, const std::optional<std::string>& value);
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

  private:
    std::string name_;
    std::optional<std::string> previous_;
};

}  // namespace mvk::test
