#pragma once

#include <mutex>

#include "device/PlatformStorageProtocol.hpp"

namespace mvk {

/// The device identifier of this run, once it has been chosen.
class PlatformStorage final : public PlatformStorageProtocol {
  public:
    PlatformStorage() = default;

    void saveUDID(const std::string& udid) override;
    std::optional<std::string> loadUDID() const override;

  private:
    mutable std::mutex mutex_;
    std::optional<std::string> savedUdid_;
};

}  // namespace mvk
