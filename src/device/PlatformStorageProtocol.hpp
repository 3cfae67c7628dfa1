#pragma once

#include <optional>
#include <string>

namespace mvk {

class PlatformStorageProtocol {
  public:
    virtual ~PlatformStorageProtocol() = default;

    virtual void saveUDID(const std::string& udid) = 0;
    virtual std::optional<std::string> loadUDID() const = 0;
};

}  // namespace mvk
