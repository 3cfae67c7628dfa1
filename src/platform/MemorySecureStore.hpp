#pragma once

#include <map>
#include <mutex>

#include "platform/SecureStoreProtocol.hpp"

namespace mvk {

/// A secure store that lives as long as the object, for tests; it keeps the
/// same limits as the file store.
class MemorySecureStore final : public SecureStoreProtocol {
  public:
    std::optional<std::string> get(const std::string& account) override;
    bool set(const std::string& account, const std::string& value) override;
    bool remove(const std::string& account) override;

  private:
    std::mutex mutex_;
    std::map<std::string, std::string> values_;
};

}  // namespace mvk
