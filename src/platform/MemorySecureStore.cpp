#include "platform/MemorySecureStore.hpp"

#include "platform/SecureStoreLimits.hpp"

namespace mvk {

std::optional<std::string> MemorySecureStore::get(const std::string& account) {
    std::lock_guard lock(mutex_);
    auto found = values_.find(account);
    if (found == values_.end()) {
        return std::nullopt;
    }
    return found->second;
}

bool MemorySecureStore::set(const std::string& account, const std::string& value) {
    if (!SecureStoreLimits::allows(account, value)) {
        return false;
    }
    std::lock_guard lock(mutex_);
    values_[account] = value;
    return true;
}

bool MemorySecureStore::remove(const std::string& account) {
    std::lock_guard lock(mutex_);
    return values_.erase(account) != 0;
}

}  // namespace mvk
