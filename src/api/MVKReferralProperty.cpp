#include "mvk/MVKReferralProperty.hpp"

#include "foundation/Utf8.hpp"

namespace mvk {

MVKReferralProperty::MVKReferralProperty(const std::string& name) noexcept {
    try {
        name_ = Utf8::sanitized(name);
    } catch (...) {
        name_.clear();
    }
}

// Presets are leaked: a host thread may still read one while the process exits.
const MVKReferralProperty& MVKReferralProperty::source() noexcept {
    static const auto* const made = new MVKReferralProperty("source");
    return *made;
}

const MVKReferralProperty& MVKReferralProperty::campaign() noexcept {
    static const auto* const made = new MVKReferralProperty("campaign");
    return *made;
}

const MVKReferralProperty& MVKReferralProperty::content() noexcept {
    static const auto* const made = new MVKReferralProperty("content");
    return *made;
}

const MVKReferralProperty& MVKReferralProperty::medium() noexcept {
    static const auto* const made = new MVKReferralProperty("medium");
    return *made;
}

const MVKReferralProperty& MVKReferralProperty::term() noexcept {
    static const auto* const made = new MVKReferralProperty("term");
    return *made;
}

std::string MVKReferralProperty::description() const noexcept {
    try {
        return "name: " + name_;
    } catch (...) {
        return {};
    }
}

}  // namespace mvk
