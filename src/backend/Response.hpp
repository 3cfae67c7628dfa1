#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "foundation/MVKError.hpp"

namespace mvk {

/// What one request ended with. A transport failure (nothing or no HTTP
/// answer came) is status 400 with the error set and no data; an HTTP answer
/// keeps its own status and its body, empty when it had none.
struct Response {
    std::int64_t statusCode = 400;
    std::optional<std::string> data;
    std::optional<MVKError> error;
};

}  // namespace mvk
