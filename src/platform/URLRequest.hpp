#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace mvk {

/// One HTTP request as the URL session sends it. Headers keep the order and
/// the repetitions they were added with.
struct URLRequest {
    static constexpr double defaultTimeoutInterval = 60.0;

    std::string url;
    std::string httpMethod = "GET";
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
    /// Seconds without any byte moving after which the exchange is given up.
    double timeoutInterval = defaultTimeoutInterval;
    /// The largest answer this request accepts; the session's own cap still
    /// applies when it is smaller.
    std::optional<std::size_t> maxResponseBytes;
    /// The protocol's default cache policy; the session never caches.
    int cachePolicy = 0;

    void addValue(std::string value, std::string field) {
        headers.emplace_back(std::move(field), std::move(value));
    }
};

}  // namespace mvk
