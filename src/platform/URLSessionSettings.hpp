#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>

namespace mvk {

/// Process-wide transport settings of the URL session. Production code never
/// changes them; tests point the trust store at their local gateway's
/// certificate and shorten the limits. Certificate verification itself cannot
/// be switched off.
class URLSessionSettings {
  public:
    static constexpr std::size_t defaultMaxResponseBytes = 16u * 1024u * 1024u;
    /// Long enough for a 16 MiB report on a poor mobile link, short enough
    /// that a gateway cannot hold a queue for good.
    static constexpr std::chrono::milliseconds defaultTotalTimeout{180'000};
    /// An answer that has begun must bring at least this many bytes in each
    /// window: a byte every few seconds keeps the silence watch quiet but
    /// falls far below it.
    static constexpr std::size_t defaultLowSpeedBytesPerSecond = 64;
    static constexpr std::chrono::milliseconds defaultLowSpeedWindow{30'000};

    struct Values {
        /// PEM text of the certificates to trust instead of the system's.
        /// Without it or `caFile`, CURL_CA_BUNDLE, else SSL_CERT_DIR and
        /// SSL_CERT_FILE, name the trust store when the host sets them.
        std::optional<std::string> caPem;
        /// A PEM file to trust instead of the system's (ignored when `caPem` is set).
        std::optional<std::string> caFile;
        /// Replaces every request's own timeout interval when set (at most a day).
        std::optional<std::chrono::milliseconds> silentTimeout;
        std::size_t maxResponseBytes = defaultMaxResponseBytes;
        /// The most one exchange may take, from the first byte sent to the
        /// last received, however steadily bytes move (at most a day).
        std::chrono::milliseconds totalTimeout = defaultTotalTimeout;
        /// 0 turns the low-speed limit off.
        std::size_t lowSpeedBytesPerSecond = defaultLowSpeedBytesPerSecond;
        std::chrono::milliseconds lowSpeedWindow = defaultLowSpeedWindow;
        /// Each thread keeps its transfer handle between exchanges, so a
        /// request to a server it spoke to recently reuses that connection
        /// instead of a new TCP and TLS set-up: a fresh handshake for every
        /// report costs the player battery and data.
        bool reuseConnections = true;
    };

    URLSessionSettings() = delete;

    static Values current();

    static void setCaPem(std::optional<std::string> pem);
    static void setCaFile(std::optional<std::string> path);
    static void setSilentTimeout(std::optional<std::chrono::milliseconds> timeout);
    static void setMaxResponseBytes(std::size_t bytes);
    static void setTotalTimeout(std::chrono::milliseconds timeout);
    static void setLowSpeedLimit(std::size_t bytesPerSecond, std::chrono::milliseconds window);
    static void setReuseConnections(bool reuse);

    /// Back to the system's trust store and the default limits.
    static void reset();
};

}  // namespace mvk
