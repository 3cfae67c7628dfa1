#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "device/ApplicationCollectorProtocol.hpp"

namespace mvk {

class ApplicationInfoRepositoryProtocol {
  public:
    virtual ~ApplicationInfoRepositoryProtocol() = default;

    virtual std::shared_ptr<ApplicationCollectorProtocol> collector() const = 0;
    virtual std::string applicationVersion() const = 0;
    virtual std::string applicationBuildVersion() const = 0;
    virtual std::string applicationBundle() const = 0;
    virtual std::int64_t sandboxState() const = 0;
};

}  // namespace mvk
