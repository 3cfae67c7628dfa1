#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "platform/SecureStoreProtocol.hpp"

namespace mvk {

/// Generic-password items over the application's secure store; the item's
/// account is the store's account, behind an optional prefix.
///
/// Failures are not reported beyond the answer: a failed save leaves the old
/// item (or none) and a failed read looks like a missing item.
class KeychainStore {
  public:
    explicit KeychainStore(std::shared_ptr<SecureStoreProtocol> store, std::string keyPrefix = "");

    KeychainStore(const KeychainStore&) = delete;
    KeychainStore& operator=(const KeychainStore&) = delete;

    /// Replaces the item in one step, so a crash between removing the old
    /// value and writing the new one cannot lose the identifier.
    bool set(const std::string& value, const std::string& key);
    std::optional<std::string> getData(const std::string& key);
    /// The caller holds the lock or owns the instance alone.
    bool deleteNoLock(const std::string& key);

    const std::string& keyPrefix() const { return keyPrefix_; }

  private:
    const std::shared_ptr<SecureStoreProtocol> store_;
    const std::string keyPrefix_;
    std::mutex lock_;
};

}  // namespace mvk
