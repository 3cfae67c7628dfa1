#include "device/TrackingHelper.hpp"

#include "foundation/Utf8.hpp"

namespace mvk {

namespace {

template <typename Read>
std::optional<std::string> identifier(Read&& read) noexcept {
    try {
        if (auto value = read()) {
            return Utf8::sanitized(*value);
        }
    } catch (...) {
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> TrackingHelper::getIdentifier(
    IdentifierSourceProtocol& source) noexcept {
    return identifier([&] { return source.advertisingIdentifier(); });
}

std::optional<std::string> TrackingHelper::getVendor(IdentifierSourceProtocol& source) noexcept {
    return identifier([&] { return source.vendorIdentifier(); });
}

bool TrackingHelper::getNewStatus(IdentifierSourceProtocol& source) noexcept {
    try {
        return source.isTrackingAuthorized();
    } catch (...) {
        return false;
    }
}

}  // namespace mvk
