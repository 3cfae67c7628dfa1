#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace mvk {

/// The head of an HTTP answer.
struct HTTPURLResponse {
    std::int64_t statusCode = 0;
    std::vector<std::pair<std::string, std::string>> headers;
};

}  // namespace mvk
