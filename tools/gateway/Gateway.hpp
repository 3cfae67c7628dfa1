#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "gateway/RecordedRequest.hpp"
#include "gateway/ScriptedAnswer.hpp"

namespace mvk::gateway {

/// A real HTTPS server on 127.0.0.1 with an ephemeral port and a certificate
/// made for this instance. It records every request and answers from per-path
/// scripts: first the answers queued for the path, one per request, then the
/// path's standing answer, else the default answer (200 with "{}").
///
/// Every member may be called from any thread while requests arrive.
class Gateway {
  public:
    /// Starts listening before it returns; throws std::runtime_error when it cannot.
    Gateway();
    ~Gateway();
    Gateway(const Gateway&) = delete;
    Gateway& operator=(const Gateway&) = delete;

    int port() const;
    /// "https://127.0.0.1:<port>", without a trailing "/".
    std::string baseUrl() const;
    /// `baseUrl()` followed by `pathAndQuery`.
    std::string url(std::string_view pathAndQuery) const;
    /// The certificate to trust, in PEM.
    const std::string& caPem() const;

    void setDefaultAnswer(ScriptedAnswer answer);
    /// Answers every request on `path` (matched without the query).
    void setAnswer(const std::string& path, ScriptedAnswer answer);
    /// Answers the next request on `path` once, ahead of its standing answer.
    void enqueueAnswer(const std::string& path, ScriptedAnswer answer);
    void clearAnswers();

    std::vector<RecordedRequest> requests() const;
    std::vector<RecordedRequest> requests(const std::string& path) const;
    /// True once `count` requests on `path` have arrived; false after `timeout`.
    bool waitForRequests(const std::string& path, std::size_t count,
                         std::chrono::milliseconds timeout) const;
    void clearRequests();

    /// Called with each request as it arrives, on the server's thread.
    void setRequestObserver(std::function<void(const RecordedRequest&)> observer);

    /// Stops accepting and ends waits on delayed answers; the destructor calls it.
    void stop();

  private:
    class Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace mvk::gateway
