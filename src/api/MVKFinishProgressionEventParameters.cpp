#include "mvk/MVKFinishProgressionEventParameters.hpp"

#include "analytics/MVKFinishProgressionEventParametersLocal.hpp"
#include "foundation/Utf8.hpp"

namespace mvk {

namespace {

MVKFinishProgressionEventParameters::Resources sanitized(
    const MVKFinishProgressionEventParameters::Resources& resources) {
    MVKFinishProgressionEventParameters::Resources result;
    for (const auto& [name, amount] : resources) {
        result[Utf8::sanitized(name)] = amount;
    }
    return result;
}

}  // namespace

void MVKFinishProgressionEventParameters::setSpent(const Resources& spent) noexcept {
    try {
        spent_ = sanitized(spent);
    } catch (...) {
        spent_.clear();
    }
}

void MVKFinishProgressionEventParameters::setEarned(const Resources& earned) noexcept {
    try {
        earned_ = sanitized(earned);
    } catch (...) {
        earned_.clear();
    }
}

std::string MVKFinishProgressionEventParameters::description() const noexcept {
    try {
        return MVKFinishProgressionEventParametersLocal::from(*this).description();
    } catch (...) {
        return {};
    }
}

}  // namespace mvk
