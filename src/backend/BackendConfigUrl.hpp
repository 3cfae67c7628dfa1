#pragma once

#include <string>
#include <string_view>

namespace mvk {

/// Where gateway requests go: the build's default gateway, or the host's test
/// proxy address when one is set, with the host's test suffix appended when
/// one is set.
///
/// The host may change the test addresses from any thread while requests are
/// being built on the queues, so they sit behind a lock; each request reads
/// them once, when it builds its URL.
class BackendConfigUrl {
  public:
    BackendConfigUrl() = delete;

    /// The gateway of the build (`MVK_DEFAULT_GATEWAY_URL`), without a trailing "/".
    static std::string defaultGatewayUrl();

    static std::string testProxyUrl();
    /// Replaces the default gateway while not empty.
    static void setTestProxyUrl(std::string url);

    static std::string testCustomUrl();
    /// Appended to the address in force while not empty.
    static void setTestCustomUrl(std::string suffix);

    /// The default gateway or the proxy address, then the custom suffix.
    static std::string baseApiUrl();

    /// No gateway a request could reach: no proxy address, and the build's
    /// gateway is missing or a placeholder under ".invalid", a name that never
    /// resolves (the build's own default).
    static bool isUnset();
    /// A URL without a host, or whose host is under ".invalid".
    static bool isPlaceholder(std::string_view url);
};

}  // namespace mvk
