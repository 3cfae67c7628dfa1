#include "backend/BackendConfigUrl.hpp"

#include <mutex>

namespace mvk {

namespace {

struct TestAddresses {
    std::mutex mutex;
    std::string proxy;
    std::string custom;
};

// Leaked on purpose: a queue thread may still send while the process exits.
TestAddresses& testAddresses() {
    static auto* addresses = new TestAddresses();
    return *addresses;
}

}  // namespace

std::string BackendConfigUrl::defaultGatewayUrl() {
    std::string url = MVK_DEFAULT_GATEWAY_URL;
    while (!url.empty() && url.back() == '/') {
        url.pop_back();
    }
    return url;
}

std::string BackendConfigUrl::testProxyUrl() {
    auto& addresses = testAddresses();
    std::lock_guard lock(addresses.mutex);
    return addresses.proxy;
}

void BackendConfigUrl::setTestProxyUrl(std::string url) {
    auto& addresses = testAddresses();
    std::lock_guard lock(addresses.mutex);
    addresses.proxy = std::move(url);
}

std::string BackendConfigUrl::testCustomUrl() {
    auto& addresses = testAddresses();
    std::lock_guard lock(addresses.mutex);
    return addresses.custom;
}

void BackendConfigUrl::setTestCustomUrl(std::string suffix) {
    auto& addresses = testAddresses();
    std::lock_guard lock(addresses.mutex);
    addresses.custom = std::move(suffix);
}

std::string BackendConfigUrl::baseApiUrl() {
    std::string proxy;
    std::string custom;
    {
        // One snapshot, so a request never mixes an old proxy with a new suffix.
        auto& addresses = testAddresses();
        std::lock_guard lock(addresses.mutex);
        proxy = addresses.proxy;
        custom = addresses.custom;
    }
    return (proxy.empty() ? defaultGatewayUrl() : proxy) + custom;
}

}  // namespace mvk
