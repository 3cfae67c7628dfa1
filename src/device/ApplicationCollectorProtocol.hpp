#pragma once

#include <cstdint>
#include <string>

namespace mvk {

class ApplicationCollectorProtocol {
  public:
    virtual ~ApplicationCollectorProtocol() = default;

    virtual std::string applicationVersion() const = 0;
    virtual std::string applicationBuildVersion() const = 0;
    virtual std::string applicationBundle() const = 0;
    virtual std::int64_t sandboxState() const = 0;
};

}  // namespace mvk
