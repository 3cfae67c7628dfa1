#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "mvk/MVKFinishProgressionEventParameters.hpp"

namespace mvk {

/// The host's progression outcome as a value taken at the public call.
struct MVKFinishProgressionEventParametersLocal {
    bool successfulCompletion = false;
    std::int64_t duration = 0;
    std::map<std::string, std::int64_t> spent;
    std::map<std::string, std::int64_t> earned;

    static MVKFinishProgressionEventParametersLocal from(
        const MVKFinishProgressionEventParameters& parameters);

    std::string description() const;
};

}  // namespace mvk
