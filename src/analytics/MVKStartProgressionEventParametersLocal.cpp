#include "analytics/MVKStartProgressionEventParametersLocal.hpp"

namespace mvk {

MVKStartProgressionEventParametersLocal MVKStartProgressionEventParametersLocal::from(
    const MVKStartProgressionEventParameters& parameters) {
    return {.difficulty = parameters.difficulty_, .source = parameters.source_};
}

std::string MVKStartProgressionEventParametersLocal::description() const {
    std::string text;
    if (difficulty) {
        text += "difficulty: " + std::to_string(*difficulty) + "\n";
    }
    if (source) {
        text += "source: " + *source;
    }
    return text;
}

}  // namespace mvk
