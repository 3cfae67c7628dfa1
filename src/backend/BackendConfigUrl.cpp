#include "backend/BackendConfigUrl.hpp"

#include <cctype>
#include <mutex>
#include <string_view>

namespace mvk {

/// The build's gateway, made by CMake in a file of its own.
extern const char defaultGatewayUrlText[];

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
    std::string url = defaultGatewayUrlText;
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

bool BackendConfigUrl::isUnset() {
    return testProxyUrl().empty() && isPlaceholder(defaultGatewayUrl());
}

bool BackendConfigUrl::isPlaceholder(std::string_view url) {
    if (const auto scheme = url.find("://"); scheme != std::string_view::npos) {
        url.remove_prefix(scheme + 3);
    }
    auto host = url.substr(0, url.find_first_of("/?#"));
    if (const auto user = host.rfind('@'); user != std::string_view::npos) {
        host.remove_prefix(user + 1);
    }
    if (!host.empty() && host.front() != '[') {
        host = host.substr(0, host.find(':'));
    }
    if (!host.empty() && host.back() == '.') {
        host.remove_suffix(1);
    }
    // Names are told apart without regard to case.
    std::string name(host);
    for (auto& c : name) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    constexpr std::string_view reserved = ".invalid";
    return name.empty() || name == reserved.substr(1) ||
           (name.size() > reserved.size() && name.ends_with(reserved));
}

}  // namespace mvk
