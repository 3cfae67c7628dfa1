#include "mvk/MVKStartProgressionEventParameters.hpp"

#include "analytics/MVKStartProgressionEventParametersLocal.hpp"
#include "foundation/Utf8.hpp"

namespace mvk {

void MVKStartProgressionEventParameters::setSource(MVKOptionalText text) noexcept {
    const auto& source = text.value();
    try {
        source_ = source ? std::optional(Utf8::sanitized(*source)) : std::nullopt;
    } catch (...) {
        source_.reset();
    }
}

std::string MVKStartProgressionEventParameters::description() const noexcept {
    try {
        return MVKStartProgressionEventParametersLocal::from(*this).description();
    } catch (...) {
        return {};
    }
}

}  // namespace mvk
