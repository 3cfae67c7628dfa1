#include "platform/URLSessionSettings.hpp"

#include <mutex>
#include <utility>

namespace mvk {

namespace {

struct SettingsState {
    std::mutex mutex;
    URLSessionSettings::Values values;
};

// Leaked on purpose: a queue thread may still send while the process exits.
SettingsState& settingsState() {
    static auto* s = new SettingsState();
    return *s;
}

}  // namespace

URLSessionSettings::Values URLSessionSettings::current() {
    auto& s = settingsState();
    std::lock_guard lock(s.mutex);
    return s.values;
}

void URLSessionSettings::setCaPem(std::optional<std::string> pem) {
    auto& s = settingsState();
    std::lock_guard lock(s.mutex);
    s.values.caPem = std::move(pem);
}

void URLSessionSettings::setCaFile(std::optional<std::string> path) {
    auto& s = settingsState();
    std::lock_guard lock(s.mutex);
    s.values.caFile = std::move(path);
}

void URLSessionSettings::setSilentTimeout(std::optional<std::chrono::milliseconds> timeout) {
    auto& s = settingsState();
    std::lock_guard lock(s.mutex);
    s.values.silentTimeout = timeout;
}

void URLSessionSettings::setMaxResponseBytes(std::size_t bytes) {
    auto& s = settingsState();
    std::lock_guard lock(s.mutex);
    s.values.maxResponseBytes = bytes;
}

void URLSessionSettings::setTotalTimeout(std::chrono::milliseconds timeout) {
    auto& s = settingsState();
    std::lock_guard lock(s.mutex);
    s.values.totalTimeout = timeout;
}

void URLSessionSettings::setLowSpeedLimit(std::size_t bytesPerSecond,
                                          std::chrono::milliseconds window) {
    auto& s = settingsState();
    std::lock_guard lock(s.mutex);
    s.values.lowSpeedBytesPerSecond = bytesPerSecond;
    s.values.lowSpeedWindow = window;
}

void URLSessionSettings::setReuseConnections(bool reuse) {
    auto& s = settingsState();
    std::lock_guard lock(s.mutex);
    s.values.reuseConnections = reuse;
}

void URLSessionSettings::reset() {
    auto& s = settingsState();
    std::lock_guard lock(s.mutex);
    s.values = Values{};
}

}  // namespace mvk
