#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace mvk::gateway {

/// How the gateway answers one request.
struct ScriptedAnswer {
    int status = 200;
    std::string body;
    /// Left out when empty.
    std::string contentType = "application/json";
    /// Extra header fields, e.g. {"Location", "..."} for a redirect.
    std::vector<std::pair<std::string, std::string>> headers;
    /// Waited before answering; a gateway that stops cuts the wait short.
    std::chrono::milliseconds delay{0};
    /// Close the connection after reading the request, without a status line.
    bool closeWithoutAnswer = false;
    /// Send the body in chunks, without a Content-Length.
    bool chunked = false;
    /// When set, the body goes out chunked, `dripBytes` at a time with this
    /// pause before each piece: an answer that never falls silent but never
    /// finishes either. A gateway that stops cuts the pauses short.
    std::chrono::milliseconds dripInterval{0};
    std::size_t dripBytes = 1;
    /// When set, the status line, the header fields and this many bytes of
    /// the body go out, then the connection is torn down: an answer reset in
    /// its middle.
    std::optional<std::size_t> cutAfterBytes;

    static ScriptedAnswer json(int status, std::string body) {
        ScriptedAnswer answer;
        answer.status = status;
        answer.body = std::move(body);
        return answer;
    }
};

}  // namespace mvk::gateway
