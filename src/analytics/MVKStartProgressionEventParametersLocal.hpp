#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "mvk/MVKStartProgressionEventParameters.hpp"

namespace mvk {

/// The host's progression-start options as a value taken at the public call.
struct MVKStartProgressionEventParametersLocal {
    std::optional<std::int64_t> difficulty;
    std::optional<std::string> source;

    static MVKStartProgressionEventParametersLocal from(
        const MVKStartProgressionEventParameters& parameters);

    std::string description() const;
};

}  // namespace mvk
