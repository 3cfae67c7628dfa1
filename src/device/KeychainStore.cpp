#include "device/KeychainStore.hpp"

namespace mvk {

KeychainStore::KeychainStore(std::shared_ptr<SecureStoreProtocol> store, std::string keyPrefix)
    : store_(std::move(store)), keyPrefix_(std::move(keyPrefix)) {}

bool KeychainStore::set(const std::string& value, const std::string& key) {
    std::lock_guard lock(lock_);
    return store_->set(keyPrefix_ + key, value);
}

std::optional<std::string> KeychainStore::getData(const std::string& key) {
    std::lock_guard lock(lock_);
    return store_->get(keyPrefix_ + key);
}

bool KeychainStore::deleteNoLock(const std::string& key) {
    return store_->remove(keyPrefix_ + key);
}

}  // namespace mvk
