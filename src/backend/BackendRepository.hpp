#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "backend/BackendRepositoryProtocol.hpp"
#include "backend/ContentFactoryProtocol.hpp"
#include "backend/NetworkProtocol.hpp"
#include "backend/Response.hpp"

namespace mvk {

/// The gateway's seven endpoints on the request layer: each builds one POST
/// to the base address + "/v2" + its path with the "appId" query and the
/// message's content, sends it on the calling thread and reads the answer by
/// the endpoint's own status rules. Log texts begin "[Backend Module] ".
class BackendRepository : public BackendRepositoryProtocol {
  public:
    /// The largest answer each endpoint accepts. A parsed answer takes up to
    /// about thirty times its text, so the small state answers get 1 MiB,
    /// far above anything the gateway sends them; the report and receipt
    /// answers keep the session's 16 MiB.
    static constexpr std::size_t stateAnswerMaxBytes = 1024u * 1024u;
    static constexpr std::size_t reportAnswerMaxBytes = 16u * 1024u * 1024u;
    static constexpr std::size_t receiptAnswerMaxBytes = 16u * 1024u * 1024u;

    BackendRepository(std::shared_ptr<NetworkProtocol> network,
                      std::shared_ptr<ContentFactoryProtocol> contentFactory);

    /// 200 with a body that decodes: that configuration. Any other status or
    /// no body: the default one. A failure to build, send or decode is logged.
    ConfigRequestResult requestConfig(const std::string& appId,
                                      const BackendMessage& message) override;
    /// 200: the ids and data; 202: the retry delay; 422: do not retry; every
    /// other outcome an error with its text. Logs nothing itself.
    BackendIdentifiers requestIdentification(const std::string& appId,
                                             const BackendMessage& message) override;
    /// 200 is a success; any other status a failure "Failed to send Report,
    /// status code: <n>"; a failure to build or send is also logged.
    SendAnalyticsResult sendAnalytics(const std::string& appId, const BackendMessage& message,
                                      const std::optional<std::string>& requestIdentifier) override;
    /// A status other than 200 is a server error (2). A 200 answer gives its
    /// verdict and text; a verdict missing or outside 0...4 gives an internal
    /// error (4) with the text. An answer that does not decode, or a failure
    /// to build or send, is an internal error without text.
    MVKVerifyResponse sendVerifyReceipt(const std::string& appId,
                                        const BackendMessage& message) override;
    /// Whatever the status, a body that decodes is the answer.
    std::optional<MessagingConfig> requestMessagingConfig(const std::string& appId,
                                                          const BackendMessage& message) override;
    /// 200 with a body that decodes; nothing otherwise.
    std::optional<RemoteConfig> requestABTestConfig(const std::string& appId,
                                                    const BackendMessage& message) override;
    /// 200 with a body that decodes; nothing otherwise.
    std::optional<InvolvedExperimentsContainer> requestAbTestOffer(
        const std::string& appId, const BackendMessage& message) override;

  private:
    /// The answer, or nothing with the reason in `failure` when the request
    /// could not be built or sent at all.
    std::optional<Response> perform(std::string_view path, std::size_t maxAnswerBytes,
                                    const std::string& appId, const BackendMessage& message,
                                    const std::optional<std::string>& requestIdentifier,
                                    std::string& failure) const;

    /// The body of a 200 answer decoded as `T`; nothing, silently, for another
    /// status or no body; nothing, logged with `failureText`, when the request
    /// fails or the body does not decode.
    template <class T>
    std::optional<T> requestOn200(std::string_view path, const std::string& appId,
                                  const BackendMessage& message, std::string_view failureText,
                                  std::string_view typeName) const;

    const std::shared_ptr<NetworkProtocol> network_;
    const std::shared_ptr<ContentFactoryProtocol> contentFactory_;
};

}  // namespace mvk
