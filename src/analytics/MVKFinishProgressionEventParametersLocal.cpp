#include "analytics/MVKFinishProgressionEventParametersLocal.hpp"

namespace mvk {

namespace {

// Both blocks carry the same header; readers of old logs rely on it.
std::string resourcesBlock(const std::map<std::string, std::int64_t>& resources) {
    if (resources.empty()) {
        return {};
    }
    std::string text = "\t resource: \n";
    bool first = true;
    for (const auto& [name, amount] : resources) {
        if (!first) {
            text += "\n";
        }
        first = false;
        text += "\t\t resource: " + name + " amount: " + std::to_string(amount);
    }
    return text + "\n";
}

}  // namespace

MVKFinishProgressionEventParametersLocal MVKFinishProgressionEventParametersLocal::from(
    const MVKFinishProgressionEventParameters& parameters) {
    return {.successfulCompletion = parameters.successfulCompletion(),
            .duration = parameters.duration(),
            .spent = parameters.spent(),
            .earned = parameters.earned()};
}

std::string MVKFinishProgressionEventParametersLocal::description() const {
    return std::string("successfulCompletion: ") + (successfulCompletion ? "true" : "false") +
           "\n" + "duration: " + std::to_string(duration) + "\n" + resourcesBlock(spent) +
           resourcesBlock(earned);
}

}  // namespace mvk
