#pragma once

#include <atomic>
#include <optional>
#include <string>

#include "platform/ApplicationInfoProtocol.hpp"
#include "platform/DeviceInfoProtocol.hpp"
#include "platform/IdentifierSourceProtocol.hpp"

namespace mvk::test {

struct FakeIdentifierSource final : IdentifierSourceProtocol {
    std::optional<std::string> advertisingIdentifier() override { return advertising; }
    std::optional<std::string> vendorIdentifier() override {
        ++vendorReads;
        return vendor;
    }
    bool isTrackingAuthorized() override { return authorized; }

    std::optional<std::string> advertising;
    std::optional<std::string> vendor;
    bool authorized = false;
    std::atomic<int> vendorReads{0};
};

struct FakeApplicationInfo final : ApplicationInfoProtocol {
    std::string bundleName() const override { return name; }
    std::string bundleIdentifier() const override { return identifier; }
    std::string applicationVersion() const override { return version; }
    std::string applicationBuildVersion() const override { return build; }
    std::int64_t sandboxState() const override { return sandbox; }

    std::string name = "game";
    std::string identifier = "com.example.game";
    std::string version = "1.4.2";
    std::string build = "1402";
    std::int64_t sandbox = 2;
};

struct FakeDeviceInfo final : DeviceInfoProtocol {
    std::optional<std::string> language() const override { return languageValue; }
    std::string country() const override { return countryValue; }
    std::string osName() const override { return "Debian GNU/Linux"; }
    std::string osVersion() const override { return "12"; }
    std::string manufacturer() const override { return "Maker"; }
    std::string model() const override { return modelValue; }
    std::int64_t timeZoneOffset() const override { return offset; }
    std::optional<ScreenSize> screenSize() const override { return screen; }
    std::optional<std::int64_t> screenPpi() const override { return ppi; }

    std::optional<std::string> languageValue = "en";
    std::string countryValue = "US";
    std::string modelValue = "x86_64";
    std::int64_t offset = 3600;
    std::optional<ScreenSize> screen;
    std::optional<std::int64_t> ppi;
};

}  // namespace mvk::test
