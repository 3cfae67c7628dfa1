#pragma once

#include <optional>
#include <string>

namespace mvk {

/// Small secret texts kept per account for this application, surviving
/// restarts (what a keychain item is on other platforms).
class SecureStoreProtocol {
  public:
    virtual ~SecureStoreProtocol() = default;

    /// Nothing for a missing, unreadable or over-long value.
    virtual std::optional<std::string> get(const std::string& account) = 0;
    /// Replaces any earlier value; false when it could not be kept.
    virtual bool set(const std::string& account, const std::string& value) = 0;
    /// False when there was nothing to delete or it could not be deleted.
    virtual bool remove(const std::string& account) = 0;
};

}  // namespace mvk
